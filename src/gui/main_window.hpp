// The main window: the contact list, the menus, the tray icon and the
// windows the program opens from them. It shows what the main window's
// controller tells it (MainWindowEvents), asks what the controller's
// commands need (MainWindowPrompts), and forwards the person's actions: a
// menu command to `run_command` (Application::RunCommand), a row's double
// click, its popup menu and selection to the controller. Closing it hides
// it in the tray, or minimises it where there is no tray.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include <QMainWindow>
#include <QPointer>

#include "app/main_window/main_window_controller.hpp"
#include "app/main_window/main_window_events.hpp"
#include "app/menu_commands.hpp"
#include "gui/about_dialog.hpp"
#include "gui/app_window_host.hpp"
#include "gui/contact_dialogs.hpp"
#include "gui/tool_window.hpp"

class QAction;
class QActionGroup;
class QListWidgetItem;
class QMenu;
class QSystemTrayIcon;

namespace orv {

class ContactList;

struct MainWindowActions {
  std::function<void(MenuCommand)> run_command;
  // "Connect to IP:port" gave an address (not 0) and a port.
  std::function<void(uint32_t ipv4, uint16_t port)> connect_to;
};

// Smallest client area.
inline constexpr int kMinClientWidth = 200;
inline constexpr int kMinClientHeight = 300;

class MainWindow final : public QMainWindow, public MainWindowEvents, public MainWindowPrompts, public AppWindowHost {
 public:
  explicit MainWindow(MainWindowActions actions);
  ~MainWindow() override;

  // The controller once the program started; null again before it stops.
  void SetController(MainWindowController* controller) { controller_ = controller; }
  // Runs the "Settings" dialog over the main window ("&Settings").
  void SetSettingsDialog(std::function<void(QWidget* owner)> run) { settings_dialog_ = std::move(run); }

  // MainWindowEvents.
  void ContactRowsChanged(const std::vector<ContactRow>& rows) override;
  void SelectContactRow(size_t row) override;
  void TitleChanged(std::string_view title) override;
  void PresenceMarkChanged(Presence presence) override;
  void ShowUserInfo(const UserInformation& info) override;
  void ShowConnectionRequest(const ConnectionRequest& request) override;
  void StatusTextChanged(std::string_view text) override;

  // MainWindowPrompts.
  std::optional<std::string> AskRename(std::string_view original_name, std::string_view name) override;
  std::optional<std::string> ChooseFileToSend() override;

  // AppWindowHost.
  void OpenAppWindow(AppWindow window, bool shown) override;
  void CloseAppWindow(AppWindow window) override;
  QWidget* DialogOwner() override;

  // Shows the window and brings it to the front.
  void ShowAndRaise();

  // A message beside the tray icon; false where there is no tray (or it
  // shows no messages).
  bool ShowTrayMessage(const QString& title, const QString& text);

  // The tool window that OpenAppWindow and CloseAppWindow reach for
  // `window` (kLog, kDownloads); null: none.
  void SetToolWindow(AppWindow window, ToolWindow* tool) { tools_[window] = tool; }

  // For the tests.
  ContactList* contact_list() const { return list_; }
  QAction* MenuAction(MenuCommand command) const;
  QMenu* tray_menu() const { return tray_menu_; }
  UserInfoDialog* user_info_dialog() const { return info_; }
  // The row's popup menu as the controller builds it, run with the chosen
  // command (the popup's result).
  void RunRowCommand(size_t row, ContactCommand command);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildTray();
  void OnRowActivated(QListWidgetItem* item);
  void OnContextMenu(const QPoint& at);
  void OnSelectionChanged();
  void RunConnectTo();
  void OpenSplash();
  void CloseSplash();
  ToolWindow* Tool(AppWindow window) const;

  MainWindowActions actions_;
  MainWindowController* controller_ = nullptr;
  ContactList* list_ = nullptr;
  std::map<MenuCommand, QAction*> menu_actions_;
  QActionGroup* presence_group_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  QMenu* tray_menu_ = nullptr;
  QPointer<UserInfoDialog> info_;
  QPointer<AboutDialog> splash_;
  std::map<AppWindow, ToolWindow*> tools_;
  std::function<void(QWidget* owner)> settings_dialog_;
};

}  // namespace orv
