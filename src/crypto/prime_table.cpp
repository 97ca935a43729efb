#include "crypto/prime_table.hpp"

#include "crypto/byte_order.hpp"
#include "crypto/wipe.hpp"

extern "C" const uint8_t orv_prime_table[];

namespace orv {
bool PrimeTableEntry(size_t index, uint32_t* out) {
  if (index >= kPrimeTableEntries) return false;
  LeBytesToWords(out, orv_prime_table + index * kPrimeEntryBytes, kPrimeEntryBytes / 4);
  return true;
}

void RandomSafePrime(uint32_t* destination) {
  const uint64_t o1 = WipeStep();
  const uint64_t o2 = WipeStep();
  PrimeTableEntry(static_cast<size_t>(((o2 << 32) | o1) % kPrimeTableEntries), destination);
}

}  // namespace orv
