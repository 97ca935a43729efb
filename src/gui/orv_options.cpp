#include "gui/orv_options.hpp"

namespace orv {

std::optional<OrvOptions> ParseOrvOptions(const std::vector<std::string>& args, std::string& error) {
  OrvOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--profile") {
      if (i + 1 == args.size() || args[i + 1].empty()) {
        error = "--profile needs a directory";
        return std::nullopt;
      }
      options.profile = args[++i];
    } else if (arg.rfind("--profile=", 0) == 0) {
      options.profile = arg.substr(10);
    } else if (arg.rfind("--", 0) == 0) {
      error = "unknown option " + arg;
      return std::nullopt;
    }
  }
  return options;
}

bool HasDisplay(const std::function<const char*(const char*)>& env) {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = env(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace orv
