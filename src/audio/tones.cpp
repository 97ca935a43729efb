#include "audio/tones.hpp"

#include <cctype>

extern "C" {
extern const uint8_t orv_tone_dial[], orv_tone_dial_end[];
extern const uint8_t orv_tone_ring[], orv_tone_ring_end[];
extern const uint8_t orv_tone_test[], orv_tone_test_end[];
}

namespace orv {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

ToneResource Span(const uint8_t* begin, const uint8_t* end) {
  return ToneResource{begin, static_cast<size_t>(end - begin)};
}

}  // namespace

ToneResource FindToneResource(std::string_view name) {
  if (SameName(name, "WAVEDIAL")) return Span(orv_tone_dial, orv_tone_dial_end);
  if (SameName(name, "WAVERING")) return Span(orv_tone_ring, orv_tone_ring_end);
  if (SameName(name, "WAVETEST")) return Span(orv_tone_test, orv_tone_test_end);
  return {};
}

}  // namespace orv
