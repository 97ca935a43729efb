#include "identity/key_file.hpp"

#include <cstdio>
#include <cstring>
#include <vector>

#include "crypto/byte_order.hpp"
#include "crypto/wipe.hpp"
#include "identity/replace_file.hpp"

namespace orv {
namespace {

constexpr size_t kCertOffset = 4;
constexpr size_t kValueLengthOffset = kCertOffset + kCertificateBytes;  // 2020
constexpr size_t kValueOffset = kValueLengthOffset + 4;                  // 2024
constexpr size_t kPrivateBytes = 4 * kNumWords;                          // 512
constexpr size_t kCheckOffset = kValueOffset + kPrivateBytes;            // 2536
constexpr size_t kSaltLengthOffset = kCheckOffset + 4;                   // 2540
constexpr size_t kSaltOffset = kSaltLengthOffset + 4;                    // 2544
constexpr size_t kSaltBytes = 32;

// Reads at most `limit` bytes of the file; false when it cannot be opened.
bool ReadHead(const std::string& path, std::vector<uint8_t>& out, size_t limit) {
  if (path.empty()) return false;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out.resize(limit);
  out.resize(std::fread(out.data(), 1, limit, f));
  std::fclose(f);
  return true;
}

}  // namespace

void EncodeKeyFile(uint8_t* out, const KeyRecord& record) {
  StoreLe32(out, kCertificateBytes);
  CertificateToFileForm(out + kCertOffset, record.certificate);
  StoreLe32(out + kValueLengthOffset, kPrivateBytes);
  WordsToLeBytes(out + kValueOffset, record.encrypted_x, kNumWords);
  StoreLe32(out + kCheckOffset, record.check);
  StoreLe32(out + kSaltLengthOffset, kSaltBytes);
  std::memcpy(out + kSaltOffset, record.salt, kSaltBytes);
}

bool DecodeKeyFile(KeyRecord& record, const uint8_t* image, size_t size) {
  if (size < kKeyFileBytes) return false;
  if (LoadLe32(image) != kCertificateBytes || LoadLe32(image + kValueLengthOffset) != kPrivateBytes ||
      LoadLe32(image + kSaltLengthOffset) != kSaltBytes)
    return false;
  CertificateFromFileForm(record.certificate, image + kCertOffset);
  LeBytesToWords(record.encrypted_x, image + kValueOffset, kNumWords);
  record.check = LoadLe32(image + kCheckOffset);
  std::memcpy(record.salt, image + kSaltOffset, kSaltBytes);
  return true;
}

KeyFileLoad LoadKeyFile(const std::string& path, KeyRecord& record) {
  std::vector<uint8_t> image;
  if (!ReadHead(path, image, kKeyFileBytes)) return KeyFileLoad::kCannotOpen;
  const bool decoded = DecodeKeyFile(record, image.data(), image.size());
  WipeBytes(image.data(), image.size());
  if (!decoded) return KeyFileLoad::kWrongFormat;
  record.loaded = true;
  return CheckCertificate(record.certificate) ? KeyFileLoad::kLoaded : KeyFileLoad::kBadCertificate;
}

KeyFileWrite WriteKeyFile(const std::string& path, const KeyRecord& record) {
  uint8_t image[kKeyFileBytes];
  EncodeKeyFile(image, record);
  const ReplaceResult result = ReplaceFileContent(path, image, sizeof image);
  WipeBytes(image, sizeof image);
  switch (result) {
    case ReplaceResult::kDone:
      return KeyFileWrite::kWritten;
    case ReplaceResult::kCannotOpen:
      return KeyFileWrite::kCannotOpen;
    case ReplaceResult::kShortWrite:
      break;
  }
  return KeyFileWrite::kShortWrite;
}

std::string KeyFileLoadMessage(KeyFileLoad result, const std::string& path) {
  switch (result) {
    case KeyFileLoad::kCannotOpen:
      return "Can't open key file:\n" + path + "\nDefine correct key file in settings menu";
    case KeyFileLoad::kWrongFormat:
      return "Wrong key file format\nDefine correct key file in settings menu";
    case KeyFileLoad::kBadCertificate:
      return "Certificate doesn't look OK";
    case KeyFileLoad::kLoaded:
      break;
  }
  return {};
}

std::string KeyFileWriteMessage(KeyFileWrite result, const std::string& path) {
  switch (result) {
    case KeyFileWrite::kCannotOpen:
      return "Can't open key file " + path;
    case KeyFileWrite::kShortWrite:
      return "Can't write key to file " + path;
    case KeyFileWrite::kWritten:
      break;
  }
  return {};
}

std::string UserIdText(const uint32_t* id) {
  char text[8 * 9];
  std::snprintf(text, sizeof text, "%08X %08X %08X %08X %08X %08X %08X %08X", id[0], id[1], id[2], id[3], id[4],
                id[5], id[6], id[7]);
  return text;
}

}  // namespace orv
