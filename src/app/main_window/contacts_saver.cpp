#include "app/main_window/contacts_saver.hpp"

#include <thread>

#include "store/contacts.hpp"

namespace orv {

ContactsSaver::ContactsSaver(ContactStore& store, ContactsSigner& signer, Sleeper sleep)
    : store_(store), signer_(signer), sleep_(std::move(sleep)) {
  if (!sleep_) sleep_ = [](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); };
}

ContactsSaver::~ContactsSaver() { WaitForSigning(); }

SaveOutcome ContactsSaver::SaveContactsAndSign(const std::string& path) {
  SaveOutcome outcome = SaveContacts(store_, path);
  if (!outcome) return outcome;
  if (!threads_.Launch([this, path] { SignWhenFree(path); })) SignWhenFree(path);
  return outcome;
}

void ContactsSaver::SignWhenFree(const std::string& path) {
  std::unique_lock<std::mutex> held(save_lock_, std::try_to_lock);
  while (!held.owns_lock()) {
    sleep_(kSaveLockRetry);
    held.try_lock();
  }
  if (ContactsFileMayBeSigned(store_)) signer_.SignContactsFile(path);
}

bool ContactsSaver::SignNow(const std::string& path) {
  WaitForSigning();
  std::lock_guard<std::mutex> held(save_lock_);
  return ContactsFileMayBeSigned(store_) && signer_.SignContactsFile(path);
}

void ContactsSaver::WaitForSigning() { threads_.JoinAll(); }

}  // namespace orv
