// Montgomery arithmetic on 64-bit limbs modulo an odd m of n 32-bit words
// (L = ceil(n / 2) limbs, R = 2^64L; for even n that is 2^32n). Values in
// Montgomery form are xR mod m; Mul(xR, yR) = xyR mod m. Products are
// schoolbook rows, squares add each cross product once and double, and the
// reduction runs limb by limb with -m^-1 mod 2^64. None of it branches on,
// or picks an address by, the values it multiplies: only the modulus and
// the width steer it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/montgomery_kernels.hpp"
#include "crypto/secure_limbs.hpp"

namespace orv {

// Which form of the inner loop a context runs.
enum class MontgomeryKernel { kPortable, kMulxAdx };

// True when this build and CPU can run the kernel.
bool MontgomeryKernelAvailable(MontgomeryKernel kernel);

class MontgomeryContext {
 public:
  // A context for moduli of n words (n >= 1). It runs the mulx/adcx/adox
  // kernel when the CPU has it.
  explicit MontgomeryContext(size_t n);
  ~MontgomeryContext() { Clear(); }
  MontgomeryContext(MontgomeryContext&&) noexcept = default;
  MontgomeryContext& operator=(MontgomeryContext&&) noexcept = default;
  MontgomeryContext(const MontgomeryContext&) = delete;
  MontgomeryContext& operator=(const MontgomeryContext&) = delete;

  // Overwrites every buffer with wipe generator output and forgets the modulus.
  void Clear();
  // Overwrites the working buffers (products, operands), keeping the
  // modulus set-up: nothing of the last operands stays behind.
  void WipeScratch();

  // Chooses the kernel; false (and no change) when it is not available.
  bool UseKernel(MontgomeryKernel kernel);
  MontgomeryKernel Kernel() const { return kernel_; }
  // Chooses the kernel without asking CPUID, for a caller that knows the
  // host better (valgrind hides ADX from the programs it runs, yet runs
  // the instructions). False only when this build has no such kernel.
  bool UseKernelUnchecked(MontgomeryKernel kernel);

  size_t Words() const { return n_; }
  size_t Limbs() const { return limbs_; }

  // Makes m (odd, n words) the modulus; nothing is done when it is the one
  // already set. Computes -m^-1 mod 2^64, R mod m and R^2 mod m.
  void Setup(const uint32_t* modulus);

  // r = a * b / R mod m for a * b < mR (so any a < R with b < m); the result
  // is fully reduced. r may alias a or b.
  void Mul(uint64_t* r, const uint64_t* a, const uint64_t* b);
  // r = a^2 / R mod m; the same as Mul(r, a, a). r may alias a.
  void Sqr(uint64_t* r, const uint64_t* a);
  // r = aR mod m for any a < R.
  void ToMontgomery(uint64_t* r, const uint64_t* a) { Mul(r, a, r_squared_.data()); }
  // r = a / R mod m: leaves Montgomery form.
  void FromMontgomery(uint64_t* r, const uint64_t* a);

  // R mod m: the Montgomery form of 1.
  const uint64_t* One() const { return one_.data(); }
  const uint64_t* Modulus() const { return modulus_.data(); }

  // result = a * b mod m (n words each, a * b < mR, which holds for a, b < m
  // and for a < m with any b): two Montgomery products, the second by R^2.
  // Sets m up first. result may alias a or b.
  void ModMultiply(uint32_t* result, const uint32_t* a, const uint32_t* b, const uint32_t* modulus);

  // n words <-> L limbs (the top half-limb is 0 for odd n).
  void Load(uint64_t* limbs, const uint32_t* words) const;
  void Store(uint32_t* words, const uint64_t* limbs) const;

 private:
  void Reduce(uint64_t* r);  // r = t / R mod m, t the 2L-limb product
  void DoubleModulo(uint64_t* x);

  size_t n_ = 0;
  size_t limbs_ = 0;
  bool cached_ = false;
  uint64_t m_inverse_ = 0;  // -m^-1 mod 2^64
  MontgomeryKernel kernel_ = MontgomeryKernel::kPortable;
  mont::AddMulFn add_mul_ = &mont::AddMulPortable;
  SecureLimbs modulus_, one_, r_squared_;
  SecureLimbs t_;           // product, 2L limbs
  SecureLimbs difference_;  // L limbs
  SecureLimbs scratch_;     // L limbs
  SecureLimbs x_, y_;       // operands of ModMultiply, L limbs each
};

}  // namespace orv
