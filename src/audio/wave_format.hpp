// RIFF/WAVE in memory and on disk: the checks every tone and capture file
// passes (RIFF and WAVE tags, a first "fmt " chunk of 16-bit PCM, the "data"
// chunk found by walking the chunks within the RIFF length), and a writer
// for the playback files of the WAV backend.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orv {

struct WaveData {
  uint16_t channels = 0;
  uint32_t rate = 0;
  const uint8_t* data = nullptr;  // 16-bit little-endian samples, interleaved
  size_t size = 0;                // bytes
};

// Nothing when any check fails. The data chunk is cut to what the RIFF
// length and `size` hold.
std::optional<WaveData> ParseWave(const uint8_t* bytes, size_t size);

// The 44-byte header of a 16-bit PCM file with `data_bytes` of samples.
std::vector<uint8_t> WaveHeader(uint16_t channels, uint32_t rate, uint32_t data_bytes);

// A whole 16 kHz mono 16-bit file as samples; nothing (and `error` set)
// when it cannot be read or has another format.
std::optional<std::vector<int16_t>> ReadMonoWave16k(const std::string& path, std::string& error);

// Writes 16-bit PCM to a file, fixing the header's lengths on Close (and
// every second, so a file cut short by a crash still plays).
class WaveFileWriter {
 public:
  WaveFileWriter() = default;
  ~WaveFileWriter() { Close(); }
  WaveFileWriter(const WaveFileWriter&) = delete;
  WaveFileWriter& operator=(const WaveFileWriter&) = delete;

  bool Open(const std::string& path, uint16_t channels, uint32_t rate);
  void Write(const int16_t* samples, size_t count);
  void Close();
  bool is_open() const { return file_ != nullptr; }

 private:
  void FixHeader();

  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, FileCloser> file_;
  uint16_t channels_ = 1;
  uint32_t rate_ = 16000;
  uint32_t data_bytes_ = 0;
  uint32_t since_fix_ = 0;
  std::vector<uint8_t> scratch_;
};

}  // namespace orv
