#include "settings/settings_defaults.hpp"

namespace orv {

std::string DefaultKeyFile(const ProfilePaths& paths) { return paths.profile_dir + "/orv.key"; }

Settings DefaultSettings(const ProfilePaths& paths) {
  Settings s;  // the record's initialisers hold every default that is not a path
  s.Key = DefaultKeyFile(paths);
  s.Users = paths.profile_dir + "/user.xml";
  s.Likes = paths.profile_dir + "/likes.xml";
  s.Log = paths.profile_dir + "/log.txt";
  s.FileTransferPath = paths.download_dir;
  s.Downloads = paths.profile_dir + "/downloads.xml";
  s.Seed = paths.profile_dir + "/seed.bin";
  return s;
}

}  // namespace orv
