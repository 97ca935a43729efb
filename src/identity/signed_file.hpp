// Files of the user's own making signed as a whole with the private value;
// the signature goes to the file's path with ".sig" appended (1056 bytes:
// the signer's user id, e and s, every word little-endian).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "crypto/key_protection.hpp"

namespace orv {

std::string SignaturePath(const std::string& path);

// Signs the file with the record's key; false when the key is not loaded,
// the file cannot be read or is larger than kMaxProfileFileBytes, the password is wrong or the signature file
// cannot be written (then an earlier signature file stays as it was).
bool SignFile(const std::string& path, const KeyRecord& record, const uint8_t* password, size_t length);

// True exactly when the signature file holds a valid signature of the file
// under the given certificate (never for a file beyond kMaxProfileFileBytes).
bool VerifyFileSignature(const std::string& path, const Certificate& own);

}  // namespace orv
