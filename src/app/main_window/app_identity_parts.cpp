#include "app/main_window/app_identity_parts.hpp"

#include <mutex>

#include "crypto/key_protection.hpp"
#include "identity/signed_file.hpp"
#include "identity/utf16.hpp"

namespace orv {
namespace {

constexpr uint32_t kLoopback = 0x7F000001;

// The user's key record for as long as this lives; wiped when it goes.
class KeyCopy {
 public:
  explicit KeyCopy(AppContext& ctx) {
    std::lock_guard<std::mutex> lock(ctx.app_lock());
    record_ = ctx.key();
  }
  ~KeyCopy() { WipeKeyRecord(record_); }
  KeyCopy(const KeyCopy&) = delete;
  KeyCopy& operator=(const KeyCopy&) = delete;
  const KeyRecord& record() const { return record_; }

 private:
  KeyRecord record_;
};

}  // namespace

bool AppContactsSigner::SignContactsFile(const std::string& path) {
  KeyCopy key(ctx_);
  if (!key.record().loaded) return false;
  PasswordBytes password;
  if (!passwords_.GetPassword(password)) return false;
  return SignFile(path, key.record(), password.data(), password.size());
}

OwnIdentity AppOwnIdentity::Own() {
  OwnIdentity own;
  {
    std::lock_guard<std::mutex> lock(ctx_.app_lock());
    const KeyRecord& key = ctx_.key();
    own.loaded = key.loaded;
    if (own.loaded) {
      CopyUserId(own.user_id, key.certificate.user_id);
      own.name = Utf16ToUtf8(LeBytesToUtf16(key.certificate.info, key.certificate.info_length));
    }
  }
  const uint32_t external = external_ipv4_ ? external_ipv4_() : 0;
  own.external_ipv4 = external != 0 ? external : kLoopback;
  return own;
}

}  // namespace orv
