// What a headless node decides by itself, where the desktop program would
// ask its user: the settings that say whom to take messages and calls from
// and what to do with offered files. Named as the settings keys.
#pragma once

#include <string>

#include "settings/settings.hpp"

namespace orv {

struct NodePolicies {
  bool AllowAnyone = true;          // open a conversation for any peer that writes or calls
  bool AutoReceiveFiles = false;    // accept offered files without asking, into FileTransferPath
  bool AcceptFileTransfer = true;   // take file offers from anyone (not only known contacts)
  std::string FileTransferPath;     // folder for received files
};

inline NodePolicies PoliciesFromSettings(const Settings& settings) {
  NodePolicies policies;
  policies.AllowAnyone = settings.AllowAnyone;
  policies.AutoReceiveFiles = settings.AutoReceiveFiles;
  policies.AcceptFileTransfer = settings.AcceptFileTransfer;
  policies.FileTransferPath = settings.FileTransferPath;
  return policies;
}

}  // namespace orv
