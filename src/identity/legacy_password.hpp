// Passwords typed as text become bytes: UTF-8 here. Key files made on the
// original platform hold a key protected under the Windows-1252 bytes of
// the same text, so a non-ASCII password that does not open a key as UTF-8
// is tried once more in that code page. New keys keep UTF-8.
#pragma once

#include <optional>

#include "crypto/key_protection.hpp"
#include "identity/password_bytes.hpp"

namespace orv {

// The Windows-1252 bytes of a UTF-8 password; none when the password is
// plain ASCII (the bytes would be the same), is not valid UTF-8, or holds a
// character the code page lacks.
std::optional<PasswordBytes> Windows1252Password(const PasswordBytes& utf8);

// True when `password` opens the key, as typed or in Windows-1252; then
// `password` holds the bytes that opened it.
bool OpenWithPassword(const KeyRecord& key, PasswordBytes& password);

}  // namespace orv
