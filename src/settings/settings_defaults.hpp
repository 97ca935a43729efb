// The defaults of every setting. The data files default to the profile
// directory; received files to the XDG download folder.
#pragma once

#include "settings/profile_paths.hpp"
#include "settings/settings.hpp"

namespace orv {

Settings DefaultSettings(const ProfilePaths& paths);

// The default key file: the profile directory + "/orv.key". Key generation
// offered at the first start writes it there.
std::string DefaultKeyFile(const ProfilePaths& paths);

}  // namespace orv
