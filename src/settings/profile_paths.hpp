// Where the telephone keeps its files: the profile directory (`--profile DIR`,
// else $XDG_CONFIG_HOME/orv, else ~/.config/orv), the settings file "orv.set"
// in it, and the folder that receives files (the XDG download folder).
#pragma once

#include <span>
#include <string>

namespace orv {

// What the paths are derived from. Tests fill it by hand; the programs take
// it from the process with ProcessProfileEnvironment.
struct ProfileEnvironment {
  std::string profile_arg;      // the DIR of `--profile DIR`, empty when not given
  std::string xdg_config_home;  // $XDG_CONFIG_HOME, empty when unset
  std::string home;             // $HOME (or the password database's home directory)
};

struct ProfilePaths {
  std::string profile_dir;    // absolute, no trailing "/"
  std::string settings_file;  // profile_dir + "/orv.set"
  std::string download_dir;   // default folder for received files
};

// The DIR given with "--profile DIR" or "--profile=DIR"; empty when absent.
std::string ProfileArgument(std::span<const char* const> args);

ProfileEnvironment ProcessProfileEnvironment(const std::string& profile_arg);

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config.
std::string ConfigHome(const ProfileEnvironment& env);

// XDG_DOWNLOAD_DIR from <config home>/user-dirs.dirs when it names a folder,
// else $HOME/Downloads.
std::string DownloadDirectory(const ProfileEnvironment& env);

ProfilePaths ResolveProfilePaths(const ProfileEnvironment& env);

// Creates the profile directory (and its parents) when missing, 0700
// whatever the umask; one that exists and belongs to the user is narrowed
// to 0700 when others could enter it. False when it neither exists nor can
// be made.
bool EnsureProfileDirectory(const ProfilePaths& paths);

}  // namespace orv
