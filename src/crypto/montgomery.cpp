#include "crypto/montgomery.hpp"

#include <cstring>

namespace orv {
namespace {

__extension__ typedef unsigned __int128 u128;

// All ones when x == 0, else 0, without a comparison the compiler could
// turn into a branch.
inline uint64_t MaskIfZero(uint64_t x) { return ((x | (0 - x)) >> 63) - 1; }

uint64_t SubLimbs(uint64_t* r, const uint64_t* a, const uint64_t* b, size_t n) {
  uint64_t borrow = 0;
  for (size_t i = 0; i < n; ++i) {
    const u128 d = u128{a[i]} - b[i] - borrow;
    r[i] = static_cast<uint64_t>(d);
    borrow = static_cast<uint64_t>(d >> 64) & 1;
  }
  return borrow;
}

// -m^-1 mod 2^64 for odd m0, by Newton's iteration (each step doubles the
// number of correct low bits; m0 itself is right to 3 bits).
uint64_t NegativeInverse(uint64_t m0) {
  uint64_t x = m0;
  for (int i = 0; i < 5; ++i) x *= 2 - m0 * x;
  return 0 - x;
}

bool GreaterOrEqual(const uint64_t* a, const uint64_t* b, size_t n) {
  for (size_t i = n; i-- > 0;)
    if (a[i] != b[i]) return a[i] > b[i];
  return true;
}

}  // namespace

bool MontgomeryKernelAvailable(MontgomeryKernel kernel) {
  return kernel == MontgomeryKernel::kPortable || (mont::kAddMulAdx != nullptr && mont::CpuHasMulxAdx());
}

MontgomeryContext::MontgomeryContext(size_t n)
    : n_(n),
      limbs_((n + 1) / 2),
      modulus_(limbs_),
      one_(limbs_),
      r_squared_(limbs_),
      t_(2 * limbs_),
      difference_(limbs_),
      scratch_(limbs_),
      x_(limbs_),
      y_(limbs_) {
  UseKernel(MontgomeryKernel::kMulxAdx);
}

void MontgomeryContext::Clear() {
  for (SecureLimbs* s : {&modulus_, &one_, &r_squared_, &t_, &difference_, &scratch_, &x_, &y_}) s->Wipe();
  m_inverse_ = 0;
  cached_ = false;
}

void MontgomeryContext::WipeScratch() {
  for (SecureLimbs* s : {&t_, &difference_, &scratch_, &x_, &y_}) s->Wipe();
}

bool MontgomeryContext::UseKernel(MontgomeryKernel kernel) {
  return MontgomeryKernelAvailable(kernel) && UseKernelUnchecked(kernel);
}

bool MontgomeryContext::UseKernelUnchecked(MontgomeryKernel kernel) {
  if (kernel == MontgomeryKernel::kMulxAdx && mont::kAddMulAdx == nullptr) return false;
  kernel_ = kernel;
  add_mul_ = kernel == MontgomeryKernel::kMulxAdx ? mont::kAddMulAdx : &mont::AddMulPortable;
  return true;
}

void MontgomeryContext::Load(uint64_t* limbs, const uint32_t* words) const {
  for (size_t i = 0; i < limbs_; ++i) {
    const uint64_t high = 2 * i + 1 < n_ ? words[2 * i + 1] : 0;
    limbs[i] = words[2 * i] | high << 32;
  }
}

void MontgomeryContext::Store(uint32_t* words, const uint64_t* limbs) const {
  for (size_t i = 0; i < n_; ++i) words[i] = static_cast<uint32_t>(limbs[i / 2] >> (32 * (i % 2)));
}

// x = 2x mod m for x < m (the modulus is public: plain branches).
void MontgomeryContext::DoubleModulo(uint64_t* x) {
  uint64_t top = 0;
  for (size_t i = 0; i < limbs_; ++i) {
    const uint64_t next = x[i] >> 63;
    x[i] = x[i] << 1 | top;
    top = next;
  }
  if (top || GreaterOrEqual(x, modulus_.data(), limbs_)) SubLimbs(x, x, modulus_.data(), limbs_);
}

void MontgomeryContext::Setup(const uint32_t* modulus) {
  uint64_t* m = scratch_.data();
  Load(m, modulus);
  if (cached_ && std::memcmp(m, modulus_.data(), limbs_ * sizeof *m) == 0) return;
  std::memcpy(modulus_.data(), m, limbs_ * sizeof *m);
  m_inverse_ = NegativeInverse(m[0]);
  cached_ = true;
  // R mod m: the largest power of two not above m, doubled up to R.
  const uint64_t* mod = modulus_.data();
  size_t top = limbs_;
  while (top > 1 && mod[top - 1] == 0) --top;
  size_t position = (top - 1) * 64 + (63 - static_cast<size_t>(__builtin_clzll(mod[top - 1])));
  uint64_t* one = one_.data();
  std::memset(one, 0, limbs_ * sizeof *one);
  if (position == 0) {  // m = 1: every residue is 0
    std::memset(r_squared_.data(), 0, limbs_ * sizeof *one);
    return;
  }
  one[position / 64] = uint64_t{1} << (position % 64);  // below m, which is odd
  for (; position < 64 * limbs_; ++position) DoubleModulo(one);
  // R^2 mod m: 2^64 R by doubling, then squarings: (2^j R)^2 / R = 2^2j R.
  uint64_t* r2 = r_squared_.data();
  std::memcpy(r2, one, limbs_ * sizeof *r2);
  for (int i = 0; i < 64; ++i) DoubleModulo(r2);
  for (size_t j = 64; j < 64 * limbs_; j *= 2) Sqr(r2, r2);
}

void MontgomeryContext::Reduce(uint64_t* r) {
  const size_t L = limbs_;
  uint64_t* t = t_.data();
  const uint64_t* m = modulus_.data();
  uint64_t high = 0;
  for (size_t i = 0; i < L; ++i) {
    const uint64_t carry = add_mul_(t + i, m, L, t[i] * m_inverse_);
    const u128 s = u128{t[i + L]} + carry + high;
    t[i + L] = static_cast<uint64_t>(s);
    high = static_cast<uint64_t>(s >> 64);
  }
  // high:t[L..2L) < 2m; subtract m unless that borrows past high.
  uint64_t* d = difference_.data();
  const uint64_t borrow = SubLimbs(d, t + L, m, L);
  const uint64_t keep = MaskIfZero(high | (borrow ^ 1));  // all ones: the value is below m
  for (size_t i = 0; i < L; ++i) r[i] = (t[L + i] & keep) | (d[i] & ~keep);
}

void MontgomeryContext::Mul(uint64_t* r, const uint64_t* a, const uint64_t* b) {
  const size_t L = limbs_;
  uint64_t* t = t_.data();
  std::memset(t, 0, 2 * L * sizeof *t);
  for (size_t i = 0; i < L; ++i) t[i + L] = add_mul_(t + i, a, L, b[i]);
  Reduce(r);
}

void MontgomeryContext::Sqr(uint64_t* r, const uint64_t* a) {
  const size_t L = limbs_;
  uint64_t* t = t_.data();
  std::memset(t, 0, 2 * L * sizeof *t);
  // Cross products a[i] a[j] for i < j, each once.
  for (size_t i = 0; i + 1 < L; ++i) t[i + L] = add_mul_(t + 2 * i + 1, a + i + 1, L - i - 1, a[i]);
  // Doubled, plus the squares on the diagonal.
  uint64_t shifted_out = 0, carry = 0;
  for (size_t i = 0; i < L; ++i) {
    const u128 square = u128{a[i]} * a[i];
    const uint64_t low = t[2 * i], high = t[2 * i + 1];
    const u128 s0 = u128{low << 1 | shifted_out} + static_cast<uint64_t>(square) + carry;
    const u128 s1 = u128{high << 1 | low >> 63} + static_cast<uint64_t>(square >> 64) + static_cast<uint64_t>(s0 >> 64);
    shifted_out = high >> 63;
    t[2 * i] = static_cast<uint64_t>(s0);
    t[2 * i + 1] = static_cast<uint64_t>(s1);
    carry = static_cast<uint64_t>(s1 >> 64);
  }
  Reduce(r);
}

void MontgomeryContext::FromMontgomery(uint64_t* r, const uint64_t* a) {
  const size_t L = limbs_;
  uint64_t* t = t_.data();
  std::memcpy(t, a, L * sizeof *t);
  std::memset(t + L, 0, L * sizeof *t);
  Reduce(r);
}

void MontgomeryContext::ModMultiply(uint32_t* result, const uint32_t* a, const uint32_t* b, const uint32_t* modulus) {
  Setup(modulus);
  Load(x_.data(), a);
  Load(y_.data(), b);
  Mul(x_.data(), x_.data(), y_.data());
  Mul(x_.data(), x_.data(), r_squared_.data());
  Store(result, x_.data());
}

}  // namespace orv
