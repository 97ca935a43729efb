// The refresh of a tool window's list, once a second: the new rows are
// written over the old ones by position (rows added at the end when the
// list grows), the surplus rows are deleted at the end, and the selection
// follows the UserId of the row that held it. A pure function of what the
// list shows and what it is to show; the window only carries it out.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "app/tool_lists/tool_list_row.hpp"

namespace orv {

struct RefreshPlan {
  std::vector<size_t> rewrite;      // positions whose row changed, or that are new
  size_t keep = 0;                  // the list's length afterwards; rows beyond it go
  std::optional<size_t> selection;  // the row that holds the selection afterwards
};

// `selected`: the row holding the selection now. When that row names a
// user, the selection goes to the new row of that UserId, or nowhere when
// it has gone; a selected row without a UserId (a bucket header) stays
// selected where it is, when the list still reaches it.
RefreshPlan PlanRefresh(const std::vector<ToolListRow>& shown, std::optional<size_t> selected,
                        const std::vector<ToolListRow>& rows);

}  // namespace orv
