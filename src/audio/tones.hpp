// The tones built into the program: "WAVEDIAL" (heard while calling out),
// "WAVERING" (an incoming call) and "WAVETEST" (the speaker test), found by
// name as resources are, whatever the letter case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orv {

struct ToneResource {
  const uint8_t* bytes = nullptr;  // the whole RIFF/WAVE file
  size_t size = 0;
};

// Nothing (bytes null) for an unknown name.
ToneResource FindToneResource(std::string_view name);

}  // namespace orv
