// Making a new identity: the "PasswordGen" prompt (password twice, user
// info, key file name), entropy collected from the person's input, a key
// pair drawn, protected with the password and written to the key file. The
// new key is written only; it takes effect when the key file is next loaded.
#pragma once

#include <cstdint>
#include <string>

#include "app/ui_port.hpp"
#include "identity/password_bytes.hpp"

namespace orv {

constexpr size_t kUserInfoChars = 222;

// Stirs every sample into the random pool and counts events up to
// kEntropySteps.
class EntropyCollector final : public EntropySink {
 public:
  void StirEntropy(std::span<const uint8_t> sample) override;
  uint32_t StepEntropy() override;
  uint32_t steps() const { return steps_; }

 private:
  uint32_t steps_ = 0;
};

struct KeyGenerationInput {
  PasswordBytes password;
  std::string user_info;  // UTF-8; at most 222 characters are taken
  std::string key_file;
};

// Collects entropy, asks before overwriting an existing file, draws the key
// pair and writes the key file. True when the file was written; otherwise
// the reason was shown through the port.
bool GenerateKeyFile(UiPort& ui, const KeyGenerationInput& input);

// The whole prompt: asks until a key file is written (true) or the person
// cancels (false, logged "Key was not generated"). `key_file` is the path
// offered and, on success, the path written.
bool RunKeyGeneration(UiPort& ui, std::string& key_file);

}  // namespace orv
