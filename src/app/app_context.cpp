#include "app/app_context.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <new>

#include "crypto/wipe.hpp"

namespace orv {
namespace {

size_t RegionSize() {
  const long page = ::sysconf(_SC_PAGESIZE);
  const size_t p = page > 0 ? static_cast<size_t>(page) : 4096;
  return (sizeof(SecureState) + p - 1) / p * p;
}

}  // namespace

std::unique_ptr<AppContext> AppContext::Create(UiPort& ui) {
  const size_t size = RegionSize();
  void* base = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return nullptr;
  ::madvise(base, size, MADV_DONTDUMP);
  const bool locked = ::mlock(base, size) == 0;
  if (!locked) ui.ShowMessage(kTitleWarning, "Can't lock secure data memory", MessageIcon::kWarning);
  return std::unique_ptr<AppContext>(new AppContext(base, size, locked));
}

AppContext::AppContext(void* base, size_t size, bool locked)
    : base_(base), size_(size), locked_(locked), state_(new (base) SecureState) {
  // A new key-holding structure starts filled with noise, not zeros.
  WipeWords(state_->key.encrypted_x, kNumWords);
}

void AppContext::WipeSecrets() {
  if (wiped_) return;
  WipeKeyRecord(state_->key);
  WipeCertificate(state_->key.certificate);
  state_->~SecureState();
  WipeBytes(base_, size_);
  WipeAdvance();
  wiped_ = true;
}

AppContext::~AppContext() {
  WipeSecrets();
  if (locked_) ::munlock(base_, size_);
  ::munmap(base_, size_);
}

}  // namespace orv
