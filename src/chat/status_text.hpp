// The texts of a chat window's status bar and title.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

// "session id: %04X %04X %04X %04X %04X": the first five 16-bit units of
// the session digest, low half of each word first.
std::string SessionIdText(const uint32_t* digest);

// The typing sign one second on: "*" -> "**" -> "***" -> "****" -> "".
std::string NextTypingSign(std::string_view sign);

// "%s - %s": the name and "offline", "online" or "away" (presence 0, 1, 2).
std::string TitleText(std::string_view name, int presence);

}  // namespace orv
