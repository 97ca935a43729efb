// The three network tool windows: "Network List" and "Kademlia List"
// (made hidden at start-up, hidden again by their close box) and "Find
// user" (made by each "Find User" command, gone when closed). Each shows a
// ToolListView refreshed every second while it is shown, keeping the
// selection on its user; a right click on a row with a UserId offers the
// rows' menu, a double click opens the chat with the row's user. What the
// rows hold and what the commands do is the core's.
#pragma once

#include <vector>

#include <QDialog>
#include <QTimer>

#include "app/tool_lists/find_search.hpp"
#include "app/tool_lists/tool_list_menu.hpp"
#include "app/tool_lists/tool_list_sources.hpp"
#include "gui/tool_list_view.hpp"

class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace orv {

// Smallest client area of the three.
inline constexpr int kToolListMinWidth = 400;
inline constexpr int kToolListMinHeight = 300;
inline constexpr int kToolListRefreshMs = 1000;

class ToolListWindow : public QDialog {
 public:
  ToolListWindow(const QString& title, ToolListCommands& commands);

  // Timer 1: the rows as they are now.
  void Refresh();

  ToolListView* list() const { return list_; }
  // The row's menu item `command`, as a right click and a choice run it;
  // false when the row offers no menu.
  bool RunRowCommand(size_t row, ToolListCommand command);

 protected:
  virtual std::vector<ToolListRow> CurrentRows() = 0;
  void showEvent(QShowEvent* event) override;
  QVBoxLayout* content_layout() const { return layout_; }

 private:
  void OnContextMenu(const QPoint& at);
  void OnDoubleClick(QTreeWidgetItem* item);

  ToolListCommands& commands_;
  QVBoxLayout* layout_ = nullptr;
  ToolListView* list_ = nullptr;
  QTimer timer_;
};

class NetworkListWindow final : public ToolListWindow {
 public:
  NetworkListWindow(ToolListSources& sources, ToolListCommands& commands);

 protected:
  std::vector<ToolListRow> CurrentRows() override;

 private:
  ToolListSources& sources_;
};

class KademliaListWindow final : public ToolListWindow {
 public:
  KademliaListWindow(ToolListSources& sources, ToolListCommands& commands);

 protected:
  std::vector<ToolListRow> CurrentRows() override;

 private:
  ToolListSources& sources_;
};

// "Type user name or ID", the edit (223 characters at most) and "Find"
// above the list; "Find" or Enter in the edit runs the search.
class FindWindow final : public ToolListWindow {
 public:
  FindWindow(ToolListSources& sources, ToolListCommands& commands);

  // "Find" with the edit's text.
  void RunFind();
  QLineEdit* edit() const { return edit_; }
  QPushButton* find_button() const { return button_; }
  const FindSearch& search() const { return search_; }

 protected:
  std::vector<ToolListRow> CurrentRows() override;

 private:
  FindSearch search_;
  QLineEdit* edit_ = nullptr;
  QPushButton* button_ = nullptr;
};

}  // namespace orv
