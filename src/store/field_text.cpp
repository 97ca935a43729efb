#include "store/field_text.hpp"

#include <cstdio>

#include "crypto/certificate.hpp"

namespace orv {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads a decimal number of at most `max_digits` digits at `pos`.
bool ReadDecimal(std::string_view text, size_t& pos, size_t max_digits, uint32_t& value) {
  value = 0;
  size_t digits = 0;
  while (pos < text.size() && IsDigit(text[pos])) {
    if (++digits > max_digits) return false;
    value = value * 10 + static_cast<uint32_t>(text[pos] - '0');
    ++pos;
  }
  return digits > 0;
}

}  // namespace

std::string DottedIpv4Text(uint32_t ipv4) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", ipv4 >> 24, (ipv4 >> 16) & 0xff, (ipv4 >> 8) & 0xff, ipv4 & 0xff);
  return text;
}

uint32_t ReadDottedIpv4(std::string_view text) {
  uint32_t address = 0;
  size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    uint32_t part = 0;
    if (!ReadDecimal(text, pos, 3, part) || part > 255) return 0;
    address = address << 8 | part;
    if (i < 3) {
      if (pos >= text.size() || text[pos] != '.') return 0;
      ++pos;
    }
  }
  return pos == text.size() ? address : 0;
}

uint16_t ReadPort(std::string_view text) {
  size_t pos = 0;
  uint32_t port = 0;
  if (!ReadDecimal(text, pos, 5, port) || pos != text.size() || port > 65535) return 0;
  return static_cast<uint16_t>(port);
}

void ReadUserIdText(std::string_view text, uint32_t* user_id) {
  for (size_t i = 0; i < kUserIdWords; ++i) user_id[i] = 0;
  size_t pos = 0;
  for (size_t word = 0; word < kUserIdWords; ++word) {
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    uint32_t value = 0;
    size_t digits = 0;
    for (; pos < text.size() && HexValue(text[pos]) >= 0; ++pos, ++digits) {
      if (digits == 8) return;
      value = value << 4 | static_cast<uint32_t>(HexValue(text[pos]));
    }
    if (digits == 0 || (pos < text.size() && !IsSpace(text[pos]))) return;
    user_id[word] = value;
  }
}

}  // namespace orv
