// Names for downloads saved without a dialog: the offered name in the
// download folder, else the name numbered " (1)", " (2)" and so on. A name
// is free when nothing on disk has it and no download of this process
// holds it. The next number to try is remembered per name, so that many
// offers of one name cost a few checks each rather than every number from
// 1 again; every number is still checked on disk before it is used.
// Guarded by the engine lock.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace orv {

// Names whose next number is remembered; beyond, the memory starts afresh
// (numbers are then tried from 1 again, which is slower but still right).
constexpr size_t kMaxRememberedNames = 1024;
// The most numbers tried for one file.
constexpr uint32_t kMaxNameNumbers = 100000;

class AutoNames {
 public:
  // The first free path for `name` in `folder`, from the number last
  // given for it on. Not held until Hold.
  std::string FreePath(const std::string& folder, const std::string& name);
  void Hold(const std::string& path) { held_.insert(path); }
  void Release(const std::string& path);

 private:
  bool Taken(const std::string& path) const;

  std::unordered_multiset<std::string> held_;
  std::unordered_map<std::string, uint32_t> next_number_;  // by the unnumbered path
};

}  // namespace orv
