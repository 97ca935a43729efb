// The desktop program's network tool windows, opened and closed as the
// start-up and shutdown sequences and the menu ask (through the main
// window, which reaches each as a ToolWindow): "Network List" and
// "Kademlia List" are made once and shown or hidden, each "Find User"
// makes a new "Find user" window.
#pragma once

#include <vector>

#include <QPointer>

#include "app/tool_lists/tool_list_menu.hpp"
#include "app/tool_lists/tool_list_sources.hpp"
#include "app/ui_port.hpp"
#include "gui/tool_list_window.hpp"
#include "gui/tool_window.hpp"

namespace orv {

class ToolWindows {
 public:
  // Both outlive the windows.
  ToolWindows(ToolListSources& sources, ToolListCommands& commands);
  ~ToolWindows();
  ToolWindows(const ToolWindows&) = delete;
  ToolWindows& operator=(const ToolWindows&) = delete;

  // kNetwork and kKademlia: made when missing, shown and brought to the
  // front when `shown`. kFind: a new "Find user" window. Others: nothing.
  void Open(AppWindow window, bool shown);
  // The window goes (every "Find user" window for kFind).
  void Close(AppWindow window);

  // What the main window opens and closes as kNetwork, kKademlia and kFind.
  ToolWindow* network_tool() { return &network_tool_; }
  ToolWindow* kademlia_tool() { return &kademlia_tool_; }
  ToolWindow* find_tool() { return &find_tool_; }

  ToolListWindow* network() const { return network_; }
  ToolListWindow* kademlia() const { return kademlia_; }
  // The "Find user" window opened last, while it is open.
  FindWindow* find() const;

 private:
  // One of the three as the main window sees it.
  class Tool final : public ToolWindow {
   public:
    Tool(ToolWindows& owner, AppWindow which) : owner_(owner), which_(which) {}
    void OpenToolWindow(bool shown) override { owner_.Open(which_, shown); }
    void CloseToolWindow() override { owner_.Close(which_); }

   private:
    ToolWindows& owner_;
    AppWindow which_;
  };

  ToolListSources& sources_;
  ToolListCommands& commands_;
  QPointer<ToolListWindow> network_;
  QPointer<ToolListWindow> kademlia_;
  std::vector<QPointer<FindWindow>> finds_;
  Tool network_tool_{*this, AppWindow::kNetwork};
  Tool kademlia_tool_{*this, AppWindow::kKademlia};
  Tool find_tool_{*this, AppWindow::kFind};
};

}  // namespace orv
