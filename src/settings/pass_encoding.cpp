#include "settings/pass_encoding.hpp"

#include <cstdint>

namespace orv {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

uint8_t Mask(size_t pair) { return static_cast<uint8_t>((17 * pair) & 0xFF); }

}  // namespace

std::string EncodePass(const PasswordBytes& password) {
  const size_t n = password.size();
  std::string text(2 * n, '0');
  for (size_t i = 0; i < n; ++i) {
    const uint8_t v = password.data()[n - 1 - i] ^ Mask(i);
    text[2 * i] = kHexDigits[v >> 4];
    text[2 * i + 1] = kHexDigits[v & 0x0F];
  }
  return text;
}

bool DecodePass(std::string_view text, PasswordBytes& out) {
  out.Clear();
  const size_t n = text.size() / 2;
  if (n > PasswordBytes::kMaxLength) return false;
  // Pair i holds byte n-1-i, so the pairs are read from the last to the first.
  for (size_t k = n; k-- > 0;) {
    const int high = HexValue(text[2 * k]);
    const int low = HexValue(text[2 * k + 1]);
    if (high < 0 || low < 0) {
      out.Clear();
      return false;
    }
    out.Append(static_cast<uint8_t>(((high << 4) | low) ^ Mask(k)));
  }
  return true;
}

}  // namespace orv
