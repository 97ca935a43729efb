#include "transfer/auto_names.hpp"

#include "transfer/received_name.hpp"
#include "transfer/transfer_file.hpp"

namespace orv {

bool AutoNames::Taken(const std::string& path) const { return held_.count(path) != 0 || PathTaken(path); }

std::string AutoNames::FreePath(const std::string& folder, const std::string& name) {
  const std::string plain = folder + "/" + name;
  if (!Taken(plain)) return plain;
  if (next_number_.size() >= kMaxRememberedNames && !next_number_.count(plain)) next_number_.clear();
  uint32_t& next = next_number_.try_emplace(plain, 1).first->second;
  std::string path = folder + "/" + NumberedName(name, next);
  for (uint32_t tried = 1; Taken(path) && tried < kMaxNameNumbers; ++tried) {
    next = next % kMaxNameNumbers + 1;
    path = folder + "/" + NumberedName(name, next);
  }
  next = next % kMaxNameNumbers + 1;
  return path;
}

void AutoNames::Release(const std::string& path) {
  const auto it = held_.find(path);
  if (it != held_.end()) held_.erase(it);
}

}  // namespace orv
