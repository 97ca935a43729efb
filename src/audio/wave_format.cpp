#include "audio/wave_format.hpp"

#include <cstring>
#include <fstream>
#include <iterator>

#include "crypto/byte_order.hpp"

namespace orv {
namespace {

uint16_t LoadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void StoreLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

bool HasTag(const uint8_t* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

constexpr size_t kChunkHeader = 8;
constexpr size_t kPcmFormatBytes = 16;

}  // namespace

std::optional<WaveData> ParseWave(const uint8_t* bytes, size_t size) {
  if (!bytes || size < 12 + kChunkHeader + kPcmFormatBytes) return std::nullopt;
  if (!HasTag(bytes, "RIFF") || !HasTag(bytes + 8, "WAVE")) return std::nullopt;
  // The chunks end where the RIFF length says, but never past the buffer.
  const size_t riff_end = std::min<size_t>(size, 8 + static_cast<size_t>(LoadLe32(bytes + 4)));
  const uint8_t* fmt = bytes + 12;
  const uint32_t fmt_size = LoadLe32(fmt + 4);
  if (!HasTag(fmt, "fmt ") || fmt_size < kPcmFormatBytes || 12 + kChunkHeader + fmt_size > riff_end)
    return std::nullopt;
  WaveData wave;
  const uint16_t format_tag = LoadLe16(fmt + 8);
  wave.channels = LoadLe16(fmt + 10);
  wave.rate = LoadLe32(fmt + 12);
  const uint16_t bits = LoadLe16(fmt + 22);
  if (format_tag != 1 || bits != 16 || wave.channels == 0 || wave.rate == 0) return std::nullopt;
  size_t at = 12 + kChunkHeader + fmt_size + (fmt_size & 1);
  while (at + kChunkHeader <= riff_end) {
    const uint32_t chunk_size = LoadLe32(bytes + at + 4);
    const size_t body = at + kChunkHeader;
    if (HasTag(bytes + at, "data")) {
      wave.data = bytes + body;
      wave.size = std::min<size_t>(chunk_size, riff_end - body);
      return wave;
    }
    if (chunk_size > riff_end - body) break;
    at = body + chunk_size + (chunk_size & 1);
  }
  return std::nullopt;
}

std::vector<uint8_t> WaveHeader(uint16_t channels, uint32_t rate, uint32_t data_bytes) {
  std::vector<uint8_t> h(44, 0);
  std::memcpy(h.data(), "RIFF", 4);
  StoreLe32(h.data() + 4, 36 + data_bytes);
  std::memcpy(h.data() + 8, "WAVEfmt ", 8);
  StoreLe32(h.data() + 16, 16);
  StoreLe16(h.data() + 20, 1);
  StoreLe16(h.data() + 22, channels);
  StoreLe32(h.data() + 24, rate);
  StoreLe32(h.data() + 28, rate * channels * 2);
  StoreLe16(h.data() + 32, static_cast<uint16_t>(channels * 2));
  StoreLe16(h.data() + 34, 16);
  std::memcpy(h.data() + 36, "data", 4);
  StoreLe32(h.data() + 40, data_bytes);
  return h;
}

std::optional<std::vector<int16_t>> ReadMonoWave16k(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return std::nullopt;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto wave = ParseWave(bytes.data(), bytes.size());
  if (!wave || wave->channels != 1 || wave->rate != 16000) {
    error = path + " is not a 16 kHz mono 16-bit PCM WAV file";
    return std::nullopt;
  }
  std::vector<int16_t> samples(wave->size / 2);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(LoadLe16(wave->data + 2 * i));
  return samples;
}

bool WaveFileWriter::Open(const std::string& path, uint16_t channels, uint32_t rate) {
  Close();
  file_.reset(std::fopen(path.c_str(), "wb"));
  if (!file_) return false;
  channels_ = channels;
  rate_ = rate;
  data_bytes_ = 0;
  since_fix_ = 0;
  FixHeader();
  return true;
}

void WaveFileWriter::Write(const int16_t* samples, size_t count) {
  if (!file_) return;
  scratch_.resize(count * 2);
  for (size_t i = 0; i < count; ++i) StoreLe16(scratch_.data() + 2 * i, static_cast<uint16_t>(samples[i]));
  std::fwrite(scratch_.data(), 1, scratch_.size(), file_.get());
  data_bytes_ += static_cast<uint32_t>(scratch_.size());
  since_fix_ += static_cast<uint32_t>(count);
  if (since_fix_ >= rate_ * channels_) {
    since_fix_ = 0;
    FixHeader();
    std::fseek(file_.get(), 0, SEEK_END);
  }
}

void WaveFileWriter::FixHeader() {
  const std::vector<uint8_t> header = WaveHeader(channels_, rate_, data_bytes_);
  std::fseek(file_.get(), 0, SEEK_SET);
  std::fwrite(header.data(), 1, header.size(), file_.get());
  std::fflush(file_.get());
}

void WaveFileWriter::Close() {
  if (!file_) return;
  FixHeader();
  file_.reset();
}

}  // namespace orv
