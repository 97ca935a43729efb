// How the save of a store file went: on failure, why, as an error text
// such as "Read-only file system", for the log and the person.
#pragma once

#include <cstring>
#include <string>
#include <utility>

namespace orv {

struct SaveOutcome {
  bool saved = false;
  std::string reason;  // empty when saved

  explicit operator bool() const { return saved; }
  static SaveOutcome Done() { return {true, {}}; }
  static SaveOutcome Failed(std::string why) { return {false, std::move(why)}; }
  // 0 is Done; any other error number fails with its text.
  static SaveOutcome FromError(int error) { return error == 0 ? Done() : Failed(std::strerror(error)); }
};

}  // namespace orv
