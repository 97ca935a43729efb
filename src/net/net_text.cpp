#include "net/net_text.hpp"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "net/peer_ref.hpp"

namespace orv {

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (n > 0) {
    std::vector<char> buffer(static_cast<size_t>(n) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    text.assign(buffer.data(), static_cast<size_t>(n));
  }
  va_end(args);
  return text;
}

std::string OneLineText(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return text;
}

std::string IdentityText(const char* prefix, const std::string& address, const std::string& name, uint32_t build,
                         const uint32_t* f) {
  return FormatText("%s from %s, user name: %s, version %d, fingerprint %08X %08X %08X %08X %08X %08X %08X %08X",
                    prefix, address.c_str(), OneLineText(name).c_str(), static_cast<int>(build), f[0], f[1], f[2],
                    f[3], f[4], f[5], f[6], f[7]);
}

std::string AddressText(uint32_t ipv4, uint16_t port) {
  return FormatText("%d.%d.%d.%d:%d", static_cast<int>(ipv4 >> 24), static_cast<int>((ipv4 >> 16) & 0xff),
                    static_cast<int>((ipv4 >> 8) & 0xff), static_cast<int>(ipv4 & 0xff), static_cast<int>(port));
}

}  // namespace orv
