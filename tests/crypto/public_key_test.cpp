#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "crypto/bignum.hpp"
#include "crypto/block_hash.hpp"
#include "crypto/certificate.hpp"
#include "crypto/mod_inverse.hpp"
#include "crypto/modexp.hpp"
#include "crypto/public_key.hpp"
#include "crypto/signer_powers.hpp"
#include "support/test_identity.hpp"

namespace orv {
namespace {

using test::Alice;
using test::Bob;

std::vector<uint32_t> Words(const uint32_t* w, size_t n = kNumWords) { return {w, w + n}; }

TEST(GenerateUserKey, ProducesAnAcceptableCertificate) {
  const Certificate& cert = Alice().record.certificate;
  EXPECT_EQ(CheckCertificate(cert), 1);
  EXPECT_EQ(cert.info_length, 10);
  EXPECT_EQ(cert.info[0], 'A');
  uint32_t id[kUserIdWords];
  Fingerprint(id, cert.g, cert.y, cert.p);
  EXPECT_EQ(Words(id, 8), Words(cert.user_id, 8));
}

TEST(Certificate, FileAndMemoryFormsRoundTrip) {
  const Certificate& cert = Alice().record.certificate;
  std::vector<uint8_t> file(kCertificateBytes), memory(kCertificateBytes);
  EXPECT_EQ(CertificateToFileForm(file.data(), cert), 2016u);
  EXPECT_EQ(CertificateToBytes(memory.data(), cert), 2016u);
  EXPECT_EQ(file[0], 0);   // length big-endian in the file
  EXPECT_EQ(file[1], 10);
  EXPECT_EQ(memory[0], 10);  // little-endian in memory
  EXPECT_EQ(file[448], static_cast<uint8_t>(cert.user_id[0] >> 24));
  EXPECT_EQ(memory[448], static_cast<uint8_t>(cert.user_id[0]));
  Certificate back_file, back_memory;
  CertificateFromFileForm(back_file, file.data());
  CertificateFromBytes(back_memory, memory.data());
  for (const Certificate* c : {&back_file, &back_memory}) {
    EXPECT_EQ(std::memcmp(c->info, cert.info, sizeof cert.info), 0);
    EXPECT_EQ(c->info_length, cert.info_length);
    EXPECT_EQ(Words(c->y), Words(cert.y));
    EXPECT_EQ(CheckCertificate(*c), 1);
  }
}

TEST(CheckCertificate, EachStructuralFaultIsRejected) {
  struct Fault {
    const char* name;
    std::function<void(Certificate&)> apply;
    bool refingerprint;  // recompute the user id so that the fault itself is what fails
  };
  const Fault faults[] = {
      {"user id", [](Certificate& c) { c.user_id[3] ^= 1; }, false},
      {"info length 447", [](Certificate& c) { c.info_length = 447; }, true},
      {"byte after info", [](Certificate& c) { c.info[c.info_length + 5] = 1; }, true},
      {"g = 2", [](Certificate& c) { std::memset(c.g, 0, sizeof c.g); c.g[0] = 2; }, true},
      {"g = p", [](Certificate& c) { std::memcpy(c.g, c.p, sizeof c.g); }, true},
      {"y = 0", [](Certificate& c) { std::memset(c.y, 0, sizeof c.y); }, true},
      {"y > p", [](Certificate& c) { std::memcpy(c.y, c.p, sizeof c.y); c.y[0] += 2; }, true},
      {"g = y", [](Certificate& c) { std::memcpy(c.y, c.g, sizeof c.y); }, true},
      {"p without top bit", [](Certificate& c) { c.p[kNumWords - 1] &= 0x7fffffff; }, true},
      {"p even", [](Certificate& c) { c.p[0] &= ~1u; }, true},
      {"p = 1 mod 4", [](Certificate& c) { c.p[0] &= ~2u; }, true},
  };
  for (const auto& f : faults) {
    Certificate c = Alice().record.certificate;
    f.apply(c);
    if (f.refingerprint) Fingerprint(c.user_id, c.g, c.y, c.p);
    EXPECT_EQ(CheckCertificate(c), 0) << f.name;
  }
}

TEST(Sign, FreshNonceEachTimeBothVerify) {
  const auto& alice = Alice();
  SignatureContext ctx;
  uint32_t digest[kNumWords];
  for (uint32_t i = 0; i < kNumWords; ++i) digest[i] = 0xfedcba98u - i;  // top word above 2^30
  uint32_t expected[kNumWords];
  std::memcpy(expected, digest, sizeof digest);
  expected[kNumWords - 1] %= 0x40000000u;

  Signature s1, s2;
  uint32_t d1[kNumWords], d2[kNumWords];
  std::memcpy(d1, digest, sizeof d1);
  std::memcpy(d2, digest, sizeof d2);
  ASSERT_EQ(SignWithPassword(ctx, s1, d1, alice.record.certificate, alice.record, alice.pw(), alice.password.size()),
            1);
  ASSERT_EQ(SignWithPassword(ctx, s2, d2, alice.record.certificate, alice.record, alice.pw(), alice.password.size()),
            1);
  EXPECT_EQ(Words(d1), Words(expected));  // reduced in place
  EXPECT_NE(Words(s1.e), Words(s2.e));
  EXPECT_EQ(Words(s1.user_id, 8), Words(alice.record.certificate.user_id, 8));

  SignatureContext verifier;
  uint32_t out[kNumWords];
  for (const Signature* s : {&s1, &s2}) {
    Verify(verifier, out, *s, alice.record.certificate);
    EXPECT_EQ(Words(out), Words(expected));
  }
  // Under another certificate the signature recovers something else.
  Verify(verifier, out, s1, Bob().record.certificate);
  EXPECT_NE(Words(out), Words(expected));
}

// The shared table gives exactly the powers of g^-1 that a plain
// exponentiation gives, and only for the certificate it was built for.
TEST(SignerPowers, PowersOfTheInverseGenerator) {
  const Certificate& cert = Alice().record.certificate;
  const auto powers = MakeSignerPowers(cert);
  EXPECT_TRUE(powers->Serves(cert));
  EXPECT_FALSE(powers->Serves(Bob().record.certificate));

  uint32_t g_inverse[kNumWords];
  InverseContext inverse(kNumWords);
  ASSERT_EQ(ModInverse(inverse, g_inverse, cert.g, cert.p), 1);
  std::vector<uint32_t> random(kNumWords), zero(kNumWords, 0), ones(kNumWords, 0xffffffffu), top(kNumWords, 0);
  for (uint32_t i = 0; i < kNumWords; ++i) random[i] = 0x9e3779b9u * (i + 1);
  top[kNumWords - 1] = 0x80000000u;
  ModExpContext mod_exp(kNumWords);
  MontgomeryContext mont(kNumWords);
  std::vector<uint64_t> scratch(2 * powers->Limbs());
  for (const auto& e : {random, zero, ones, top}) {
    uint32_t expected[kNumWords], got[kNumWords];
    ModExp(mod_exp, expected, g_inverse, e.data(), cert.p);
    powers->Power(mont, got, e.data(), scratch.data());
    EXPECT_EQ(Words(got), Words(expected));
  }
}

// Signatures made with a shared table verify, from several threads at
// once; a table built for another certificate is not used.
TEST(Sign, SharedPowersSign) {
  const auto& alice = Alice();
  const Certificate& cert = alice.record.certificate;
  const auto own = MakeSignerPowers(cert);
  const auto other = MakeSignerPowers(Bob().record.certificate);
  const auto sign_and_verify = [&](const SignerPowers* powers, bool* ok) {
    SignatureContext ctx;
    Signature sig;
    uint32_t digest[kNumWords], out[kNumWords];
    for (uint32_t i = 0; i < kNumWords; ++i) digest[i] = 0x01234567u + i;
    *ok = SignWithPassword(ctx, sig, digest, cert, alice.record, alice.pw(), alice.password.size(), powers) == 1;
    *ok = *ok && ctx.inverse_cached == (powers != own.get());  // the shared table leaves the own cache alone
    SignatureContext verifier;
    Verify(verifier, out, sig, cert);
    *ok = *ok && std::memcmp(out, digest, sizeof out) == 0;
  };
  bool ok1 = false, ok2 = false, ok_other = false;
  std::thread t1(sign_and_verify, own.get(), &ok1);
  std::thread t2(sign_and_verify, own.get(), &ok2);
  t1.join();
  t2.join();
  sign_and_verify(other.get(), &ok_other);
  EXPECT_TRUE(ok1);
  EXPECT_TRUE(ok2);
  EXPECT_TRUE(ok_other);
}

TEST(SignWithPassword, WrongPasswordFails) {
  const auto& alice = Alice();
  SignatureContext ctx;
  Signature sig;
  uint32_t digest[kNumWords] = {1, 2, 3};
  EXPECT_EQ(SignWithPassword(ctx, sig, digest, alice.record.certificate, alice.record,
                             reinterpret_cast<const uint8_t*>("wrong"), 5),
            0);
}

TEST(VerifyData, Results) {
  const auto& alice = Alice();
  const std::string text = "<likes><user id=\"1\"/></likes>";
  const auto* data = reinterpret_cast<const uint8_t*>(text.data());
  Signature sig;
  ASSERT_EQ(SignData(sig, alice.record, alice.pw(), alice.password.size(), data, text.size()), 1);
  EXPECT_EQ(VerifyData(sig, alice.record.certificate, data, text.size()), 0);

  std::string changed = text;
  changed[3] = 'L';
  EXPECT_EQ(VerifyData(sig, alice.record.certificate, reinterpret_cast<const uint8_t*>(changed.data()), text.size()),
            3);
  EXPECT_EQ(VerifyData(sig, Bob().record.certificate, data, text.size()), 2);
  Certificate broken = alice.record.certificate;
  broken.p[0] ^= 2;
  EXPECT_EQ(VerifyData(sig, broken, data, text.size()), 1);
  EXPECT_EQ(SignData(sig, alice.record, reinterpret_cast<const uint8_t*>("x"), 1, data, text.size()), 0);
}

TEST(WipeRecords, CertificateAndSignatureAreOverwritten) {
  Certificate c = Alice().record.certificate;
  WipeCertificate(c);
  EXPECT_EQ(c.info_length, kCertificateInfoBytes);
  EXPECT_NE(Words(c.p), Words(Alice().record.certificate.p));
  EXPECT_EQ(CheckCertificate(c), 0);
  Signature s;
  WipeSignature(s);
  EXPECT_NE(Words(s.e), std::vector<uint32_t>(kNumWords, 0));
}

}  // namespace
}  // namespace orv
