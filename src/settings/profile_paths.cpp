#include "settings/profile_paths.hpp"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>
#include <vector>

namespace orv {
namespace {

namespace fs = std::filesystem;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string HomeFromPasswordDatabase() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* result = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result && result->pw_dir) {
    return result->pw_dir;
  }
  return {};
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The value of one "XDG_DOWNLOAD_DIR=..." line: "$HOME/..." or an absolute
// path, in double quotes. Empty when the line names nothing usable.
std::string UserDirValue(std::string_view value, const std::string& home) {
  if (value.size() < 2 || value.front() != '"') return {};
  value.remove_prefix(1);
  const size_t close = value.find('"');
  if (close == std::string_view::npos) return {};
  value = value.substr(0, close);
  if (value.substr(0, 5) == "$HOME") {
    const std::string_view rest = value.substr(5);
    if (!rest.empty() && rest.front() != '/') return {};
    // "$HOME/" alone means the folder is switched off: files go to $HOME.
    return WithoutTrailingSlash(home + std::string(rest));
  }
  if (value.empty() || value.front() != '/') return {};
  return WithoutTrailingSlash(std::string(value));
}

}  // namespace

std::string ProfileArgument(std::span<const char* const> args) {
  constexpr std::string_view kFlag = "--profile";
  for (size_t i = 0; i < args.size(); ++i) {
    if (!args[i]) continue;
    const std::string_view a = args[i];
    if (a == kFlag && i + 1 < args.size() && args[i + 1]) return args[i + 1];
    if (a.substr(0, kFlag.size() + 1) == "--profile=") return std::string(a.substr(kFlag.size() + 1));
  }
  return {};
}

ProfileEnvironment ProcessProfileEnvironment(const std::string& profile_arg) {
  ProfileEnvironment env;
  env.profile_arg = profile_arg;
  env.xdg_config_home = Env("XDG_CONFIG_HOME");
  env.home = Env("HOME");
  if (env.home.empty()) env.home = HomeFromPasswordDatabase();
  return env;
}

std::string ConfigHome(const ProfileEnvironment& env) {
  // Relative values are invalid by the XDG rules and are ignored.
  if (!env.xdg_config_home.empty() && env.xdg_config_home.front() == '/') {
    return WithoutTrailingSlash(env.xdg_config_home);
  }
  return WithoutTrailingSlash(env.home) + "/.config";
}

std::string DownloadDirectory(const ProfileEnvironment& env) {
  const std::string home = WithoutTrailingSlash(env.home);
  std::ifstream in(ConfigHome(env) + "/user-dirs.dirs");
  std::string line;
  while (in && std::getline(in, line)) {
    constexpr std::string_view kKey = "XDG_DOWNLOAD_DIR=";
    std::string_view l = line;
    while (!l.empty() && (l.front() == ' ' || l.front() == '\t')) l.remove_prefix(1);
    if (l.substr(0, kKey.size()) != kKey) continue;
    const std::string dir = UserDirValue(l.substr(kKey.size()), home);
    if (!dir.empty()) return dir;
  }
  return home + "/Downloads";
}

ProfilePaths ResolveProfilePaths(const ProfileEnvironment& env) {
  ProfilePaths paths;
  if (!env.profile_arg.empty()) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(env.profile_arg, ec);
    paths.profile_dir = WithoutTrailingSlash((ec ? fs::path(env.profile_arg) : absolute).lexically_normal().string());
  } else {
    paths.profile_dir = ConfigHome(env) + "/orv";
  }
  paths.settings_file = paths.profile_dir + "/orv.set";
  paths.download_dir = DownloadDirectory(env);
  return paths;
}

bool EnsureProfileDirectory(const ProfilePaths& paths) {
  // The folder holds the key, the remembered password and the contacts:
  // it is made 0700 whatever the umask (mkdir with 0700 never gives more),
  // and one of ours found open to others is closed again.
  std::error_code ec;
  const fs::path dir(paths.profile_dir);
  if (!fs::is_directory(dir, ec)) {
    if (dir.has_parent_path()) fs::create_directories(dir.parent_path(), ec);
    if (::mkdir(paths.profile_dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (!fs::is_directory(dir, ec)) return false;
  }
  struct stat st {};
  if (::stat(paths.profile_dir.c_str(), &st) == 0 && st.st_uid == ::getuid() && (st.st_mode & 077) != 0) {
    ::chmod(paths.profile_dir.c_str(), 0700);
  }
  return true;
}

}  // namespace orv
