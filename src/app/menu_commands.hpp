// The commands of the main window's menu, by their numbers, with the menu
// texts and shortcuts the desktop program binds to them. Application runs
// each as a core operation; the windows only show the menu.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace orv {

enum class MenuCommand : uint32_t {
  kSettings = 1000,
  kGenerateKey = 1001,
  kExit = 1002,
  kAbout = 1012,
  kViewHelp = 1013,
  kBootstrap = 1014,
  kShowLog = 1017,
  kShowNetwork = 1018,
  kShowKademlia = 1019,
  kFindUser = 1020,
  kMyInformation = 1026,
  kShowDownloads = 1028,
  kOnline = 1029,
  kAway = 1030,
  kChangePassword = 1031,
  kConnectTo = 1035,
};

struct MenuItem {
  MenuCommand command;
  std::string_view text;      // the menu text; "\t" parts it from the shortcut shown
  std::string_view shortcut;  // the accelerator ("Ctrl+S"), or empty
};

// Every command of the menu, in the order of their numbers.
std::span<const MenuItem> MenuItems();

// The command of that number, if there is one.
std::optional<MenuCommand> MenuCommandFromId(uint32_t id);

}  // namespace orv
