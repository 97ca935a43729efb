// Formatting of the network's log texts.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

// printf-style formatting into a string.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The text with every control character (line breaks included) turned into a
// space: peer-supplied names go into log lines, where a line break would let
// a peer write lines of its own.
std::string OneLineText(std::string text);

// "<prefix> from %s, user name: %s, version %d, fingerprint %08X ... %08X":
// the texts that close a checked response or confirmation. The name is
// made one line.
std::string IdentityText(const char* prefix, const std::string& address, const std::string& name, uint32_t build,
                         const uint32_t* fingerprint);

}  // namespace orv
