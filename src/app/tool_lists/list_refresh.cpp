#include "app/tool_lists/list_refresh.hpp"

namespace orv {
namespace {

std::optional<size_t> RowOfUser(const std::vector<ToolListRow>& rows, const uint32_t* user_id) {
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].peer && SameUserId(rows[i].peer->user_id, user_id)) return i;
  return std::nullopt;
}

std::optional<size_t> NewSelection(const std::vector<ToolListRow>& shown, std::optional<size_t> selected,
                                   const std::vector<ToolListRow>& rows) {
  if (!selected || *selected >= shown.size()) return std::nullopt;
  const ToolListRow& was = shown[*selected];
  if (was.peer) return RowOfUser(rows, was.peer->user_id);
  if (*selected < rows.size()) return selected;
  return std::nullopt;
}

}  // namespace

RefreshPlan PlanRefresh(const std::vector<ToolListRow>& shown, std::optional<size_t> selected,
                        const std::vector<ToolListRow>& rows) {
  RefreshPlan plan;
  plan.keep = rows.size();
  for (size_t i = 0; i < rows.size(); ++i)
    if (i >= shown.size() || !(shown[i] == rows[i])) plan.rewrite.push_back(i);
  plan.selection = NewSelection(shown, selected, rows);
  return plan;
}

}  // namespace orv
