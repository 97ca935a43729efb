#include "app/main_window/contacts_saver.hpp"

#include <thread>

#include "store/contacts.hpp"

namespace orv {

ContactsSaver::ContactsSaver(ContactStore& store, ContactsSigner& signer, Sleeper sleep)
    : store_(store), signer_(signer), sleep_(std::move(sleep)) {
  if (!sleep_) sleep_ = [](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); };
}

ContactsSaver::~ContactsSaver() { WaitForSigning(); }

void ContactsSaver::SaveContactsAndSign(const std::string& path) {
  // A file that cannot be written stays as it was; its signature is made
  // again all the same, and still matches it.
  SaveContacts(store_, path);
  if (!threads_.Launch([this, path] { SignWhenFree(path); })) SignWhenFree(path);
}

void ContactsSaver::SignWhenFree(const std::string& path) {
  std::unique_lock<std::mutex> held(save_lock_, std::try_to_lock);
  while (!held.owns_lock()) {
    sleep_(kSaveLockRetry);
    held.try_lock();
  }
  signer_.SignContactsFile(path);
}

bool ContactsSaver::SignNow(const std::string& path) {
  WaitForSigning();
  std::lock_guard<std::mutex> held(save_lock_);
  return signer_.SignContactsFile(path);
}

void ContactsSaver::WaitForSigning() { threads_.JoinAll(); }

}  // namespace orv
