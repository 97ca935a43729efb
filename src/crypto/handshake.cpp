#include "crypto/handshake.hpp"

#include <cstring>

#include "crypto/byte_order.hpp"
#include "crypto/jacobi.hpp"
#include "crypto/prime_table.hpp"
#include "crypto/random_pool.hpp"
#include "crypto/wipe.hpp"

namespace orv {
namespace {

constexpr size_t kN = kNumWords;
constexpr size_t kValueBytes = 4 * kN;

void Copy(uint32_t* dst, const uint32_t* src) { std::memcpy(dst, src, kN * sizeof(uint32_t)); }

bool AtMostTwo(const uint32_t* v) {
  if (v[0] > 2) return false;
  for (size_t i = 1; i < kN; ++i)
    if (v[i] != 0) return false;
  return true;
}

bool IsOne(const uint32_t* v) {
  if (v[0] != 1) return false;
  for (size_t i = 1; i < kN; ++i)
    if (v[i] != 0) return false;
  return true;
}

// g is a primitive root of the safe prime p = 2q + 1 when neither g^2 nor
// g^q is 1. g^2 = 1 only for g = 1 or p - 1; g^q = 1 exactly when g is a
// square modulo the prime p, which the Jacobi symbol tells without an
// exponentiation.
bool GeneratorTest(HandshakeInitiator& init) {
  const uint32_t* g = init.g.data();
  const uint32_t* p = init.p.data();
  uint32_t* minus_one = init.generator_test.data();
  Copy(minus_one, p);
  minus_one[0] -= 1;  // p is odd
  if (IsOne(g) || BigCompare(g, minus_one, kN) == 0) return false;
  return JacobiSymbol(g, p, kN, init.generator_test.data()) == -1;
}

// D = width-128 hash over g, p, A, B; top word reduced below 2^30.
void TranscriptDigest(HandshakeCommon& ctx) {
  uint32_t* d = ctx.digest.data();
  uint64_t walk = 0;
  BlockHashUpdateWords(ctx.hash128, d, ctx.g.data(), kN, 4 * kValueBytes, &walk, true);
  BlockHashUpdateWords(ctx.hash128, d, ctx.p.data(), kN, 0, &walk, false);
  BlockHashUpdateWords(ctx.hash128, d, ctx.a_value.data(), kN, 0, &walk, false);
  BlockHashUpdateWords(ctx.hash128, d, ctx.b_value.data(), kN, 0, &walk, false);
  d[kN - 1] %= 0x40000000u;
}

// Loads both generators from the expanded secret; `initiator` picks which
// key block sends.
void LoadSessionKeys(HandshakeCommon& ctx, bool initiator) {
  SessionKeyExpand(ctx.hash36, ctx.secret.data(), ctx.key_block0, ctx.key_block1);
  ctx.secret.Wipe();
  KeystreamLoad(ctx.cipher.send, initiator ? ctx.key_block0 : ctx.key_block1);
  KeystreamLoad(ctx.cipher.receive, initiator ? ctx.key_block1 : ctx.key_block0);
  ctx.cipher.keys_loaded = 1;
  WipeWords(ctx.key_block0, kKeyBlockWords);
  WipeWords(ctx.key_block1, kKeyBlockWords);
}

// Own certificate and a signature over D, sealed for the peer.
bool SealIdentity(HandshakeCommon& ctx, uint8_t* out, const KeyRecord& record, const uint8_t* password,
                  size_t length, const SignerPowers* own_powers) {
  CertificateToBytes(ctx.message.data(), record.certificate);
  if (!SignWithPassword(ctx.signature, ctx.own_signature, ctx.digest.data(), record.certificate, record, password,
                        length, own_powers))
    return false;
  SignatureToBytes(ctx.message.data() + kCertificateBytes, ctx.own_signature);
  const size_t sealed = SealPacket(ctx.cipher.send, out, ctx.message.data(), kIdentityBytes);
  WipeBytes(ctx.message.data(), kIdentityBytes);
  WipeSignature(ctx.own_signature);
  return sealed == kConfirmBytes;
}

// Opens the peer's sealed certificate and signature and checks both: the
// certificate's structure, and that the signature recovers D exactly.
bool OpenIdentity(HandshakeCommon& ctx, const uint8_t* sealed) {
  if (!ctx.cipher.keys_loaded) return false;
  if (OpenPacket(ctx.cipher.receive, ctx.message.data(), kIdentityBytes, sealed, kConfirmBytes) != kIdentityBytes)
    return false;
  CertificateFromBytes(ctx.peer_certificate, ctx.message.data());
  SignatureFromBytes(ctx.peer_signature, ctx.message.data() + kCertificateBytes);
  WipeBytes(ctx.message.data(), kIdentityBytes);
  if (!CheckCertificate(ctx.peer_certificate)) return false;
  Verify(ctx.signature, ctx.output.data(), ctx.peer_signature, ctx.peer_certificate);
  return std::memcmp(ctx.output.data(), ctx.digest.data(), kValueBytes) == 0;
}

void Establish(HandshakeCommon& ctx) {
  std::memcpy(ctx.cipher.peer_id, ctx.peer_certificate.user_id, sizeof ctx.cipher.peer_id);
  std::memcpy(ctx.cipher.digest, ctx.digest.data(), sizeof ctx.cipher.digest);
  ctx.established = true;
}

void ReadValue(uint32_t* value, const uint8_t* bytes) { LeBytesToWords(value, bytes, kN); }
void WriteValue(uint8_t* bytes, const uint32_t* value) { WordsToLeBytes(bytes, value, kN); }

}  // namespace

HandshakeCommon::HandshakeCommon()
    : exponent(kN), p(kN), g(kN), a_value(kN), b_value(kN), digest(kN), secret(kN), output(kN), mod_exp(kN) {}

HandshakeCommon::~HandshakeCommon() { HandshakeClear(*this); }

bool ValidateGroup(const uint32_t* g, const uint32_t* v, const uint32_t* p) {
  if (AtMostTwo(g) || AtMostTwo(v)) return false;
  if ((p[kN - 1] & 0x80000000u) == 0 || (p[0] & 3) != 3) return false;
  if (BigCompare(p, g, kN) <= 0 || BigCompare(p, v, kN) <= 0) return false;
  return BigCompare(g, v, kN) != 0;
}

size_t HandshakeStart(HandshakeInitiator& init, uint8_t* out) {
  init.established = false;
  RandomSafePrime(init.p.data());
  uint32_t* g = init.g.data();
  do {
    do {
      RandomWords(g, kN);
      g[kN - 1] = (g[kN - 1] % 0x80000000u) | 0x40000000u;
    } while (AtMostTwo(g));
  } while (!GeneratorTest(init));
  RandomWords(init.exponent.data(), kN);
  ModExp(init.mod_exp, init.a_value.data(), g, init.exponent.data(), init.p.data());
  WriteValue(out, g);
  WriteValue(out + kValueBytes, init.p.data());
  WriteValue(out + 2 * kValueBytes, init.a_value.data());
  return kRequestBytes;
}

HandshakeInitiator& HandshakeClone(HandshakeInitiator& dst, const HandshakeInitiator& src) {
  Copy(dst.exponent.data(), src.exponent.data());
  Copy(dst.p.data(), src.p.data());
  Copy(dst.g.data(), src.g.data());
  Copy(dst.a_value.data(), src.a_value.data());
  dst.established = src.established;
  dst.cipher.keys_loaded = src.cipher.keys_loaded;
  return dst;
}

size_t HandshakeOnRequest(HandshakeResponder& resp, uint8_t* out, const uint8_t* body, const KeyRecord& record,
                          const uint8_t* password, size_t length, const SignerPowers* own_powers) {
  resp.established = false;
  ReadValue(resp.g.data(), body);
  ReadValue(resp.p.data(), body + kValueBytes);
  ReadValue(resp.a_value.data(), body + 2 * kValueBytes);
  if (!ValidateGroup(resp.g.data(), resp.a_value.data(), resp.p.data())) {
    HandshakeClear(resp);
    return 0;
  }
  RandomWords(resp.exponent.data(), kN);
  ModExp(resp.mod_exp, resp.b_value.data(), resp.g.data(), resp.exponent.data(), resp.p.data());
  ModExp(resp.mod_exp, resp.secret.data(), resp.a_value.data(), resp.exponent.data(), resp.p.data());
  resp.exponent.Wipe();
  LoadSessionKeys(resp, false);
  TranscriptDigest(resp);
  WriteValue(out, resp.b_value.data());
  const bool sealed = SealIdentity(resp, out + kValueBytes, record, password, length, own_powers);
  ClearSignatureContext(resp.signature);
  BlockHashWipe(resp.hash128);
  if (!sealed) {
    HandshakeClear(resp);
    return 0;
  }
  return kResponseBytes;
}

size_t HandshakeOnResponse(HandshakeInitiator& init, uint8_t* out, const uint8_t* body, const KeyRecord& record,
                           const uint8_t* password, size_t length, const SignerPowers* own_powers) {
  ReadValue(init.b_value.data(), body);
  bool ok = ValidateGroup(init.g.data(), init.b_value.data(), init.p.data());
  if (ok) {
    ModExp(init.mod_exp, init.secret.data(), init.b_value.data(), init.exponent.data(), init.p.data());
    init.exponent.Wipe();
    LoadSessionKeys(init, true);
    TranscriptDigest(init);
    std::memcpy(init.cipher.digest, init.digest.data(), sizeof init.cipher.digest);
    ok = OpenIdentity(init, body + kValueBytes) && SealIdentity(init, out, record, password, length, own_powers);
  }
  if (!ok) {
    HandshakeClear(init);
    return 0;
  }
  Establish(init);
  return kConfirmBytes;
}

int HandshakeOnConfirm(HandshakeResponder& resp, const uint8_t* body) {
  if (!resp.cipher.keys_loaded || !OpenIdentity(resp, body)) {
    HandshakeClear(resp);
    return 0;
  }
  Establish(resp);
  return 1;
}

bool HandshakeExport(HandshakeCommon& ctx, SessionCipherState& dest) {
  if (!ctx.established) {
    SessionCipherReset(dest);
    return false;
  }
  dest = ctx.cipher;
  return true;
}

void HandshakeClear(HandshakeCommon& ctx) {
  for (SecureWords* w : {&ctx.exponent, &ctx.p, &ctx.g, &ctx.a_value, &ctx.b_value, &ctx.digest, &ctx.secret,
                         &ctx.output})
    w->Wipe();
  WipeBytes(ctx.message.data(), ctx.message.size());
  WipeCertificate(ctx.peer_certificate);
  WipeSignature(ctx.peer_signature);
  WipeSignature(ctx.own_signature);
  ctx.mod_exp.Clear();
  ClearSignatureContext(ctx.signature);
  BlockHashWipe(ctx.hash36);
  BlockHashWipe(ctx.hash128);
  SessionCipherReset(ctx.cipher);
  WipeWords(ctx.key_block0, kKeyBlockWords);
  WipeWords(ctx.key_block1, kKeyBlockWords);
  ctx.established = false;
  WipeAdvance();
}

void SessionKeyExpand(BlockHashContext& hash36, const uint32_t* secret, uint32_t* key_block0, uint32_t* key_block1) {
  uint32_t h[2 * kKeyBlockWords];
  BlockHashUpdateWords(hash36, h, secret, kN, kValueBytes, nullptr, true);
  std::memcpy(key_block0, h, kKeyBlockWords * sizeof(uint32_t));
  std::memcpy(key_block1, h + kKeyBlockWords, kKeyBlockWords * sizeof(uint32_t));
  WipeWords(h, 2 * kKeyBlockWords);
  BlockHashWipe(hash36);
}

}  // namespace orv
