// A tool window of the desktop program ("Log", "Downloads", ...): made
// hidden at start-up, shown and brought to the front from the menu, hidden
// (not destroyed) by its close box and at shutdown.
#pragma once

class QWidget;

namespace orv {

class ToolWindow {
 public:
  virtual ~ToolWindow() = default;
  // shown false: the start-up makes it (it stays hidden); true: the menu
  // shows it and brings it to the front.
  virtual void OpenToolWindow(bool shown) = 0;
  // The shutdown: the window goes out of sight.
  virtual void CloseToolWindow() = 0;
};

// Shows `window`, restored when minimised, in front of the others.
void ShowInFront(QWidget& window);

}  // namespace orv
