// The desktop program's command line, and whether there is a display to
// show its windows on.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orv {

struct OrvOptions {
  std::string profile;  // --profile DIR; empty: the default profile
  bool help = false;    // --help, -h
};

inline constexpr const char* kOrvUsage =
    "usage: orv [--profile DIR]\n"
    "  --profile DIR  the profile directory (default: $XDG_CONFIG_HOME/orv)\n"
    "Qt's own options (-platform, -style, ...) are passed on to Qt.\n";

// The program's options; Qt's single-dash options are left to Qt. Nothing
// (and `error` set) for an unknown "--" option or a missing value.
std::optional<OrvOptions> ParseOrvOptions(const std::vector<std::string>& args, std::string& error);

// True when a window can be shown: DISPLAY or WAYLAND_DISPLAY is set, or a
// Qt platform is chosen with QT_QPA_PLATFORM. `env` reads a variable
// (null or empty: not set).
bool HasDisplay(const std::function<const char*(const char*)>& env);

}  // namespace orv
