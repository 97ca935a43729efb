// The codec and sound processing of one conversation: a Speex wideband
// encoder and decoder with their 2000-byte bit buffers, the echo canceller
// and the preprocessor, and the delay line that turns what the speaker was
// given into the echo canceller's reference. The voice thread runs one step
// of these functions every 20 ms.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include <speex/speex.h>
#include <speex/speex_echo.h>
#include <speex/speex_preprocess.h>

namespace orv {

constexpr size_t kVoiceFrameSamples = 320;   // 20 ms at 16 kHz
constexpr size_t kMaxVoiceFrameBytes = 200;  // largest encoded frame
constexpr size_t kDelayLineSamples = 1920;   // 120 ms, the depth of the playback ring
constexpr int kEchoFilterBlocks = 7;

struct VoiceCodecOptions {
  // Off only to measure what the canceller achieves: the microphone then
  // reaches the preprocessor unchanged.
  bool echo_canceller = true;
};

struct SpeexDeleter {
  void operator()(SpeexEchoState* s) const { speex_echo_state_destroy(s); }
  void operator()(SpeexPreprocessState* s) const { speex_preprocess_state_destroy(s); }
};

// A SpeexBits with its own buffer, freed with it.
class OwnedSpeexBits {
 public:
  OwnedSpeexBits() { speex_bits_init(&bits_); }
  ~OwnedSpeexBits() { speex_bits_destroy(&bits_); }
  OwnedSpeexBits(const OwnedSpeexBits&) = delete;
  OwnedSpeexBits& operator=(const OwnedSpeexBits&) = delete;
  SpeexBits* get() { return &bits_; }

 private:
  SpeexBits bits_;
};

class SpeexCoderState {
 public:
  SpeexCoderState(void* state, void (*destroy)(void*)) : state_(state), destroy_(destroy) {}
  ~SpeexCoderState() {
    if (state_) destroy_(state_);
  }
  SpeexCoderState(const SpeexCoderState&) = delete;
  SpeexCoderState& operator=(const SpeexCoderState&) = delete;
  void* get() const { return state_; }

 private:
  void* state_;
  void (*destroy_)(void*);
};

struct VoiceCodec {
  SpeexCoderState encoder{speex_encoder_init(&speex_wb_mode), speex_encoder_destroy};
  SpeexCoderState decoder{speex_decoder_init(&speex_wb_mode), speex_decoder_destroy};
  OwnedSpeexBits encoder_bits;
  OwnedSpeexBits decoder_bits;
  std::unique_ptr<SpeexEchoState, SpeexDeleter> echo;
  std::unique_ptr<SpeexPreprocessState, SpeexDeleter> preprocess;
  std::array<int16_t, kVoiceFrameSamples> reference{};
  std::array<int16_t, kDelayLineSamples> delay{};
  uint32_t delay_position = 0;
  uint32_t delay_length = kDelayLineSamples;
  // What the interface thread asks for, and what the preprocessor has; the
  // voice thread brings them together before each step.
  std::atomic<int32_t> automatic_gain{1};
  int32_t applied_gain = 1;
  bool echo_canceller = true;
};

// Null when the codec library cannot make its states.
std::unique_ptr<VoiceCodec> CreateVoiceCodec(const VoiceCodecOptions& options = {});
void DestroyVoiceCodec(std::unique_ptr<VoiceCodec>& codec);

// Asks for automatic gain on or off; takes effect at the next step.
void SetAutomaticGain(VoiceCodec& codec, bool on);
// Switches the preprocessor's gain control when asked to; voice thread only.
void ApplyAutomaticGain(VoiceCodec& codec);

// Decodes one received frame into 320 samples; with no frame (or one the
// decoder refuses) conceals the gap instead.
void DecodeVoiceFrame(VoiceCodec& codec, const uint8_t* frame, size_t length, int16_t* speaker);
// Pushes the 320 samples given to the speaker through the delay line; the
// reference becomes what was given 1920 samples earlier.
void FeedDelayLine(VoiceCodec& codec, const int16_t* speaker);
// Echo cancellation of the microphone against the reference, then the
// preprocessor, into `clean`.
void CleanMicrophone(VoiceCodec& codec, const int16_t* microphone, int16_t* clean);
// Encodes 320 samples; returns the bytes written to `out` (at most 200).
size_t EncodeVoiceFrame(VoiceCodec& codec, const int16_t* clean, uint8_t* out);

}  // namespace orv
