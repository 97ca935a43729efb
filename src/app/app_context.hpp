// The application context: the one block of memory that holds every secret
// of the running process (the cached password, the user's key). It is its
// own page-aligned mapping, locked in physical memory so that it is never
// swapped out, excluded from core dumps, and wiped before it is released.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

#include "app/ui_port.hpp"
#include "crypto/key_protection.hpp"
#include "identity/password_cache.hpp"

namespace orv {

// What lives inside the locked region.
struct SecureState {
  std::mutex app_lock;        // guards `cache`
  PasswordCache cache;
  KeyRecord key;              // the user's key; key.loaded once a key file is loaded
};

class AppContext {
 public:
  // Maps and locks the region. When it cannot be locked, "Can't lock secure
  // data memory" is shown as a warning and the run goes on unlocked. Null
  // only when no memory could be mapped at all.
  static std::unique_ptr<AppContext> Create(UiPort& ui);
  ~AppContext();
  AppContext(const AppContext&) = delete;
  AppContext& operator=(const AppContext&) = delete;

  std::mutex& app_lock() { return state_->app_lock; }
  PasswordCache& cache() { return state_->cache; }
  KeyRecord& key() { return state_->key; }
  bool locked() const { return locked_; }

  // Overwrites the whole region with wipe generator output (the secrets'
  // end at shutdown); the context is unusable afterwards.
  void WipeSecrets();

  // The region's bytes, for checks that nothing secret remains.
  std::span<const uint8_t> region() const { return {static_cast<const uint8_t*>(base_), size_}; }

 private:
  AppContext(void* base, size_t size, bool locked);
  void* base_;
  size_t size_;
  bool locked_;
  SecureState* state_;
  bool wiped_ = false;
};

}  // namespace orv
