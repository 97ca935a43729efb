// The desktop's side of the received files: "Open" hands the file to its
// default program; "Show in folder" asks the file manager over D-Bus
// (org.freedesktop.FileManager1.ShowItems) to show the folder with the file
// selected, and opens the folder itself when no file manager answers.
#pragma once

#include <string>

#include <QObject>

#include "app/downloads_window/downloads_controller.hpp"

namespace orv {

class QtDesktopShell final : public DesktopShell {
 public:
  void OpenFile(const std::string& path) override;
  void ShowInFolder(const std::string& path) override;

 private:
  QObject context_;  // owns the D-Bus calls still on their way
};

}  // namespace orv
