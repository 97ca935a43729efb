// 4096-bit arithmetic: our ModExp against GMP's mpz_powm_sec and OpenSSL's
// BN_mod_exp_mont_consttime on the same operands, and the pieces it is made
// of.
#include <benchmark/benchmark.h>
#include <gmp.h>
#include <openssl/bn.h>

#include <cstdint>
#include <vector>

#include "crypto/bignum.hpp"
#include "support/seeded_words.hpp"

namespace orv {
namespace {

using test::Schoolbook;
using test::SeededWords;
using test::Words;


// A full-width odd modulus, a base below it and a full-width exponent.
struct Operands {
  Words modulus = SeededWords(kBigWords, 1);
  Words base = SeededWords(kBigWords, 2);
  Words exponent = SeededWords(kBigWords, 3);
  Operands() {
    modulus[0] |= 1;
    modulus[kBigWords - 1] |= 0x80000000;
    base[kBigWords - 1] &= 0x7fffffff;
    exponent[kBigWords - 1] |= 0x80000000;
  }
};

const Operands& TheOperands() {
  static const Operands operands;
  return operands;
}

// RAII holder for a GMP integer.
class Mpz {
 public:
  Mpz() { mpz_init(z_); }
  explicit Mpz(const Words& w) : Mpz() { mpz_import(z_, w.size(), -1, sizeof(uint32_t), 0, 0, w.data()); }
  ~Mpz() { mpz_clear(z_); }
  Mpz(const Mpz&) = delete;
  Mpz& operator=(const Mpz&) = delete;
  mpz_ptr get() { return z_; }
  Words ToWords(size_t n) const {
    Words w(n, 0);
    mpz_export(w.data(), nullptr, -1, sizeof(uint32_t), 0, 0, z_);
    return w;
  }

 private:
  mpz_t z_;
};

Words GmpPower(const Operands& o) {
  Mpz m(o.modulus), b(o.base), e(o.exponent), r;
  mpz_powm_sec(r.get(), b.get(), e.get(), m.get());
  return r.ToWords(kBigWords);
}

void BM_ModExp4096(benchmark::State& state, MontgomeryKernel kernel) {
  const Operands& o = TheOperands();
  ModExpContext c(kBigWords);
  if (!c.Montgomery().UseKernel(kernel)) {
    state.SkipWithError("kernel not available on this CPU");
    return;
  }
  Words result(kBigWords);
  ModExp(c, result.data(), o.base.data(), o.exponent.data(), o.modulus.data());  // caches the setup
  for (auto _ : state) {
    ModExp(c, result.data(), o.base.data(), o.exponent.data(), o.modulus.data());
    benchmark::DoNotOptimize(result.data());
  }
  if (GmpPower(o) != result) state.SkipWithError("result differs from GMP");
}
BENCHMARK_CAPTURE(BM_ModExp4096, mulx_adx, MontgomeryKernel::kMulxAdx)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ModExp4096, portable, MontgomeryKernel::kPortable)->Unit(benchmark::kMillisecond);

void BM_GmpPowmSec4096(benchmark::State& state) {
  const Operands& o = TheOperands();
  Mpz m(o.modulus), b(o.base), e(o.exponent), r;
  for (auto _ : state) {
    mpz_powm_sec(r.get(), b.get(), e.get(), m.get());
    benchmark::DoNotOptimize(r.get());
  }
}
BENCHMARK(BM_GmpPowmSec4096)->Unit(benchmark::kMillisecond);

// OpenSSL's constant-time exponentiation, its Montgomery set-up cached as
// ours is.
void BM_OpensslModExpConsttime4096(benchmark::State& state) {
  const Operands& o = TheOperands();
  auto to_bn = [](const Words& w) {
    std::vector<unsigned char> bytes(4 * w.size());
    for (size_t i = 0; i < w.size(); ++i)
      for (size_t j = 0; j < 4; ++j) bytes[4 * i + j] = static_cast<unsigned char>(w[i] >> (8 * j));
    return BN_lebin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr);
  };
  BIGNUM *m = to_bn(o.modulus), *b = to_bn(o.base), *e = to_bn(o.exponent), *r = BN_new();
  BN_CTX* ctx = BN_CTX_new();
  BN_MONT_CTX* mont = BN_MONT_CTX_new();
  BN_MONT_CTX_set(mont, m, ctx);
  BN_set_flags(e, BN_FLG_CONSTTIME);
  for (auto _ : state) {
    BN_mod_exp_mont_consttime(r, b, e, m, ctx, mont);
    benchmark::DoNotOptimize(r);
  }
  std::vector<unsigned char> bytes(4 * kBigWords);
  BN_bn2lebinpad(r, bytes.data(), static_cast<int>(bytes.size()));
  Words result(kBigWords);
  for (size_t i = 0; i < kBigWords; ++i)
    for (size_t j = 0; j < 4; ++j) result[i] |= uint32_t{bytes[4 * i + j]} << (8 * j);
  if (GmpPower(o) != result) state.SkipWithError("result differs from GMP");
  BN_MONT_CTX_free(mont);
  BN_CTX_free(ctx);
  for (BIGNUM* x : {m, b, e, r}) BN_free(x);
}
BENCHMARK(BM_OpensslModExpConsttime4096)->Unit(benchmark::kMillisecond);

// A new modulus every call: adds the Barrett setup and the inverse for m'.
void BM_ModExp4096NewModulus(benchmark::State& state) {
  const Operands& o = TheOperands();
  Words other = o.modulus;
  other[1] ^= 2;
  const Words* moduli[] = {&o.modulus, &other};
  ModExpContext c(kBigWords);
  Words result(kBigWords);
  size_t i = 0;
  for (auto _ : state) {
    ModExp(c, result.data(), o.base.data(), o.exponent.data(), moduli[i++ % 2]->data());
    benchmark::DoNotOptimize(result.data());
  }
}
BENCHMARK(BM_ModExp4096NewModulus)->Unit(benchmark::kMillisecond);

void BM_Multiply16(benchmark::State& state) {
  const Operands& o = TheOperands();
  Words product(32);
  for (auto _ : state) {
    BigMultiply16(product.data(), o.base.data(), o.exponent.data());
    benchmark::DoNotOptimize(product.data());
  }
}
BENCHMARK(BM_Multiply16);

void BM_Square16(benchmark::State& state) {
  const Operands& o = TheOperands();
  Words product(32);
  for (auto _ : state) {
    BigSquare16(product.data(), o.base.data());
    benchmark::DoNotOptimize(product.data());
  }
}
BENCHMARK(BM_Square16);

void BM_KaratsubaMultiply128(benchmark::State& state) {
  const Operands& o = TheOperands();
  KaratsubaChain chain(kBigWords);
  Words product(2 * kBigWords);
  for (auto _ : state) {
    KaratsubaMultiply(chain, product.data(), o.base.data(), o.exponent.data());
    benchmark::DoNotOptimize(product.data());
  }
}
BENCHMARK(BM_KaratsubaMultiply128);

void BM_KaratsubaSquare128(benchmark::State& state) {
  const Operands& o = TheOperands();
  KaratsubaChain chain(kBigWords);
  Words product(2 * kBigWords);
  for (auto _ : state) {
    KaratsubaMultiply(chain, product.data(), o.base.data(), o.base.data());
    benchmark::DoNotOptimize(product.data());
  }
}
BENCHMARK(BM_KaratsubaSquare128);

void BM_MontgomeryMultiply4096(benchmark::State& state) {
  const Operands& o = TheOperands();
  ModExpContext c(kBigWords);
  MontgomerySetup(c, o.modulus.data());
  Words a = o.base;
  for (auto _ : state) {
    MontgomeryMultiply(c, a.data(), a.data(), o.base.data());
    benchmark::DoNotOptimize(a.data());
  }
}
BENCHMARK(BM_MontgomeryMultiply4096);

void BM_ModInverse128(benchmark::State& state) {
  const Operands& o = TheOperands();
  InverseContext c(kBigWords);
  Words result(kBigWords);
  for (auto _ : state) {
    benchmark::DoNotOptimize(ModInverse(c, result.data(), o.base.data(), o.modulus.data()));
  }
}
BENCHMARK(BM_ModInverse128)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orv
