// The list of the three network tool windows: columns "Name", "IP",
// "Port", "Status" (100 pixels each) and "ID" (500 pixels), full-row
// selection of one row, grid-like alternating rows. It shows the core's
// rows and carries out the refresh plan: rows written over by position,
// surplus rows deleted, the selection put back where the plan says.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include <QTreeWidget>

#include "app/tool_lists/tool_list_row.hpp"
#include "gui/icons.hpp"

namespace orv {

class ToolListView final : public QTreeWidget {
 public:
  explicit ToolListView(QWidget* parent = nullptr);

  // The rows to show; the selection follows its user (quietly).
  void ShowRows(const std::vector<ToolListRow>& rows);

  const std::vector<ToolListRow>& rows() const { return rows_; }
  std::optional<size_t> SelectedRow() const;
  std::optional<size_t> RowOf(const QTreeWidgetItem* item) const;
  // Selects row `row` as a click would (for the tests).
  void SelectRow(size_t row);

 private:
  void WriteRow(size_t index, const ToolListRow& row);

  StatusIcons icons_;
  std::vector<ToolListRow> rows_;  // as shown, by position
};

}  // namespace orv
