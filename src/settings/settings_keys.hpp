// The table of the settings file: every key with its section, its kind and
// the `Settings` field it fills, in the order in which the file is written.
// Reading and writing both walk this one table.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "settings/settings.hpp"

namespace orv {

enum class SettingKind {
  kPath,   // a path; an empty value reads as the default
  kName,   // a device name, cut to 31 characters
  kFlag,   // 0/1; any other number reads as set
  kInt,    // signed 32-bit
  kUint,   // unsigned 32-bit, written as signed like every number
  kPort,   // 16-bit: larger numbers keep their low 16 bits
  kLevel,  // 0..100; numbers outside are brought to the nearer end
  kPass,   // the remembered password, handled by the reader and writer themselves
};

using SettingField = std::variant<std::monostate, std::string Settings::*, bool Settings::*, int32_t Settings::*,
                                  uint32_t Settings::*, uint16_t Settings::*>;

struct SettingKey {
  std::string_view section;
  std::string_view name;
  SettingKind kind;
  SettingField field;
};

std::span<const SettingKey> SettingKeys();

// Longest device name kept, in characters.
constexpr size_t kDeviceNameCharacters = 31;

// Parses a whole value as a decimal number ("%d" as written, an optional
// sign, surrounding blanks already trimmed) into its 32-bit pattern. Numbers
// outside -2^31 .. 2^32-1, empty text and text with anything else give none.
std::optional<uint32_t> ParseSettingNumber(std::string_view text);

// Reads one value of the file into its field; false leaves the field as it
// was (the default) because the value does not fit the kind.
bool ReadSettingValue(const SettingKey& key, std::string_view text, Settings& s);

// The text a field is written as.
std::string WriteSettingValue(const SettingKey& key, const Settings& s);

// The first `characters` UTF-8 characters of `text`.
std::string CutToCharacters(std::string_view text, size_t characters);

}  // namespace orv
