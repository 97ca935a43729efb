#include "settings/autostart.hpp"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "settings/file_replace.hpp"

namespace orv {
namespace {

namespace fs = std::filesystem;

// One argument of the Exec key: in double quotes, with the characters that
// keep a meaning inside quotes escaped by a backslash.
std::string QuoteExecArgument(const std::string& arg) {
  std::string out = "\"";
  for (char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// The Exec value as a desktop-entry string: "%" doubled since it introduces
// field codes, backslashes doubled and line breaks and tabs escaped, so that
// no path can end the line.
std::string EscapeExecValue(const std::string& command) {
  std::string out;
  for (char c : command) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '%': out += "%%"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  return out;
}

std::string OwnProgramPath() {
  std::error_code ec;
  const fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

}  // namespace

AutostartEntry ProcessAutostartEntry(const ProfileEnvironment& env, const ProfilePaths& paths) {
  AutostartEntry entry;
  entry.config_home = ConfigHome(env);
  entry.program = OwnProgramPath();
  if (!env.profile_arg.empty()) entry.profile_dir = paths.profile_dir;
  return entry;
}

std::string AutostartEntryPath(const AutostartEntry& entry) { return entry.config_home + "/autostart/orv.desktop"; }

std::string AutostartDesktopText(const AutostartEntry& entry) {
  std::string command = QuoteExecArgument(entry.program);
  if (!entry.profile_dir.empty()) command += " --profile " + QuoteExecArgument(entry.profile_dir);
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=ORV Telephone\n"
         "Comment=Serverless encrypted internet telephone\n"
         "Exec=" + EscapeExecValue(command) + "\n"
         "Icon=orv\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

bool SetAutostart(const AutostartEntry& entry, bool on) {
  if (entry.config_home.empty()) return false;
  const std::string path = AutostartEntryPath(entry);
  std::error_code ec;
  if (!on) {
    fs::remove(path, ec);
    return !ec;
  }
  if (entry.program.empty()) return false;
  fs::create_directories(fs::path(path).parent_path(), ec);
  if (ec) return false;
  return ReplaceFile(path, AutostartDesktopText(entry), 0644);
}

}  // namespace orv
