// The arithmetic contexts allocate their buffers when they are made and
// never during a computation. This file replaces the global operator new
// of the test program with one that counts calls, so that a test can check
// that a whole exponentiation (with a new modulus, hence the Barrett setup
// and the inverse too) allocates nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "crypto/bignum.hpp"
#include "crypto/fixed_base.hpp"

namespace {
std::atomic<long> g_allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  void* p = std::malloc(size != 0 ? size : 1);
  if (p == nullptr) std::abort();
  return p;
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace orv {
namespace {

TEST(BigNumAllocation, ComputationsAllocateNothing) {
  const size_t n = 32;
  std::vector<uint32_t> modulus(n, 0x9e3779b9), other(n, 0x7f4a7c15), base(n, 0x12345678),
      exponent(n, 0xfedcba98), result(n), product(2 * n);
  modulus[0] |= 1;
  other[0] |= 1;
  ModExpContext c(n);
  KaratsubaChain chain(n);
  InverseContext inverse(n);
  FixedBaseTable table(n);

  long before = g_allocations.load();
  ModExp(c, result.data(), base.data(), exponent.data(), modulus.data());
  ModExp(c, result.data(), base.data(), exponent.data(), other.data());
  MontgomeryMultiply(c, result.data(), result.data(), base.data());
  KaratsubaMultiply(chain, product.data(), base.data(), exponent.data());
  ModInverse(inverse, result.data(), base.data(), modulus.data());
  ModExpProduct(c, result.data(), base.data(), exponent.data(), exponent.data(), base.data(), other.data());
  c.Montgomery().ModMultiply(result.data(), base.data(), exponent.data(), modulus.data());
  table.Build(c.Montgomery(), base.data(), modulus.data());
  table.Power(c.Montgomery(), result.data(), exponent.data());
  EXPECT_EQ(g_allocations.load(), before);
}

}  // namespace
}  // namespace orv
