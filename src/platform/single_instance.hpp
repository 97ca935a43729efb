// One copy of the telephone per identity. The first copy started with a
// key holds an exclusive lock (flock) on a file named by its UserId in the
// runtime folder, for as long as it runs, and listens on a local socket
// beside it. A second copy with the same key finds the lock taken, asks the
// first over that socket to show its main window, and ends. Copies with
// different keys take different files and run side by side. The kernel
// drops the lock when a process ends, however it ends, so a file left by a
// copy that died does not keep the next one out.
//
// File names: "orv-" followed by the UserId text ("%08X %08X ...", word 0
// first) with the blanks written as "-", then ".lock" for the lock and
// ".sock" for the socket, e.g. orv-0123ABCD-...-89ABCDEF.lock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/unique_fd.hpp"

namespace orv {

// "orv-XXXXXXXX-XXXXXXXX-XXXXXXXX-XXXXXXXX-XXXXXXXX-XXXXXXXX-XXXXXXXX-XXXXXXXX"
// for the eight words of `user_id`.
std::string InstanceFileStem(const uint32_t* user_id);

// What the running copy does when another copy asks it to show its main
// window. Called on the lock's own listener thread: it should only post
// the work to the interface thread.
using ShowWindowRequest = std::function<void()>;

struct InstanceClaim;

// Held by the running copy for its whole lifetime. Destruction stops the
// listener, removes the socket file and releases the lock (the lock file
// itself stays: removing it could let two copies lock two different files).
class InstanceLock {
 public:
  InstanceLock() = default;  // holds nothing until ClaimInstance fills it
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  const std::string& lock_path() const { return lock_path_; }

 private:
  friend InstanceClaim ClaimInstance(const std::string&, const uint32_t*, ShowWindowRequest);
  bool Listen(const std::string& dir, const std::string& name, ShowWindowRequest on_show);
  void Serve(const ShowWindowRequest& on_show);

  std::string lock_path_;
  std::string socket_path_;
  UniqueFd lock_;
  UniqueFd listener_;
  UniqueFd stop_read_;
  UniqueFd stop_write_;
  std::thread thread_;
};

enum class InstanceClaimState {
  kFirst,      // this copy holds the lock
  kOtherRuns,  // another copy with the same UserId holds it
  kFailed,     // the lock file could not be made or locked
};

struct InstanceClaim {
  InstanceClaimState state = InstanceClaimState::kFailed;
  std::unique_ptr<InstanceLock> lock;  // set for kFirst
};

// Takes the lock of `user_id` in the folder `dir` (see RuntimeDirectory).
// For kFirst, `on_show` is called each time another copy asks. A copy
// whose socket cannot be set up still holds the lock and runs; it only
// cannot be asked to show itself.
InstanceClaim ClaimInstance(const std::string& dir, const uint32_t* user_id, ShowWindowRequest on_show);

// Asks the copy that holds the lock of `user_id` in `dir` to show its main
// window. True once it has confirmed. Waits at most about three seconds
// (the first copy may still be setting its socket up).
bool AskOtherCopyToShow(const std::string& dir, const uint32_t* user_id);

}  // namespace orv
