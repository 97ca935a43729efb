// The user's own presence and the main window title that shows it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

// 0 online, 1 away set automatically after idle time, 2 away chosen by the
// user. Every value but 0 puts the away bit into the datagrams sent.
enum class Presence : uint32_t { kOnline = 0, kAwayAutomatic = 1, kAwayChosen = 2 };

inline constexpr std::string_view kTitleOnline = "ORV Telephone - online";
inline constexpr std::string_view kTitleAway = "ORV Telephone - away";

inline constexpr bool IsAway(Presence presence) { return presence != Presence::kOnline; }

inline constexpr std::string_view PresenceTitle(Presence presence) {
  return IsAway(presence) ? kTitleAway : kTitleOnline;
}

// The title while the network cannot receive: "ORV Telephone - not
// connected: no key", whatever the presence; the presence title otherwise.
inline std::string MainTitle(Presence presence, std::string_view network_problem) {
  if (network_problem.empty()) return std::string(PresenceTitle(presence));
  return "ORV Telephone - not connected: " + std::string(network_problem);
}

}  // namespace orv
