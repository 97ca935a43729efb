#include "app/key_generation.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "app/event_log.hpp"
#include "crypto/byte_order.hpp"
#include "crypto/prime_table.hpp"
#include "crypto/public_key.hpp"
#include "crypto/random_pool.hpp"
#include "crypto/wipe.hpp"
#include "identity/key_file.hpp"
#include "identity/utf16.hpp"

namespace orv {
namespace {

// The clock as two 8-byte samples, stirred with every event.
void StirClock() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  uint8_t sample[16];
  StoreLe64(sample, static_cast<uint64_t>(now.tv_sec));
  StoreLe64(sample + 8, static_cast<uint64_t>(now.tv_nsec));
  RandomStir(sample, 8);
  RandomStir(sample + 8, 8);
  WipeBytes(sample, sizeof sample);
}

// Whether the key file can be created, checked before any key is drawn.
bool CanCreate(const std::string& path) {
  const std::string probe = path + ".tmp";
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return std::filesystem::exists(probe);  // a leftover temporary file is replaced later
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

std::u16string UserInfoText(const std::string& info) {
  std::u16string text = Utf8ToUtf16(info);
  if (text.size() > kUserInfoChars) text.resize(kUserInfoChars);
  return text;
}

}  // namespace

void EntropyCollector::StirEntropy(std::span<const uint8_t> sample) {
  StirClock();
  if (!sample.empty()) RandomStir(sample.data(), static_cast<uint32_t>(sample.size()));
}

uint32_t EntropyCollector::StepEntropy() {
  if (steps_ < kEntropySteps) ++steps_;
  return steps_;
}

bool GenerateKeyFile(UiPort& ui, const KeyGenerationInput& input) {
  EntropyCollector entropy;
  ui.CollectEntropy(entropy);
  const std::string& path = input.key_file;
  if (std::filesystem::exists(path) &&
      !ui.AskYesNo("Key generation", "Key file will be rewriten with new key\nDo you want to continue?",
                   MessageIcon::kQuestion))
    return false;
  if (!CanCreate(path)) {
    ui.ShowMessage(kTitleError, "Can't open key file " + path, MessageIcon::kError);
    return false;
  }
  const std::u16string info16 = UserInfoText(input.user_info);
  const std::string info = Utf16ToLeBytes(info16);
  auto record = std::make_unique<KeyRecord>();
  uint32_t p[kNumWords], x[kNumWords];
  RandomSafePrime(p);
  {
    SignatureContext ctx;
    GenerateUserKey(ctx, record->certificate, x, p, reinterpret_cast<const uint8_t*>(info.data()), info.size());
  }
  ProtectPrivateKey(*record, x, input.password.data(), input.password.size());
  WipeWords(x, kNumWords);
  for (int i = 0; i < 128; ++i) WipeStep();
  const KeyFileWrite written = WriteKeyFile(path, *record);
  const bool ok = written == KeyFileWrite::kWritten;
  if (!ok) {
    ui.ShowMessage(kTitleError, KeyFileWriteMessage(written, path), MessageIcon::kError);
  } else {
    LogEvent("Key & Password", "Key file generated successfully. User info: " + Utf16ToUtf8(info16) +
                                   ". Fingerprint: " + UserIdText(record->certificate.user_id));
  }
  WipeKeyRecord(*record);
  return ok;
}

bool RunKeyGeneration(UiPort& ui, std::string& key_file) {
  for (;;) {
    PasswordRequest request;
    request.mode = PasswordMode::kGenerate;
    request.key_file = key_file;
    PasswordAnswer answer = ui.AskPassword(request);
    if (!answer.accepted) break;
    if (const std::string_view refusal = NewPasswordRefusal(answer); !refusal.empty()) {
      ui.ShowMessage(kTitleError, refusal, MessageIcon::kError);
      continue;
    }
    KeyGenerationInput input{std::move(answer.password), answer.user_info,
                             answer.key_file.empty() ? key_file : answer.key_file};
    if (GenerateKeyFile(ui, input)) {
      key_file = input.key_file;
      return true;
    }
  }
  LogEvent("Key & Password", "Key was not generated");
  return false;
}

}  // namespace orv
