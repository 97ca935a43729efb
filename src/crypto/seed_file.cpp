// Keeps the random pool across runs in the seed file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

#include "crypto/byte_order.hpp"
#include "crypto/random_pool.hpp"
#include "crypto/tea_hash.hpp"
#include "crypto/wipe.hpp"

namespace orv {
namespace {

struct SeedPath {
  std::mutex lock;
  std::string path = "seed.bin";
};

SeedPath& Seed() {
  static SeedPath seed;
  return seed;
}

void LoadSeed(const std::string& path, uint8_t* buffer) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return;
  const size_t got = std::fread(buffer, 1, kPoolBytes, f);
  std::fclose(f);
  (void)got;  // a short file still stirs the whole buffer
  RandomStir(buffer, kPoolBytes);
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Writes a temporary file beside the seed file and renames it over the old
// one, so that a crash mid-write never leaves a truncated seed. The seed is
// the random pool's state: the file is the user's alone (0600 whatever the
// umask, also when a temporary file was left by an earlier run).
void SaveSeed(const std::string& path) {
  uint8_t bytes[kPoolBytes];
  RandomPoolSnapshot(bytes);
  const std::string temp = path + ".tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd >= 0) {
    const bool written = ::fchmod(fd, 0600) == 0 && WriteAll(fd, bytes, sizeof bytes);
    const bool closed = ::close(fd) == 0;
    if (!(written && closed) || std::rename(temp.c_str(), path.c_str()) != 0) ::unlink(temp.c_str());
  }
  WipeBytes(bytes, sizeof bytes);
}

// The wipe generator's new state: TeaHash64 of the clock, chained from the
// generator's current state.
void SeedWipeGenerator() {
  uint8_t clock_bytes[8];
  StoreLe64(clock_bytes, static_cast<uint64_t>(static_cast<int64_t>(std::time(nullptr))));
  const uint64_t x = WipeState();
  uint32_t h[2] = {static_cast<uint32_t>(x), static_cast<uint32_t>(x >> 32)};
  TeaHash64(h, clock_bytes, sizeof clock_bytes);
  SetWipeState((static_cast<uint64_t>(h[1]) << 32) | h[0]);
}

}  // namespace

void SeedFileRefresh(const std::string& new_path) {
  std::string path;
  {
    SeedPath& seed = Seed();
    std::lock_guard<std::mutex> lock(seed.lock);
    if (!new_path.empty()) seed.path = new_path;
    path = seed.path;
  }
  uint8_t buffer[kPoolBytes] = {};
  LoadSeed(path, buffer);
  RandomReseed();
  SaveSeed(path);
  SeedWipeGenerator();
  WipeBytes(buffer, sizeof buffer);
  WipeAdvance();
}

}  // namespace orv
