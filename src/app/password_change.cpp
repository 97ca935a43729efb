#include "app/password_change.hpp"

#include "app/event_log.hpp"
#include "app/key_generation.hpp"
#include "crypto/key_protection.hpp"
#include "identity/key_file.hpp"
#include "identity/legacy_password.hpp"
#include "identity/utf16.hpp"

namespace orv {
namespace {

std::string CurrentInfo(const KeyRecord& key) {
  const uint16_t n = key.certificate.info_length <= kCertificateInfoBytes ? key.certificate.info_length : 0;
  return Utf16ToUtf8(LeBytesToUtf16(key.certificate.info, n));
}

// One attempt at the change; the record is changed on a copy and put in
// place only once the key file holds it. False with the reason shown.
bool ApplyChange(UiPort& ui, AppContext& ctx, const PasswordAnswer& answer, const std::string& key_file) {
  auto changed = std::make_unique<KeyRecord>(ctx.key());
  PasswordBytes old_password(answer.old_password.data(), answer.old_password.size());
  OpenWithPassword(*changed, old_password);  // a key made elsewhere may take the Windows-1252 bytes
  if (!ChangePassword(*changed, old_password.data(), old_password.size(), answer.password.data(),
                      answer.password.size())) {
    ui.ShowMessage(kTitleWarning, "Can't change password. Try again", MessageIcon::kWarning);
    return false;
  }
  std::u16string info = Utf8ToUtf16(answer.user_info);
  if (info.size() > kUserInfoChars) info.resize(kUserInfoChars);
  const std::string bytes = Utf16ToLeBytes(info);
  SetCertificateInfo(changed->certificate, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  const KeyFileWrite written = WriteKeyFile(key_file, *changed);
  if (written != KeyFileWrite::kWritten) {
    ui.ShowMessage(kTitleError, KeyFileWriteMessage(written, key_file), MessageIcon::kError);
    WipeKeyRecord(*changed);
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(ctx.app_lock());
    ctx.key() = *changed;
  }
  WipeKeyRecord(*changed);
  LogEvent("Key & Password", "Key file generated successfully. User info: " + Utf16ToUtf8(info) +
                                 ". Fingerprint: " + UserIdText(ctx.key().certificate.user_id));
  return true;
}

}  // namespace

bool RunPasswordChange(UiPort& ui, AppContext& ctx, PasswordService& passwords, const std::string& key_file) {
  for (;;) {
    PasswordRequest request;
    request.mode = PasswordMode::kChange;
    request.user_info = CurrentInfo(ctx.key());
    PasswordAnswer answer = ui.AskPassword(request);
    if (!answer.accepted) {
      LogEvent("Key & Password", "Password was not changed");
      return false;
    }
    if (const std::string_view refusal = NewPasswordRefusal(answer); !refusal.empty()) {
      ui.ShowMessage(kTitleError, refusal, MessageIcon::kError);
      continue;
    }
    if (ApplyChange(ui, ctx, answer, key_file)) {
      passwords.ReplaceCached(answer.password);
      return true;
    }
  }
}

}  // namespace orv
