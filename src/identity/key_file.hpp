// The key file: the user's certificate (file form) and the password-protected
// private value, 2576 bytes.
//
//   offset  size  content (integers little-endian)
//   0       4     certificate length = 2016
//   4       2016  certificate, file form (words big-endian)
//   2020    4     private value length = 512
//   2024    512   protected private value
//   2536    4     check value
//   2540    4     salt length = 32
//   2544    32    salt
// Bytes after 2576 are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "crypto/key_protection.hpp"

namespace orv {

constexpr size_t kKeyFileBytes = 2576;

enum class KeyFileLoad {
  kLoaded,         // loaded, certificate acceptable
  kBadCertificate, // loaded, but the certificate fails its checks (used all the same)
  kCannotOpen,     // "Can't open key file:\n%s\nDefine correct key file in settings menu"
  kWrongFormat,    // "Wrong key file format\nDefine correct key file in settings menu"
};

enum class KeyFileWrite {
  kWritten,
  kCannotOpen,     // "Can't open key file %s"
  kShortWrite,     // "Can't write key to file %s"
};

// Encodes the record's key into the file layout (out has kKeyFileBytes).
void EncodeKeyFile(uint8_t* out, const KeyRecord& record);

// Decodes a key file image into the record; false (record untouched) on a
// short image or a wrong length field.
bool DecodeKeyFile(KeyRecord& record, const uint8_t* image, size_t size);

// Reads the key file at path into the record. On kCannotOpen and
// kWrongFormat the record is not touched; otherwise it is loaded.
KeyFileLoad LoadKeyFile(const std::string& path, KeyRecord& record);

// Writes the record's key to path. The file is replaced only once the new
// content is complete (a temporary file beside it, then a rename).
KeyFileWrite WriteKeyFile(const std::string& path, const KeyRecord& record);

// The message a failed load or write shows, with the path filled in.
std::string KeyFileLoadMessage(KeyFileLoad result, const std::string& path);
std::string KeyFileWriteMessage(KeyFileWrite result, const std::string& path);

// "%08X %08X %08X %08X %08X %08X %08X %08X", word 0 first.
std::string UserIdText(const uint32_t* user_id);

}  // namespace orv
