// The masked form of the remembered password in the `Pass` key. It obscures
// the password from a glance; it does not protect it (the mask is fixed).
#pragma once

#include <string>
#include <string_view>

#include "identity/password_bytes.hpp"

namespace orv {

// 2n upper-case hex digits for the n password bytes p[0..n-1]: pair i is
// p[n-1-i] XOR (17*i mod 256), that is, the password reversed with every
// byte masked by a multiple of 17. "abc" gives "637343".
std::string EncodePass(const PasswordBytes& password);

// The inverse. n is the number of characters divided by two, rounded down.
// Returns false, leaving `out` empty, for a text with a character that is
// not a hex digit or for more bytes than a password can hold.
bool DecodePass(std::string_view text, PasswordBytes& out);

}  // namespace orv
