#include "gui/tool_window.hpp"

#include <QWidget>

namespace orv {

void ShowInFront(QWidget& window) {
  if (window.isMinimized()) window.showNormal();
  window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace orv
