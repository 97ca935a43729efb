#include "gui/tool_list_view.hpp"

#include <QHeaderView>
#include <QSignalBlocker>

#include "app/tool_lists/list_refresh.hpp"

namespace orv {
namespace {

enum Column { kName, kIp, kPort, kStatus, kId, kColumns };
constexpr int kNarrowColumn = 100;
constexpr int kIdColumn = 500;

QString Text(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

ToolListView::ToolListView(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(kColumns);
  setHeaderLabels({"Name", "IP", "Port", "Status", "ID"});
  for (int column = kName; column < kId; ++column) setColumnWidth(column, kNarrowColumn);
  setColumnWidth(kId, kIdColumn);
  header()->setStretchLastSection(false);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setAlternatingRowColors(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setContextMenuPolicy(Qt::CustomContextMenu);
}

void ToolListView::ShowRows(const std::vector<ToolListRow>& rows) {
  const RefreshPlan plan = PlanRefresh(rows_, SelectedRow(), rows);
  const QSignalBlocker quiet(this);
  for (size_t index : plan.rewrite) WriteRow(index, rows[index]);
  while (static_cast<size_t>(topLevelItemCount()) > plan.keep) delete takeTopLevelItem(topLevelItemCount() - 1);
  rows_ = rows;
  if (plan.selection == SelectedRow()) return;
  clearSelection();
  if (plan.selection) SelectRow(*plan.selection);
}

void ToolListView::WriteRow(size_t index, const ToolListRow& row) {
  QTreeWidgetItem* item = topLevelItem(static_cast<int>(index));
  if (!item) {
    item = new QTreeWidgetItem;
    addTopLevelItem(item);  // the plan writes new rows in order, at the end
  }
  item->setText(kName, Text(row.name));
  item->setIcon(kName, row.image == kNoRowImage ? QIcon() : icons_.Icon(row.image));
  item->setText(kIp, Text(row.ip_text));
  item->setText(kPort, Text(row.port_text));
  item->setText(kStatus, Text(row.status));
  item->setText(kId, Text(row.id_text));
}

std::optional<size_t> ToolListView::SelectedRow() const {
  const QList<QTreeWidgetItem*> chosen = selectedItems();
  if (chosen.isEmpty()) return std::nullopt;
  return RowOf(chosen.first());
}

std::optional<size_t> ToolListView::RowOf(const QTreeWidgetItem* item) const {
  if (!item) return std::nullopt;
  const int index = indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
  if (index < 0 || static_cast<size_t>(index) >= rows_.size()) return std::nullopt;
  return static_cast<size_t>(index);
}

void ToolListView::SelectRow(size_t row) {
  QTreeWidgetItem* item = topLevelItem(static_cast<int>(row));
  if (!item) return;
  setCurrentItem(item);
  item->setSelected(true);
}

}  // namespace orv
