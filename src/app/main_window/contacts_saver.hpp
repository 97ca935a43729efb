// Saving the contacts file after every contact change, and signing it on a
// short-lived thread of its own under the contacts save lock, so that the
// interface never waits for the signature (or for the password prompt that
// signing may need).
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>

#include "app/main_window/main_window_ports.hpp"
#include "net/thread_group.hpp"
#include "store/contact_store.hpp"
#include "store/save_outcome.hpp"

namespace orv {

// A signing thread that finds the save lock taken tries again after this.
inline constexpr std::chrono::milliseconds kSaveLockRetry{500};

class ContactsSaver {
 public:
  using Sleeper = std::function<void(std::chrono::milliseconds)>;
  // `sleep` waits between tries for the save lock (tests pass their own).
  ContactsSaver(ContactStore& store, ContactsSigner& signer, Sleeper sleep = {});
  ~ContactsSaver();  // waits for the signing threads
  ContactsSaver(const ContactsSaver&) = delete;
  ContactsSaver& operator=(const ContactsSaver&) = delete;

  // Writes the contacts file, then starts a thread that takes the save lock
  // (trying every 500 ms), signs the file and releases the lock. The
  // thread reports nothing. When no thread can be made, signs here. A save
  // that fails is returned for the caller to report, and nothing is signed:
  // the file on the disk is the one that was there.
  SaveOutcome SaveContactsAndSign(const std::string& path);

  // Shutdown: waits for the signing threads, then signs the file as it
  // stands under the save lock. False when no signature was written; also
  // for a file that may not be signed as it stands (ContactsFileState).
  bool SignNow(const std::string& path);

  // Waits until no signing thread runs.
  void WaitForSigning();

  // The contacts save lock: held while the contacts file is being signed.
  std::mutex& save_lock() { return save_lock_; }

 private:
  void SignWhenFree(const std::string& path);

  ContactStore& store_;
  ContactsSigner& signer_;
  Sleeper sleep_;
  std::mutex save_lock_;
  ThreadGroup threads_;  // last: joined before the rest goes
};

}  // namespace orv
