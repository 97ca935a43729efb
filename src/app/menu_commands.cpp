#include "app/menu_commands.hpp"

#include <array>

namespace orv {
namespace {

constexpr std::array<MenuItem, 16> kItems = {{
    {MenuCommand::kSettings, "&Settings\tCtrl+S", "Ctrl+S"},
    {MenuCommand::kGenerateKey, "&Generate Key\tCtrl+G", "Ctrl+G"},
    {MenuCommand::kExit, "&Exit\tAlt+F4", "Alt+F4"},
    {MenuCommand::kAbout, "&About", ""},
    {MenuCommand::kViewHelp, "&View help\tF1", "F1"},
    {MenuCommand::kBootstrap, "&Bootstrap", ""},
    {MenuCommand::kShowLog, "Show l&og window", ""},
    {MenuCommand::kShowNetwork, "Show n&etwork window", ""},
    {MenuCommand::kShowKademlia, "Show k&ademlia window", ""},
    {MenuCommand::kFindUser, "Find User", ""},
    {MenuCommand::kMyInformation, "&My information", ""},
    {MenuCommand::kShowDownloads, "Show &downloads window", ""},
    {MenuCommand::kOnline, "&Online", ""},
    {MenuCommand::kAway, "&Away", ""},
    {MenuCommand::kChangePassword, "&Change Password/user info", ""},
    {MenuCommand::kConnectTo, "Connect to...", ""},
}};

}  // namespace

std::span<const MenuItem> MenuItems() { return kItems; }

std::optional<MenuCommand> MenuCommandFromId(uint32_t id) {
  for (const MenuItem& item : kItems)
    if (static_cast<uint32_t>(item.command) == id) return item.command;
  return std::nullopt;
}

}  // namespace orv
