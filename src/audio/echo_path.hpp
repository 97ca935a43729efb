// A loudspeaker-to-microphone path for the WAV backend: what the playback
// device plays comes back into the capture device after a delay and an
// attenuation, added to what the capture file says (the near-end talker).
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace orv {

class EchoPath {
 public:
  EchoPath(uint32_t delay_samples, double gain);
  // Samples just played (16 kHz mono).
  void Played(const int16_t* samples, size_t count);
  // Adds the echo due now to `samples`, saturating.
  void AddEcho(int16_t* samples, size_t count);

 private:
  std::mutex mutex_;
  std::vector<int16_t> fifo_;  // ring; holds `delay` samples ahead of the microphone
  size_t head_ = 0;
  size_t size_ = 0;
  int32_t gain_q15_;
};

}  // namespace orv
