#include "crypto/montgomery_kernels.hpp"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace orv::mont {
namespace {

__extension__ typedef unsigned __int128 u128;

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

// Eight limbs per step: mulx leaves the flags alone, adcx carries the high
// halves of the products into the next limb (CF) and adox adds r (OF), so
// the two chains run side by side; lea and jrcxz keep both flags intact
// around the loop.
uint64_t AddMulAdx(uint64_t* r, const uint64_t* a, size_t n, uint64_t b) {
  uint64_t carry = 0, lo, h1;
  size_t count = n & 7;
  asm volatile(
      "xorl %k[lo], %k[lo]\n\t"
      // Single limbs until the rest is whole blocks of eight.
      "3:\n\t"
      "jrcxz 4f\n\t"
      "mulxq 0(%[a]), %[lo], %[h1]\n\t"
      "adcxq %[h0], %[lo]\n\t"
      "adoxq 0(%[r]), %[lo]\n\t"
      "movq %[lo], 0(%[r])\n\t"
      "movq %[h1], %[h0]\n\t"
      "leaq 8(%[a]), %[a]\n\t"
      "leaq 8(%[r]), %[r]\n\t"
      "leaq -1(%[n]), %[n]\n\t"
      "jmp 3b\n"
      "4:\n\t"
      "movq %[blocks], %[n]\n\t"
      "jrcxz 5f\n\t"  // jrcxz reaches only short distances
      "jmp 1f\n"
      "5:\n\t"
      "jmp 2f\n"
      "1:\n\t"
      "mulxq 0(%[a]), %[lo], %[h1]\n\t"
      "adcxq %[h0], %[lo]\n\t"
      "adoxq 0(%[r]), %[lo]\n\t"
      "movq %[lo], 0(%[r])\n\t"
      "mulxq 8(%[a]), %[lo], %[h0]\n\t"
      "adcxq %[h1], %[lo]\n\t"
      "adoxq 8(%[r]), %[lo]\n\t"
      "movq %[lo], 8(%[r])\n\t"
      "mulxq 16(%[a]), %[lo], %[h1]\n\t"
      "adcxq %[h0], %[lo]\n\t"
      "adoxq 16(%[r]), %[lo]\n\t"
      "movq %[lo], 16(%[r])\n\t"
      "mulxq 24(%[a]), %[lo], %[h0]\n\t"
      "adcxq %[h1], %[lo]\n\t"
      "adoxq 24(%[r]), %[lo]\n\t"
      "movq %[lo], 24(%[r])\n\t"
      "mulxq 32(%[a]), %[lo], %[h1]\n\t"
      "adcxq %[h0], %[lo]\n\t"
      "adoxq 32(%[r]), %[lo]\n\t"
      "movq %[lo], 32(%[r])\n\t"
      "mulxq 40(%[a]), %[lo], %[h0]\n\t"
      "adcxq %[h1], %[lo]\n\t"
      "adoxq 40(%[r]), %[lo]\n\t"
      "movq %[lo], 40(%[r])\n\t"
      "mulxq 48(%[a]), %[lo], %[h1]\n\t"
      "adcxq %[h0], %[lo]\n\t"
      "adoxq 48(%[r]), %[lo]\n\t"
      "movq %[lo], 48(%[r])\n\t"
      "mulxq 56(%[a]), %[lo], %[h0]\n\t"
      "adcxq %[h1], %[lo]\n\t"
      "adoxq 56(%[r]), %[lo]\n\t"
      "movq %[lo], 56(%[r])\n\t"
      "leaq 64(%[a]), %[a]\n\t"
      "leaq 64(%[r]), %[r]\n\t"
      "leaq -1(%[n]), %[n]\n\t"
      "jrcxz 2f\n\t"
      "jmp 1b\n"
      "2:\n\t"
      "movl $0, %k[lo]\n\t"
      "adcxq %[lo], %[h0]\n\t"
      "adoxq %[lo], %[h0]\n\t"
      : [h0] "+&r"(carry), [h1] "=&r"(h1), [lo] "=&r"(lo), [a] "+&r"(a), [r] "+&r"(r), [n] "+&c"(count)
      : "d"(b), [blocks] "r"(n >> 3)
      : "cc", "memory");
  return carry;
}

#define ORV_HAVE_ADX_KERNEL 1
#endif

}  // namespace

uint64_t AddMulPortable(uint64_t* r, const uint64_t* a, size_t n, uint64_t b) {
  uint64_t carry = 0;
  for (size_t i = 0; i < n; ++i) {
    const u128 s = u128{a[i]} * b + r[i] + carry;
    r[i] = static_cast<uint64_t>(s);
    carry = static_cast<uint64_t>(s >> 64);
  }
  return carry;
}

#ifdef ORV_HAVE_ADX_KERNEL
const AddMulFn kAddMulAdx = &AddMulAdx;
// CPUID leaf 7: EBX bit 8 is BMI2 (mulx), bit 19 is ADX (adcx, adox).
bool CpuHasMulxAdx() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  return (b >> 8 & 1) && (b >> 19 & 1);
}
#else
const AddMulFn kAddMulAdx = nullptr;
bool CpuHasMulxAdx() { return false; }
#endif

}  // namespace orv::mont
