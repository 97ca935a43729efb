// Formatting of the network's log texts.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

// printf-style formatting into a string.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "<prefix> from %s, user name: %s, version %d, fingerprint %08X ... %08X":
// the texts that close a checked response or confirmation.
std::string IdentityText(const char* prefix, const std::string& address, const std::string& name, uint32_t build,
                         const uint32_t* fingerprint);

}  // namespace orv
