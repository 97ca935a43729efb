#include "audio/voice_codec.hpp"

namespace orv {
namespace {

void SetInt(void* state, int (*ctl)(void*, int, void*), int request, int value) { ctl(state, request, &value); }

bool ConfigureCoders(VoiceCodec& codec) {
  void* encoder = codec.encoder.get();
  void* decoder = codec.decoder.get();
  if (!encoder || !decoder) return false;
  SetInt(decoder, speex_decoder_ctl, SPEEX_SET_ENH, 1);
  SetInt(encoder, speex_encoder_ctl, SPEEX_SET_VBR, 0);
  SetInt(encoder, speex_encoder_ctl, SPEEX_SET_QUALITY, 5);
  SetInt(encoder, speex_encoder_ctl, SPEEX_SET_COMPLEXITY, 3);
  SetInt(encoder, speex_encoder_ctl, SPEEX_SET_HIGHPASS, 1);
  SetInt(decoder, speex_decoder_ctl, SPEEX_SET_HIGHPASS, 1);
  return true;
}

bool ConfigureProcessing(VoiceCodec& codec) {
  constexpr int kFrame = static_cast<int>(kVoiceFrameSamples);
  codec.echo.reset(speex_echo_state_init(kFrame, kFrame * kEchoFilterBlocks));
  codec.preprocess.reset(speex_preprocess_state_init(kFrame, 16000));
  if (!codec.echo || !codec.preprocess) return false;
  int rate = 16000;
  speex_echo_ctl(codec.echo.get(), SPEEX_ECHO_SET_SAMPLING_RATE, &rate);
  if (codec.echo_canceller)
    speex_preprocess_ctl(codec.preprocess.get(), SPEEX_PREPROCESS_SET_ECHO_STATE, codec.echo.get());
  int agc = 1;
  speex_preprocess_ctl(codec.preprocess.get(), SPEEX_PREPROCESS_SET_AGC, &agc);
  return true;
}

}  // namespace

std::unique_ptr<VoiceCodec> CreateVoiceCodec(const VoiceCodecOptions& options) {
  auto codec = std::make_unique<VoiceCodec>();
  codec->echo_canceller = options.echo_canceller;
  if (!ConfigureCoders(*codec) || !ConfigureProcessing(*codec)) return nullptr;
  return codec;
}

void DestroyVoiceCodec(std::unique_ptr<VoiceCodec>& codec) { codec.reset(); }

void SetAutomaticGain(VoiceCodec& codec, bool on) { codec.automatic_gain.store(on ? 1 : 0); }

void ApplyAutomaticGain(VoiceCodec& codec) {
  int32_t wanted = codec.automatic_gain.load();
  if (wanted == codec.applied_gain) return;
  codec.applied_gain = wanted;
  speex_preprocess_ctl(codec.preprocess.get(), SPEEX_PREPROCESS_SET_AGC, &wanted);
}

void DecodeVoiceFrame(VoiceCodec& codec, const uint8_t* frame, size_t length, int16_t* speaker) {
  SpeexBits* bits = codec.decoder_bits.get();
  if (frame && length > 0 && length <= kMaxVoiceFrameBytes) {
    speex_bits_read_from(bits, reinterpret_cast<const char*>(frame), static_cast<int>(length));
    if (speex_decode_int(codec.decoder.get(), bits, speaker) == 0) return;
  }
  speex_decode_int(codec.decoder.get(), nullptr, speaker);
}

void FeedDelayLine(VoiceCodec& codec, const int16_t* speaker) {
  for (size_t i = 0; i < kVoiceFrameSamples; ++i) {
    codec.reference[i] = codec.delay[codec.delay_position];
    codec.delay[codec.delay_position] = speaker[i];
    if (++codec.delay_position == codec.delay_length) codec.delay_position = 0;
  }
}

void CleanMicrophone(VoiceCodec& codec, const int16_t* microphone, int16_t* clean) {
  if (codec.echo_canceller) {
    speex_echo_cancellation(codec.echo.get(), microphone, codec.reference.data(), clean);
  } else {
    for (size_t i = 0; i < kVoiceFrameSamples; ++i) clean[i] = microphone[i];
  }
  speex_preprocess_run(codec.preprocess.get(), clean);
}

size_t EncodeVoiceFrame(VoiceCodec& codec, const int16_t* clean, uint8_t* out) {
  SpeexBits* bits = codec.encoder_bits.get();
  speex_bits_reset(bits);
  int frame_size = 0;
  speex_encoder_ctl(codec.encoder.get(), SPEEX_GET_FRAME_SIZE, &frame_size);
  if (frame_size <= 0 || frame_size > static_cast<int>(kVoiceFrameSamples)) frame_size = kVoiceFrameSamples;
  float input[kVoiceFrameSamples];
  for (int i = 0; i < frame_size; ++i) input[i] = clean[i];
  speex_encode(codec.encoder.get(), input, bits);
  const int n = speex_bits_write(bits, reinterpret_cast<char*>(out), static_cast<int>(kMaxVoiceFrameBytes));
  return n > 0 ? static_cast<size_t>(n) : 0;
}

}  // namespace orv
