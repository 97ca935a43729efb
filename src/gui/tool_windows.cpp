#include "gui/tool_windows.hpp"

#include <algorithm>

namespace orv {

ToolWindows::ToolWindows(ToolListSources& sources, ToolListCommands& commands)
    : sources_(sources), commands_(commands) {}

ToolWindows::~ToolWindows() {
  Close(AppWindow::kNetwork);
  Close(AppWindow::kKademlia);
  for (const QPointer<FindWindow>& find : finds_) delete find.data();
}

void ToolWindows::Open(AppWindow window, bool shown) {
  switch (window) {
    case AppWindow::kNetwork:
      if (!network_) network_ = new NetworkListWindow(sources_, commands_);
      if (shown) ShowInFront(*network_);
      break;
    case AppWindow::kKademlia:
      if (!kademlia_) kademlia_ = new KademliaListWindow(sources_, commands_);
      if (shown) ShowInFront(*kademlia_);
      break;
    case AppWindow::kFind: {
      std::erase_if(finds_, [](const QPointer<FindWindow>& find) { return find.isNull(); });
      auto* find = new FindWindow(sources_, commands_);
      finds_.emplace_back(find);
      ShowInFront(*find);
      break;
    }
    default: break;
  }
}

void ToolWindows::Close(AppWindow window) {
  switch (window) {
    case AppWindow::kNetwork: delete network_.data(); break;
    case AppWindow::kKademlia: delete kademlia_.data(); break;
    case AppWindow::kFind:
      for (const QPointer<FindWindow>& find : finds_)
        if (find) find->close();
      break;
    default: break;
  }
}

FindWindow* ToolWindows::find() const {
  for (auto it = finds_.rbegin(); it != finds_.rend(); ++it)
    if (*it) return *it;
  return nullptr;
}

}  // namespace orv
