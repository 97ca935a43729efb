#include "identity/legacy_password.hpp"

#include <cstdint>

namespace orv {
namespace {

// Windows-1252 at 0x80-0x9F; 0 where the code page has no character.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::optional<uint8_t> Windows1252Byte(uint32_t code) {
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<uint8_t>(code);
  for (unsigned i = 0; i < 32; ++i)
    if (kHighControls[i] != 0 && kHighControls[i] == code) return static_cast<uint8_t>(0x80 + i);
  return std::nullopt;
}

// One UTF-8 character (at most three bytes: everything Windows-1252 can
// hold) from `at`; none when the sequence is malformed or longer.
std::optional<uint32_t> NextCharacter(const uint8_t* bytes, size_t n, size_t& at) {
  const uint8_t lead = bytes[at];
  size_t extra;
  uint32_t code;
  if (lead < 0x80) {
    extra = 0, code = lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, code = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, code = lead & 0x0Fu;
  } else {
    return std::nullopt;
  }
  if (extra > n - at - 1) return std::nullopt;  // cut short at the end
  for (size_t k = 1; k <= extra; ++k) {
    if ((bytes[at + k] & 0xC0) != 0x80) return std::nullopt;
    code = (code << 6) | (bytes[at + k] & 0x3Fu);
  }
  const uint32_t shortest = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0;
  if (code < shortest) return std::nullopt;
  at += extra + 1;
  return code;
}

}  // namespace

std::optional<PasswordBytes> Windows1252Password(const PasswordBytes& utf8) {
  PasswordBytes out;
  bool wide = false;
  size_t at = 0;
  while (at < utf8.size()) {
    const std::optional<uint32_t> code = NextCharacter(utf8.data(), utf8.size(), at);
    if (!code) return std::nullopt;
    const std::optional<uint8_t> byte = Windows1252Byte(*code);
    if (!byte) return std::nullopt;
    wide = wide || *code >= 0x80;
    out.Append(*byte);
  }
  if (!wide) return std::nullopt;
  return out;
}

bool OpenWithPassword(const KeyRecord& key, PasswordBytes& password) {
  if (CheckPassword(key, password.data(), password.size())) return true;
  std::optional<PasswordBytes> legacy = Windows1252Password(password);
  if (!legacy || !CheckPassword(key, legacy->data(), legacy->size())) return false;
  password = std::move(*legacy);
  return true;
}

}  // namespace orv
