#include "settings/settings_keys.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>

#include "settings/ini_file.hpp"

namespace orv {
namespace {

using K = SettingKind;
using S = Settings;

constexpr std::array kKeys = {
    SettingKey{"Files", "Key", K::kPath, &S::Key},
    SettingKey{"Files", "Users", K::kPath, &S::Users},
    SettingKey{"Files", "Likes", K::kPath, &S::Likes},
    SettingKey{"Files", "Log", K::kPath, &S::Log},
    SettingKey{"Files", "EnableLog", K::kFlag, &S::EnableLog},
    SettingKey{"Files", "LogSize", K::kInt, &S::LogSize},
    SettingKey{"Files", "FileTransferPath", K::kPath, &S::FileTransferPath},
    SettingKey{"Files", "Downloads", K::kPath, &S::Downloads},
    SettingKey{"Files", "Seed", K::kPath, &S::Seed},
    SettingKey{"Files", "AutoReceiveFiles", K::kFlag, &S::AutoReceiveFiles},
    SettingKey{"Password", "Time", K::kUint, &S::Time},
    SettingKey{"Password", "Remember", K::kFlag, &S::Remember},
    SettingKey{"Password", "Pass", K::kPass, std::monostate{}},
    SettingKey{"Network", "LocalPort", K::kPort, &S::LocalPort},
    SettingKey{"Network", "RemotePort", K::kPort, &S::RemotePort},
    SettingKey{"Network", "EnableUPnP", K::kFlag, &S::EnableUPnP},
    SettingKey{"Network", "CancelUPnPonExit", K::kFlag, &S::CancelUPnPonExit},
    SettingKey{"Network", "NextAvailablePort", K::kFlag, &S::NextAvailablePort},
    SettingKey{"Network", "RandomPort", K::kFlag, &S::RandomPort},
    SettingKey{"Privacy", "AllowAnyone", K::kFlag, &S::AllowAnyone},
    SettingKey{"Privacy", "AllowConnectionRequest", K::kFlag, &S::AllowConnectionRequest},
    SettingKey{"Privacy", "AcceptFileTransfer", K::kFlag, &S::AcceptFileTransfer},
    SettingKey{"Privacy", "SaveChatToFile", K::kFlag, &S::SaveChatToFile},
    SettingKey{"System", "AwayTimeout", K::kInt, &S::AwayTimeout},
    SettingKey{"System", "Autostart", K::kFlag, &S::Autostart},
    SettingKey{"System", "PreventSleep", K::kFlag, &S::PreventSleep},
    SettingKey{"System", "OpenFirewall", K::kFlag, &S::OpenFirewall},
    SettingKey{"System", "ShowSplashWindow", K::kFlag, &S::ShowSplashWindow},
    SettingKey{"Audio", "Microphone", K::kName, &S::Microphone},
    SettingKey{"Audio", "Speaker", K::kName, &S::Speaker},
    SettingKey{"Audio", "Volume", K::kLevel, &S::Volume},
    SettingKey{"Audio", "MicLevel", K::kLevel, &S::MicLevel},
    SettingKey{"Audio", "AGC", K::kFlag, &S::AGC},
    SettingKey{"Audio", "RingVolume", K::kLevel, &S::RingVolume},
};

int32_t Signed(uint32_t bits) { return static_cast<int32_t>(bits); }

}  // namespace

std::span<const SettingKey> SettingKeys() { return kKeys; }

std::optional<uint32_t> ParseSettingNumber(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (negative ? magnitude > uint64_t{1} << 31 : magnitude > std::numeric_limits<uint32_t>::max()) {
    return std::nullopt;
  }
  const uint64_t bits = negative ? (uint64_t{1} << 32) - magnitude : magnitude;
  return static_cast<uint32_t>(bits);
}

std::string CutToCharacters(std::string_view text, size_t characters) {
  size_t i = 0;
  for (size_t count = 0; i < text.size(); ++count) {
    if (count == characters) break;
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;  // continuation bytes
  }
  return std::string(text.substr(0, i));
}

bool ReadSettingValue(const SettingKey& key, std::string_view text, Settings& s) {
  if (auto* text_field = std::get_if<std::string Settings::*>(&key.field)) {
    if (key.kind == SettingKind::kPath && text.empty()) return false;
    if (!IniValueStorable(text)) return false;  // control characters: garbage, not a name
    s.*(*text_field) = key.kind == SettingKind::kName ? CutToCharacters(text, kDeviceNameCharacters) : std::string(text);
    return true;
  }
  const std::optional<uint32_t> n = ParseSettingNumber(text);
  if (!n) return false;
  if (auto* flag = std::get_if<bool Settings::*>(&key.field)) {
    s.*(*flag) = *n != 0;
  } else if (auto* int_field = std::get_if<int32_t Settings::*>(&key.field)) {
    const int32_t v = Signed(*n);
    s.*(*int_field) = key.kind == SettingKind::kLevel ? std::clamp(v, 0, 100) : v;
  } else if (auto* uint_field = std::get_if<uint32_t Settings::*>(&key.field)) {
    s.*(*uint_field) = *n;
  } else if (auto* port = std::get_if<uint16_t Settings::*>(&key.field)) {
    s.*(*port) = static_cast<uint16_t>(*n & 0xFFFF);
  } else {
    return false;
  }
  return true;
}

std::string WriteSettingValue(const SettingKey& key, const Settings& s) {
  if (auto* text_field = std::get_if<std::string Settings::*>(&key.field)) return s.*(*text_field);
  if (auto* flag = std::get_if<bool Settings::*>(&key.field)) return s.*(*flag) ? "1" : "0";
  if (auto* int_field = std::get_if<int32_t Settings::*>(&key.field)) return std::to_string(s.*(*int_field));
  if (auto* uint_field = std::get_if<uint32_t Settings::*>(&key.field)) return std::to_string(Signed(s.*(*uint_field)));
  if (auto* port = std::get_if<uint16_t Settings::*>(&key.field)) return std::to_string(s.*(*port));
  return {};
}

}  // namespace orv
