#include "chat/status_text.hpp"

#include "net/net_text.hpp"

namespace orv {

std::string SessionIdText(const uint32_t* digest) {
  return FormatText("session id: %04X %04X %04X %04X %04X", digest[0] & 0xffff, digest[0] >> 16,
                    digest[1] & 0xffff, digest[1] >> 16, digest[2] & 0xffff);
}

std::string NextTypingSign(std::string_view sign) {
  if (sign.empty() || sign.size() >= 4) return "";
  return std::string(sign.size() + 1, '*');
}

std::string TitleText(std::string_view name, int presence) {
  const char* state = presence == 1 ? "online" : presence == 2 ? "away" : "offline";
  return std::string(name) + " - " + state;
}

}  // namespace orv
