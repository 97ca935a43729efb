// Memory-hard derivation of a 40-byte key from a password and a 32-byte salt.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

constexpr size_t kPasswordKeyBytes = 40;  // IDEA key 16, XTEA key 16, counter 8
constexpr size_t kSaltBytes = 32;

// Takes the process-wide PasswordTable lock for its whole run, so concurrent
// derivations run one after another. An empty password reads a zero byte.
void PasswordKeyDerive(const uint8_t* password, size_t length, const uint8_t* salt, uint8_t* result);

// The inverse of v modulo the derivation prime P = 0x7e012aab8b1f14f3;
// 0 maps to P, and a value whose residue is 0 or 1 maps to that residue.
uint64_t PasswordKeyInverse(uint64_t v);

// True when the process-wide table holds T[i] = i (for tests).
bool PasswordTableIsIdentity();

}  // namespace orv
