// The commands of the main window's menu as core operations. Dialogs that
// only collect input are the program's windows; what they decide comes
// back through the calls of Application.
#include "app/application.hpp"
#include "app/key_generation.hpp"
#include "app/password_change.hpp"

namespace orv {

void Application::RunCommand(MenuCommand command) {
  if (!started_) return;
  switch (command) {
    case MenuCommand::kSettings: ui_.OpenWindow(AppWindow::kSettings, true); break;
    case MenuCommand::kGenerateKey: GenerateKey(); break;
    case MenuCommand::kExit:
      if (hooks_.exit) hooks_.exit();
      break;
    case MenuCommand::kAbout: ui_.OpenWindow(AppWindow::kAbout, true); break;
    case MenuCommand::kViewHelp: break;
    case MenuCommand::kBootstrap: Bootstrap(); break;
    case MenuCommand::kShowLog: ui_.OpenWindow(AppWindow::kLog, true); break;
    case MenuCommand::kShowNetwork: ui_.OpenWindow(AppWindow::kNetwork, true); break;
    case MenuCommand::kShowKademlia: ui_.OpenWindow(AppWindow::kKademlia, true); break;
    case MenuCommand::kFindUser: ui_.OpenWindow(AppWindow::kFind, true); break;
    case MenuCommand::kMyInformation:
      if (main_window_) main_window_->ShowMyInformation();
      break;
    case MenuCommand::kShowDownloads: ui_.OpenWindow(AppWindow::kDownloads, true); break;
    case MenuCommand::kOnline:
      if (main_window_) main_window_->CommandOnline();
      break;
    case MenuCommand::kAway:
      if (main_window_) main_window_->CommandAway();
      break;
    case MenuCommand::kChangePassword: RunPasswordChange(ui_, *ctx_, *passwords_, settings_.Key); break;
    case MenuCommand::kConnectTo: ui_.OpenWindow(AppWindow::kConnectTo, true); break;
  }
}

// The path typed in the dialog becomes the `Key` setting, and the new key
// is the one in use from now on.
void Application::GenerateKey() {
  std::string key_file = settings_.Key;
  if (!RunKeyGeneration(ui_, key_file)) return;
  settings_.Key = key_file;
  UseKeyFile(key_file);
}

}  // namespace orv
