#include "settings/settings_file.hpp"

#include <cstdio>
#include <string>

#include "settings/ini_file.hpp"
#include "settings/pass_encoding.hpp"
#include "settings/settings_defaults.hpp"
#include "settings/settings_keys.hpp"

namespace orv {
namespace {

// The remembered password; only read when `Remember` is set.
void ReadPass(const IniFile& ini, const SettingKey& key, SettingsRead& read) {
  if (!read.settings.Remember) return;
  std::optional<std::string> text = ini.Get(key.section, key.name);
  if (!text) return;
  if (DecodePass(*text, read.remembered) && !read.remembered.empty()) read.settings.Time = 0;
  WipeString(*text);
}

std::string PassText(const Settings& settings, const PasswordSupplier& supplier) {
  if (!settings.Remember || !supplier) return {};
  PasswordBytes password;
  if (!supplier(password) || password.empty()) return {};
  return EncodePass(password);
}

}  // namespace

SettingsRead ReadSettings(const ProfilePaths& paths) {
  SettingsRead read;
  read.settings = DefaultSettings(paths);
  FileRead file = ReadFileLimited(paths.settings_file, kMaxSettingsFileBytes);
  read.state = file.state;
  if (file.state == FileReadState::kMissing || file.state == FileReadState::kUnreadable) return read;
  IniFile ini = IniFile::Parse(file.text);
  WipeString(file.text);
  for (const SettingKey& key : SettingKeys()) {
    if (key.kind == SettingKind::kPass) {
      ReadPass(ini, key, read);
      continue;
    }
    if (const auto value = ini.Get(key.section, key.name)) ReadSettingValue(key, *value, read.settings);
  }
  ini.Wipe();
  return read;
}

bool SaveSettings(const Settings& settings, const ProfilePaths& paths, const PasswordSupplier& password) {
  if (!EnsureProfileDirectory(paths)) return false;
  FileRead old = ReadFileLimited(paths.settings_file, kMaxSettingsFileBytes);
  if (old.state == FileReadState::kUnreadable) return false;
  if (old.state == FileReadState::kOversized) {
    // Not ours to cut short: the whole file is kept beside the new one.
    WipeString(old.text);
    if (std::rename(paths.settings_file.c_str(), (paths.settings_file + ".bak").c_str()) != 0) return false;
  }
  IniFile ini = IniFile::Parse(old.text);
  WipeString(old.text);
  for (const SettingKey& key : SettingKeys()) {
    std::string value = key.kind == SettingKind::kPass ? PassText(settings, password) : WriteSettingValue(key, settings);
    // A value plain INI text cannot carry (a path with a line break) is
    // written empty, so that it reads back as its default.
    if (!ini.Set(key.section, key.name, value)) ini.Set(key.section, key.name, "");
    WipeString(value);
  }
  std::string text = ini.Text();
  ini.Wipe();
  const bool stored = ReplaceFile(paths.settings_file, text, 0600);
  WipeString(text);
  return stored;
}

}  // namespace orv
