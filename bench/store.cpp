// Speed of the store's files: saving and loading a network file of 1,000
// nodes, and an encrypted downloads file of 1,000 entries (and of none, for
// the cost of deriving the data-file key).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "crypto/prime_table.hpp"
#include "crypto/public_key.hpp"
#include "store/downloads.hpp"
#include "store/network_file.hpp"

namespace orv {
namespace {

constexpr uint32_t kEntries = 1000;
const std::string kPassword = "benchmark password";
const uint8_t* Pw() { return reinterpret_cast<const uint8_t*>(kPassword.data()); }

PeerRef Node(uint32_t i) {
  PeerRef p;
  for (uint32_t w = 0; w < 8; ++w) p.user_id[w] = i * 2654435761u + w + 1;
  p.ipv4 = 0x0A000000 + i;
  p.port = static_cast<uint16_t>(31265 + i % 100);
  return p;
}

struct Fixture {
  Fixture() {
    dir = std::filesystem::temp_directory_path() / ("orv-bench-store-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    uint32_t p[kNumWords], x[kNumWords];
    PrimeTableEntry(0, p);
    SignatureContext ctx;
    GenerateUserKey(ctx, record.certificate, x, p, nullptr, 0);
    ProtectPrivateKey(record, x, Pw(), kPassword.size());
    record.loaded = true;
    const FileTime now = SystemFileTime();
    for (uint32_t i = 0; i < kEntries; ++i) {
      std::lock_guard guard(store.lock);
      MergeNode(store, NodeRecord{Node(i), now - i * kFileTimeTicksPerSecond, std::nullopt});
    }
    for (uint32_t i = 0; i < kEntries; ++i)
      AddDownload(store, Node(i), "/home/user/Downloads/received file number " + std::to_string(i) + ".pdf",
                  "Sender " + std::to_string(i), now - i * kFileTimeTicksPerSecond);
    network_file = (dir / "user.xml").string();
    downloads_file = (dir / "downloads.xml").string();
  }
  ~Fixture() { std::filesystem::remove_all(dir); }
  std::filesystem::path dir;
  KeyRecord record;
  ContactStore store;
  std::string network_file;
  std::string downloads_file;
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_SaveNetworkFile1000(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) benchmark::DoNotOptimize(SaveNetworkFile(f.store, f.network_file));
}
BENCHMARK(BM_SaveNetworkFile1000)->Unit(benchmark::kMillisecond);

void BM_LoadNetworkFile1000(benchmark::State& state) {
  Fixture& f = Shared();
  SaveNetworkFile(f.store, f.network_file);
  size_t noted = 0;
  for (auto _ : state) {
    ContactStore fresh;
    const auto note = [&](const PeerRef&) { ++noted; };
    benchmark::DoNotOptimize(LoadNetworkFile(fresh, note, f.network_file, [](const std::string&) { return 0u; }));
  }
  benchmark::DoNotOptimize(noted);
}
BENCHMARK(BM_LoadNetworkFile1000)->Unit(benchmark::kMillisecond);

void BM_SaveDownloads1000(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state)
    benchmark::DoNotOptimize(SaveDownloads(f.store, f.downloads_file, f.record, Pw(), kPassword.size()));
}
BENCHMARK(BM_SaveDownloads1000)->Unit(benchmark::kMillisecond);

// The same with no entries: the cost of the key derivation alone.
void BM_SaveDownloadsEmpty(benchmark::State& state) {
  Fixture& f = Shared();
  ContactStore empty;
  const std::string path = (f.dir / "empty.xml").string();
  for (auto _ : state) benchmark::DoNotOptimize(SaveDownloads(empty, path, f.record, Pw(), kPassword.size()));
}
BENCHMARK(BM_SaveDownloadsEmpty)->Unit(benchmark::kMillisecond);

void BM_LoadDownloads1000(benchmark::State& state) {
  Fixture& f = Shared();
  SaveDownloads(f.store, f.downloads_file, f.record, Pw(), kPassword.size());
  for (auto _ : state) {
    ContactStore fresh;
    benchmark::DoNotOptimize(LoadDownloads(fresh, f.downloads_file, f.record, Pw(), kPassword.size()));
  }
}
BENCHMARK(BM_LoadDownloads1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orv
