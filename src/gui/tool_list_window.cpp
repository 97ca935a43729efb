#include "gui/tool_list_window.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/tool_lists/find_text.hpp"
#include "app/tool_lists/kademlia_list.hpp"
#include "app/tool_lists/network_list.hpp"

namespace orv {
namespace {

constexpr int kStartWidth = 700;
constexpr int kStartHeight = 400;

}  // namespace

ToolListWindow::ToolListWindow(const QString& title, ToolListCommands& commands) : commands_(commands) {
  setWindowTitle(title);
  setMinimumSize(kToolListMinWidth, kToolListMinHeight);
  resize(kStartWidth, kStartHeight);
  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(0, 0, 0, 0);
  list_ = new ToolListView(this);
  layout_->addWidget(list_);
  connect(list_, &QWidget::customContextMenuRequested, this, &ToolListWindow::OnContextMenu);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &ToolListWindow::OnDoubleClick);
  timer_.setInterval(kToolListRefreshMs);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (isVisible()) Refresh();
  });
  timer_.start();
}

void ToolListWindow::Refresh() { list_->ShowRows(CurrentRows()); }

void ToolListWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Refresh();  // a window shown from the menu is up to date at once
}

void ToolListWindow::OnContextMenu(const QPoint& at) {
  const std::optional<size_t> row = list_->RowOf(list_->itemAt(at));
  if (!row) return;
  // The row's peer is taken now: refreshes may rewrite the rows while the
  // menu is open.
  const ToolListRow chosen_row = list_->rows()[*row];
  const std::optional<std::vector<ToolListMenuItem>> items = ToolListMenuFor(chosen_row);
  if (!items) return;  // a bucket header offers no menu
  QMenu menu(this);
  for (const ToolListMenuItem& item : *items)
    menu.addAction(QString::fromStdString(item.text))->setData(static_cast<uint>(item.command));
  QAction* chosen = menu.exec(list_->viewport()->mapToGlobal(at));
  if (chosen) commands_.RunCommand(*chosen_row.peer, static_cast<ToolListCommand>(chosen->data().toUInt()));
}

bool ToolListWindow::RunRowCommand(size_t row, ToolListCommand command) {
  if (row >= list_->rows().size()) return false;
  const ToolListRow& chosen_row = list_->rows()[row];
  if (!ToolListMenuFor(chosen_row)) return false;
  commands_.RunCommand(*chosen_row.peer, command);
  return true;
}

void ToolListWindow::OnDoubleClick(QTreeWidgetItem* item) {
  if (const std::optional<size_t> row = list_->RowOf(item)) OpenRowChat(commands_, list_->rows()[*row]);
}

NetworkListWindow::NetworkListWindow(ToolListSources& sources, ToolListCommands& commands)
    : ToolListWindow("Network List", commands), sources_(sources) {}

std::vector<ToolListRow> NetworkListWindow::CurrentRows() { return NetworkListRows(sources_, list()->rows()); }

KademliaListWindow::KademliaListWindow(ToolListSources& sources, ToolListCommands& commands)
    : ToolListWindow("Kademlia List", commands), sources_(sources) {}

std::vector<ToolListRow> KademliaListWindow::CurrentRows() { return KademliaListRows(sources_); }

FindWindow::FindWindow(ToolListSources& sources, ToolListCommands& commands)
    : ToolListWindow("Find user", commands), search_(sources) {
  auto* row = new QHBoxLayout;
  row->setContentsMargins(8, 8, 8, 0);
  row->addWidget(new QLabel("Type user name or ID", this));
  edit_ = new QLineEdit(this);
  edit_->setMaxLength(static_cast<int>(kFindTextUnits));
  row->addWidget(edit_, 1);
  button_ = new QPushButton("Find", this);
  // Enter in the edit finds through the edit alone, not as well through a
  // default button.
  button_->setAutoDefault(false);
  row->addWidget(button_);
  content_layout()->insertLayout(0, row);
  // The edit has the focus first, then the button, then the list.
  setTabOrder(edit_, button_);
  setTabOrder(button_, list());
  edit_->setFocus();
  connect(button_, &QPushButton::clicked, this, &FindWindow::RunFind);
  connect(edit_, &QLineEdit::returnPressed, this, &FindWindow::RunFind);
  setAttribute(Qt::WA_DeleteOnClose);
}

void FindWindow::RunFind() {
  search_.Find(edit_->text().toUtf8().toStdString());
  Refresh();
}

std::vector<ToolListRow> FindWindow::CurrentRows() { return search_.Rows(); }

}  // namespace orv
