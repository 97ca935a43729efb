#include "crypto/public_key.hpp"

#include <cstring>

#include "crypto/block_hash.hpp"
#include "crypto/random_pool.hpp"
#include "crypto/wipe.hpp"

namespace orv {
namespace {

constexpr size_t kN = kNumWords;
constexpr uint32_t kTopWordLimit = 0x40000000u;

void Copy(uint32_t* dst, const uint32_t* src, size_t n) { std::memcpy(dst, src, n * sizeof(uint32_t)); }

// remainder = value (n words) mod divisor (n words), both copied first since
// the division clobbers its inputs.
void Mod(SignatureContext& ctx, uint32_t* remainder, const uint32_t* value, const uint32_t* divisor, size_t n) {
  Copy(ctx.dividend.data(), value, n);
  Copy(ctx.divisor.data(), divisor, n);
  BigDivide(ctx.quotient.data(), remainder, ctx.dividend.data(), ctx.divisor.data(), n);
}

// v = v - q when v >= q, for v of n words, without a branch on v.
void SubtractIfNotBelow(uint32_t* v, uint32_t* scratch, const uint32_t* q, size_t n) {
  const uint32_t borrow = BigSub(scratch, v, q, n);
  const uint32_t keep = 0u - borrow;  // all ones: v < q, keep it
  for (size_t i = 0; i < n; ++i) v[i] = (v[i] & keep) | (scratch[i] & ~keep);
}

// r = v mod q for v < 2q + 1 = p, without a branch on v.
void ReduceBelowQ(SignatureContext& ctx, uint32_t* r, const uint32_t* v) {
  Copy(r, v, kN);
  SubtractIfNotBelow(r, ctx.dividend.data(), ctx.q.data(), kN);
  SubtractIfNotBelow(r, ctx.dividend.data(), ctx.q.data(), kN);
}

// s = (k - t) mod q for k, t < q, without a branch on either.
void SubtractModQ(SignatureContext& ctx, uint32_t* s, const uint32_t* k, const uint32_t* t) {
  const uint32_t borrow = BigSub(s, k, t, kN);
  uint32_t* masked_q = ctx.dividend.data();
  const uint32_t mask = 0u - borrow;
  for (size_t i = 0; i < kN; ++i) masked_q[i] = ctx.q[i] & mask;
  BigAdd(s, s, masked_q, kN);
}

void HalfOf(uint32_t* q, const uint32_t* p) {
  Copy(q, p, kN);
  BigShiftRight1(q, kN);
}

bool AtMostTwo(const uint32_t* v) {
  if (v[0] > 2) return false;
  for (size_t i = 1; i < kN; ++i)
    if (v[i] != 0) return false;
  return true;
}

void WipeScratch(SignatureContext& ctx) {
  for (SecureWords* w : {&ctx.q, &ctx.k, &ctx.t, &ctx.product, &ctx.quotient, &ctx.dividend, &ctx.divisor}) w->Wipe();
}

}  // namespace

SignatureContext::SignatureContext()
    : mod_exp(kN),
      mod_q(kN),
      inverse(kN),
      g_inverse(kN),
      g_inverse_table(kN),
      q(kN),
      k(kN),
      t(2 * kN),
      product(2 * kN),
      quotient(2 * kN),
      dividend(2 * kN),
      divisor(2 * kN),
      comb_scratch(2 * mod_exp.Montgomery().Limbs()) {}

SignatureContext::~SignatureContext() { ClearSignatureContext(*this); }

void ClearSignatureContext(SignatureContext& ctx) {
  ctx.mod_exp.Clear();
  ctx.mod_q.Clear();
  ctx.inverse.Clear();
  ctx.g_inverse.Wipe();
  ctx.g_inverse_table.Clear();
  WipeWords(ctx.cached_id, kUserIdWords);
  ctx.inverse_cached = false;
  WipeScratch(ctx);
  ctx.comb_scratch.Wipe();
  WipeAdvance();
}

void GenerateUserKey(SignatureContext& ctx, Certificate& cert, uint32_t* x, const uint32_t* p, const uint8_t* info,
                     size_t info_length) {
  Copy(cert.p, p, kN);
  do {
    RandomWords(ctx.k.data(), kN);
    BigMultiply(ctx.product.data(), ctx.k.data(), ctx.k.data(), kN);
    std::memcpy(ctx.divisor.data(), p, kN * sizeof(uint32_t));
    std::memset(ctx.divisor.data() + kN, 0, kN * sizeof(uint32_t));
    BigDivide(ctx.quotient.data(), ctx.t.data(), ctx.product.data(), ctx.divisor.data(), 2 * kN);
    Copy(cert.g, ctx.t.data(), kN);
  } while (AtMostTwo(cert.g));
  RandomWords(x, kN);
  x[kN - 1] &= 0x3fffffffu;
  ModExp(ctx.mod_exp, cert.y, cert.g, x, cert.p);
  Fingerprint(cert.user_id, cert.g, cert.y, cert.p);
  ClearSignatureContext(ctx);
  SetCertificateInfo(cert, info, info_length);
}

// The signing steps that touch k, r, t and x run in constant time: the
// comb power, Montgomery products, and masked reductions modulo q.
void Sign(SignatureContext& ctx, Signature& sig, uint32_t* digest, const Certificate& signer, const uint32_t* x,
          const SignerPowers* powers) {
  MontgomeryContext& mod_p = ctx.mod_exp.Montgomery();
  const bool shared = powers != nullptr && powers->Serves(signer);
  if (!shared && (!ctx.inverse_cached || std::memcmp(ctx.cached_id, signer.user_id, sizeof ctx.cached_id) != 0)) {
    Copy(ctx.cached_id, signer.user_id, kUserIdWords);
    ModInverse(ctx.inverse, ctx.g_inverse.data(), signer.g, signer.p);
    ctx.g_inverse_table.Build(mod_p, ctx.g_inverse.data(), signer.p);
    ctx.inverse_cached = true;
  }
  HalfOf(ctx.q.data(), signer.p);
  RandomWords(ctx.k.data(), kN);
  ctx.k[kN - 1] %= kTopWordLimit;
  uint32_t* r = ctx.t.data() + kN;  // upper half of the 256-word scratch
  if (shared) {
    powers->Power(mod_p, r, ctx.k.data(), ctx.comb_scratch.data());
    ctx.comb_scratch.Wipe();
  } else {
    mod_p.Setup(signer.p);
    ctx.g_inverse_table.Power(mod_p, r, ctx.k.data());
  }
  digest[kN - 1] %= kTopWordLimit;
  mod_p.ModMultiply(sig.e, r, digest, signer.p);
  uint32_t* e_mod_q = sig.s;  // s is built in place
  ReduceBelowQ(ctx, e_mod_q, sig.e);
  uint32_t t[kN];
  ctx.mod_q.ModMultiply(t, e_mod_q, x, ctx.q.data());
  SubtractModQ(ctx, sig.s, ctx.k.data(), t);
  Copy(sig.user_id, signer.user_id, kUserIdWords);
  WipeWords(t, kN);
  mod_p.WipeScratch();
  ctx.mod_q.WipeScratch();  // held x and e'x
  WipeScratch(ctx);
  WipeAdvance();
}

// g^s y^e' in one pass of squarings; every input is public.
void Verify(SignatureContext& ctx, uint32_t* output, const Signature& sig, const Certificate& signer) {
  HalfOf(ctx.q.data(), signer.p);
  uint32_t e_mod_q[kN], w[kN];
  Mod(ctx, e_mod_q, sig.e, ctx.q.data(), kN);
  ModExpProduct(ctx.mod_exp, w, signer.g, sig.s, signer.y, e_mod_q, signer.p);
  ctx.mod_exp.Montgomery().ModMultiply(output, w, sig.e, signer.p);
  WipeScratch(ctx);
}

int SignWithPassword(SignatureContext& ctx, Signature& sig, uint32_t* digest, const Certificate& signer,
                     const KeyRecord& record, const uint8_t* password, size_t length, const SignerPowers* powers) {
  uint32_t x[kN];
  const int ok = UnprotectPrivateKey(x, record, password, length);
  if (ok) Sign(ctx, sig, digest, signer, x, powers);
  WipeWords(x, kN);
  WipeAdvance();
  return ok;
}

void SignedDataDigest(uint32_t* digest, const uint8_t* data, size_t length) {
  BlockHashContext ctx(kN);
  BlockHashUpdate(ctx, digest, data, length, static_cast<uint32_t>(length), nullptr, true);
  digest[kN - 1] %= kTopWordLimit;
}

int SignData(Signature& sig, const KeyRecord& record, const uint8_t* password, size_t length, const uint8_t* data,
             size_t data_length) {
  uint32_t digest[kN];
  SignedDataDigest(digest, data, data_length);
  SignatureContext ctx;
  const int ok = SignWithPassword(ctx, sig, digest, record.certificate, record, password, length);
  WipeWords(digest, kN);
  return ok;
}

int VerifyData(const Signature& sig, const Certificate& cert, const uint8_t* data, size_t data_length) {
  if (!CheckCertificate(cert)) return 1;
  if (std::memcmp(sig.user_id, cert.user_id, sizeof sig.user_id) != 0) return 2;
  uint32_t digest[kN], output[kN];
  SignedDataDigest(digest, data, data_length);
  SignatureContext ctx;
  Verify(ctx, output, sig, cert);
  return std::memcmp(output, digest, sizeof digest) == 0 ? 0 : 3;
}

}  // namespace orv
