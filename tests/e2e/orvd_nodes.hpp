// Profiles, command lines and `orvd ctl` runs shared by the end-to-end
// tests: nodes that let the system pick their port, with UPnP off and a
// password file of their own.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "orvd_process.hpp"
#include "support/temp_dir.hpp"

namespace orv::test {

// A profile `dir/name` whose settings are the port of the system's choice,
// no UPnP and `extra_settings` (more INI lines); its password file is
// `dir/name.pw`.
inline std::string Profile(const TempDir& dir, const std::string& name, const std::string& extra_settings = {}) {
  const std::string profile = dir / name;
  std::filesystem::create_directories(profile);
  WriteWholeFile(profile + "/orv.set", "[Network]\nLocalPort=0\nEnableUPnP=0\n" + extra_settings);
  WriteWholeFile(dir / (name + ".pw"), "password of " + name + "\n");
  return profile;
}

inline std::vector<std::string> NodeArgs(const TempDir& dir, const std::string& name,
                                         const std::string& extra_settings = {}) {
  return {ORVD_PATH, "--profile", Profile(dir, name, extra_settings), "--password-file", dir / (name + ".pw"),
          "--name", name};
}

struct CtlResult {
  int status = -1;
  std::string output;
};

// One `orvd ctl` run to its end.
inline CtlResult Ctl(const std::string& profile, const std::vector<std::string>& words) {
  std::vector<std::string> args = {ORVD_PATH, "ctl", "--profile", profile, "--timeout", "60"};
  args.insert(args.end(), words.begin(), words.end());
  OrvdProcess ctl(args);
  CtlResult result;
  result.status = ctl.WaitExit(std::chrono::seconds(90));
  result.output = ctl.output();
  return result;
}

// The value of `key=` in a line of fields (values here are single words).
inline std::string FieldOf(const std::string& line, const std::string& key) {
  const size_t at = line.find(" " + key + "=");
  if (at == std::string::npos) return {};
  const size_t begin = at + key.size() + 2;
  return line.substr(begin, line.find_first_of(" \n", begin) - begin);
}

}  // namespace orv::test
