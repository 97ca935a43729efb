#include "crypto/prime_table.hpp"

#include "crypto/byte_order.hpp"
#include "crypto/wipe.hpp"

extern "C" const uint8_t orv_prime_table[];

namespace orv {
namespace {

bool Present(size_t index) {
  const uint8_t* entry = orv_prime_table + index * kPrimeEntryBytes;
  return (entry[kPrimeEntryBytes - 1] & 0x80) != 0;  // every prime has its top bit set
}

}  // namespace

bool PrimeTableEntry(size_t index, uint32_t* out) {
  if (index >= kPrimeTableEntries || !Present(index)) return false;
  LeBytesToWords(out, orv_prime_table + index * kPrimeEntryBytes, kPrimeEntryBytes / 4);
  return true;
}

size_t PrimeTableCount() {
  size_t count = 0;
  for (size_t i = 0; i < kPrimeTableEntries; ++i) count += Present(i) ? 1 : 0;
  return count;
}

void RandomSafePrime(uint32_t* destination) {
  const uint64_t o1 = WipeStep();
  const uint64_t o2 = WipeStep();
  size_t index = static_cast<size_t>(((o2 << 32) | o1) % kPrimeTableEntries);
  // An entry the table does not carry is never handed out: the next one
  // that it carries is taken instead.
  for (size_t tries = 0; tries < kPrimeTableEntries && !Present(index); ++tries)
    index = (index + 1) % kPrimeTableEntries;
  PrimeTableEntry(index, destination);
}

}  // namespace orv
