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

}  // namespace orv
