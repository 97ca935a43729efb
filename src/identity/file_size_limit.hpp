// The bound on the data files of a profile that are read whole (the
// contacts, network and downloads files and the files that are signed).
// Real ones are kilobytes; a file far beyond that is damaged or planted,
// and reading, parsing or signing it would take the memory or minutes of
// work. Such a file is refused as unreadable.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

inline constexpr uint64_t kMaxProfileFileBytes = 64ull * 1024 * 1024;

// "larger than 64 MB (<size> bytes)": the reason given for such a file.
inline std::string OversizedFileReason(uint64_t size) {
  return "larger than 64 MB (" + std::to_string(size) + " bytes)";
}

}  // namespace orv
