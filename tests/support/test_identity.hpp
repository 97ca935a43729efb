// Identities generated once per test program and shared by the tests that
// need a key pair (generation costs an exponentiation and a derivation).
#pragma once

#include <memory>
#include <string>

#include "crypto/key_protection.hpp"
#include "crypto/prime_table.hpp"
#include "crypto/public_key.hpp"

namespace orv::test {

struct TestIdentity {
  KeyRecord record;
  std::string password;
  const uint8_t* pw() const { return reinterpret_cast<const uint8_t*>(password.data()); }
};

// User info is UTF-16LE text.
inline std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xff);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

inline std::unique_ptr<TestIdentity> MakeIdentity(const std::u16string& user, const std::string& password,
                                                  size_t prime) {
  const std::string name = Utf16Le(user);
  auto id = std::make_unique<TestIdentity>();
  id->password = password;
  uint32_t p[kNumWords], x[kNumWords];
  PrimeTableEntry(prime, p);
  SignatureContext ctx;
  GenerateUserKey(ctx, id->record.certificate, x, p, reinterpret_cast<const uint8_t*>(name.data()), name.size());
  ProtectPrivateKey(id->record, x, id->pw(), password.size());
  id->record.loaded = true;
  return id;
}

inline const TestIdentity& Alice() {
  static const auto id = MakeIdentity(u"Alice", "alice's password", 0);
  return *id;
}

inline const TestIdentity& Bob() {
  static const auto id = MakeIdentity(u"Bob", "bob's password", 1);
  return *id;
}

inline const TestIdentity& Carol() {
  static const auto id = MakeIdentity(u"Carol", "carol's password", 2);
  return *id;
}

}  // namespace orv::test
