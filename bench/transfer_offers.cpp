// What an incoming request costs the receiver when many are held: the
// answer to a repeated request among N transfers (found by peer and
// identifier, not by walking the list), and an automatically received file
// whose name is taken N times already (the next number is remembered, not
// tried from 1). Both should stay flat as N grows.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "crypto/byte_order.hpp"
#include "support/temp_dir.hpp"
#include "transfer/file_transfer_engine.hpp"

namespace orv {
namespace {

class DiscardingSender : public PayloadSender {
 public:
  int32_t SendPayload(PeerRef&, uint32_t, const uint8_t*, uint32_t length) override {
    return static_cast<int32_t>(length);
  }
};

PeerRef Peer(uint32_t i) {
  PeerRef p;
  p.user_id[0] = i + 1;
  p.ipv4 = 0x7f000001;
  p.port = 40000;
  return p;
}

std::vector<uint8_t> Message(uint8_t code, uint32_t id, uint64_t number, std::u16string_view name = {},
                             std::string_view data = {}) {
  std::vector<uint8_t> m(kMessageHeaderBytes);
  StoreMessageHeader(m.data(), code, id, number);
  for (char16_t c : name) m.insert(m.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
  m.insert(m.end(), data.begin(), data.end());
  return m;
}

struct Receiver {
  explicit Receiver(bool auto_receive) {
    TransferServices services;
    services.sender = &sender;
    services.settings = [this, auto_receive] {
      TransferSettings s;
      s.AutoReceiveFiles = auto_receive;
      s.FileTransferPath = folder.path();
      return s;
    };
    FileTransferConfig config;
    config.transfer_thread = false;
    engine = std::make_unique<FileTransferEngine>(services, config);
  }
  void Receive(const std::vector<uint8_t>& m, const PeerRef& from) {
    engine->HandleFileMessage(m.data(), m.size(), from, true);
  }
  // A one-byte file named "same.txt" from a peer of its own, received whole.
  void ReceiveOneByteFile(uint32_t n) {
    Receive(Message(kFileRequest, n, 1, u"same.txt"), Peer(n));
    Receive(Message(kFileBlock, n, 0, {}, "z"), Peer(n));
  }

  test::TempDir folder;
  DiscardingSender sender;
  std::unique_ptr<FileTransferEngine> engine;
};

void BM_RepeatedRequestAmongTransfers(benchmark::State& state) {
  const auto held = static_cast<uint32_t>(state.range(0));
  Receiver r(false);
  for (uint32_t i = 0; i < held; ++i) r.Receive(Message(kFileRequest, 7, 1000, u"x.bin"), Peer(i));
  const std::vector<uint8_t> repeat = Message(kFileRequest, 7, 1000, u"x.bin");
  const PeerRef last = Peer(held - 1);
  for (auto _ : state) r.Receive(repeat, last);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_RepeatedRequestAmongTransfers)->Arg(10)->Arg(1000)->Arg(10000);

void BM_AutoReceivedFileOfATakenName(benchmark::State& state) {
  const auto taken = static_cast<uint32_t>(state.range(0));
  Receiver r(true);
  uint32_t n = 0;
  for (; n < taken; ++n) r.ReceiveOneByteFile(n);
  for (auto _ : state) r.ReceiveOneByteFile(n++);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_AutoReceivedFileOfATakenName)->Arg(10)->Arg(2000)->Arg(8000)->Iterations(200);

}  // namespace
}  // namespace orv
