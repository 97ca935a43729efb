// The main window's menus, built from the core's command list, and the
// tray icon with its menu.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>

#include "gui/icons.hpp"
#include "gui/main_window.hpp"

namespace orv {
namespace {

// Which menu each command sits in, in menu order.
struct MenuPlace {
  const char* title;
  std::vector<std::vector<MenuCommand>> groups;  // separated by lines
};

const std::vector<MenuPlace>& MenuLayout() {
  static const std::vector<MenuPlace> layout = {
      {"&File",
       {{MenuCommand::kSettings, MenuCommand::kGenerateKey, MenuCommand::kChangePassword, MenuCommand::kMyInformation},
        {MenuCommand::kExit}}},
      {"&Network",
       {{MenuCommand::kBootstrap, MenuCommand::kConnectTo, MenuCommand::kFindUser},
        {MenuCommand::kShowLog, MenuCommand::kShowNetwork, MenuCommand::kShowKademlia, MenuCommand::kShowDownloads}}},
      {"&Status", {{MenuCommand::kOnline, MenuCommand::kAway}}},
      {"&Help", {{MenuCommand::kViewHelp, MenuCommand::kAbout}}},
  };
  return layout;
}

const MenuItem* FindItem(MenuCommand command) {
  for (const MenuItem& item : MenuItems())
    if (item.command == command) return &item;
  return nullptr;
}

}  // namespace

void MainWindow::BuildMenus() {
  presence_group_ = new QActionGroup(this);
  presence_group_->setExclusive(true);
  for (const MenuPlace& place : MenuLayout()) {
    QMenu* menu = menuBar()->addMenu(place.title);
    for (const std::vector<MenuCommand>& group : place.groups) {
      if (!menu->isEmpty()) menu->addSeparator();
      for (MenuCommand command : group) {
        const MenuItem* item = FindItem(command);
        if (!item) continue;
        // The text carries its shortcut after "\t", which the menu shows.
        QAction* action = menu->addAction(QString::fromUtf8(item->text.data(), static_cast<qsizetype>(item->text.size())));
        if (!item->shortcut.empty()) {
          action->setShortcut(QKeySequence(QString::fromUtf8(item->shortcut.data(), static_cast<qsizetype>(item->shortcut.size()))));
          // Accelerators work from every window of the program.
          action->setShortcutContext(Qt::ApplicationShortcut);
        }
        if (command == MenuCommand::kOnline || command == MenuCommand::kAway) {
          action->setCheckable(true);
          presence_group_->addAction(action);
        }
        connect(action, &QAction::triggered, this, [this, command] {
          if (actions_.run_command) actions_.run_command(command);
        });
        menu_actions_[command] = action;
      }
    }
  }
  menu_actions_[MenuCommand::kOnline]->setChecked(true);
}

QAction* MainWindow::MenuAction(MenuCommand command) const {
  auto it = menu_actions_.find(command);
  return it == menu_actions_.end() ? nullptr : it->second;
}

void MainWindow::PresenceMarkChanged(Presence presence) {
  MenuAction(presence == Presence::kOnline ? MenuCommand::kOnline : MenuCommand::kAway)->setChecked(true);
}

// The tray menu: "ORV Telephone" shows the window, "About" and "Exit" are
// the menu's commands. Without a system tray there is no icon, and closing
// the window minimises it.
void MainWindow::BuildTray() {
  tray_menu_ = new QMenu(this);
  connect(tray_menu_->addAction("ORV Telephone"), &QAction::triggered, this, &MainWindow::ShowAndRaise);
  for (MenuCommand command : {MenuCommand::kAbout, MenuCommand::kExit}) {
    connect(tray_menu_->addAction(command == MenuCommand::kAbout ? "About" : "Exit"), &QAction::triggered, this,
            [this, command] {
              if (actions_.run_command) actions_.run_command(command);
            });
  }
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  tray_ = new QSystemTrayIcon(ProgramIcon(), this);
  tray_->setToolTip("ORV Telephone");
  tray_->setContextMenu(tray_menu_);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) ShowAndRaise();
  });
  tray_->show();
}

bool MainWindow::ShowTrayMessage(const QString& title, const QString& text) {
  if (!tray_ || !QSystemTrayIcon::supportsMessages()) return false;
  tray_->showMessage(title, text, ProgramIcon());
  return true;
}

}  // namespace orv
