// The part of the desktop program that owns its windows: the UI port hands
// it the windows the start-up and shutdown sequences and the menu open and
// close, and asks it which window owns the dialogs.
#pragma once

#include "app/ui_port.hpp"

class QWidget;

namespace orv {

class AppWindowHost {
 public:
  virtual ~AppWindowHost() = default;
  virtual void OpenAppWindow(AppWindow window, bool shown) = 0;
  virtual void CloseAppWindow(AppWindow window) = 0;
  // The window that owns message boxes and dialogs; null for none.
  virtual QWidget* DialogOwner() = 0;
};

}  // namespace orv
