#include "net/fragment.hpp"

#include <cstring>

#include "net/datagram.hpp"

namespace orv {

bool ReassembleFragment(uint32_t type_word, const uint8_t* body, size_t b, SessionSetup& setup) {
  const uint32_t count = FragmentCountOf(type_word);
  const uint32_t index = FragmentIndexOf(type_word);
  const bool last = index + 1 == count;
  const size_t full = kFragmentBytes + 4;
  if (index >= count || count * kFragmentBytes > kMaxDatagram || b < 4 || (!last && b != full) || b > full) {
    setup.fragment_mask = 0;
    return false;
  }
  if (b > 4) std::memcpy(setup.reassembly.data() + kFragmentBytes * index, body, b - 4);
  setup.fragment_mask |= 1u << index;
  if (last) setup.reassembled_length = static_cast<uint32_t>((b - 4) + kFragmentBytes * (count - 1));
  const uint32_t all = count == 32 ? ~0u : (1u << count) - 1;
  return (setup.fragment_mask & all) == all;
}

uint64_t FragmentBytesHash(const uint8_t* bytes, size_t n) {
  uint64_t h = 0xcbf29ce484222325ULL;
  for (size_t i = 0; i < n; ++i) h = (h ^ bytes[i]) * 0x100000001b3ULL;
  return h;
}

uint64_t LastFragmentHash(const uint8_t* message, size_t length) {
  if (length == 0) return 0;
  const size_t start = (length - 1) / kFragmentBytes * kFragmentBytes;
  return FragmentBytesHash(message + start, length - start);
}

}  // namespace orv
