#include "settings/settings_file.hpp"

#include <cstdio>
#include <string>

#include "settings/ini_file.hpp"
#include "settings/pass_encoding.hpp"
#include "settings/settings_defaults.hpp"
#include "settings/settings_keys.hpp"

namespace orv {
namespace {

std::string KeyName(const SettingKey& key) {
  return "[" + std::string(key.section) + "] " + std::string(key.name);
}

// The remembered password; only read when `Remember` is set.
void ReadPass(const IniFile& ini, const SettingKey& key, SettingsRead& read) {
  if (!read.settings.Remember) return;
  std::optional<std::string> text = ini.Get(key.section, key.name);
  if (!text) return;
  if (!DecodePass(*text, read.remembered)) {
    read.problems.push_back(KeyName(key) + ": not a remembered password, dropped");  // never its text
  } else if (!read.remembered.empty()) {
    read.settings.Time = 0;
  }
  WipeString(*text);
}

// A value the key cannot take. An empty path is no damage: it stands for
// the default (and is what a save writes for a path INI cannot carry).
void ReadValue(const SettingKey& key, const std::string& value, SettingsRead& read) {
  if (ReadSettingValue(key, value, read.settings)) return;
  if (key.kind == SettingKind::kPath && value.empty()) return;
  constexpr size_t kShown = 40;
  const std::string shown = IniValueStorable(value) ? CutToCharacters(value, kShown) : "(control characters)";
  read.problems.push_back(KeyName(key) + ": value \"" + shown + "\" not valid, the default is used");
}

void NoteDamagedLines(const IniFile& ini, SettingsRead& read) {
  for (const size_t line : ini.DamagedLines()) {
    read.problems.push_back("line " + std::to_string(line) + " dropped: neither a section, a key in a section nor a comment");
  }
}

// Every key of `ini` into `read`, noting what could not be read.
void ReadKeys(const IniFile& ini, SettingsRead& read) {
  NoteDamagedLines(ini, read);
  for (const SettingKey& key : SettingKeys()) {
    if (key.kind == SettingKind::kPass) {
      ReadPass(ini, key, read);
      continue;
    }
    if (const auto value = ini.Get(key.section, key.name)) ReadValue(key, *value, read);
  }
}

// True when a reading of `ini` has problems (the file is damaged).
bool Damaged(const IniFile& ini, const ProfilePaths& paths) {
  SettingsRead scratch;
  scratch.settings = DefaultSettings(paths);
  ReadKeys(ini, scratch);
  scratch.remembered.Clear();
  return !scratch.problems.empty();
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
  if (file.state == FileReadState::kMissing) return read;
  if (file.state == FileReadState::kUnreadable) {
    read.problems.push_back("the file cannot be read; every setting has its default and the file is not saved over");
    return read;
  }
  if (file.state == FileReadState::kOversized) {
    read.problems.push_back("larger than " + std::to_string(kMaxSettingsFileBytes) +
                            " bytes: only its beginning was read; it is kept as orv.set.bak at the next save");
  }
  IniFile ini = IniFile::Parse(file.text);
  WipeString(file.text);
  ReadKeys(ini, read);
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
  if (old.state == FileReadState::kRead && Damaged(ini, paths)) {
    // Kept whole beside the new file, so that nothing the user wrote is lost.
    if (!ReplaceFile(paths.settings_file + kDamagedSettingsSuffix, old.text, 0600)) {
      WipeString(old.text);
      ini.Wipe();
      return false;
    }
    ini.DropLines(ini.DamagedLines());
  }
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
