// Speed of signatures and of the session handshake, and of sealing and
// opening packets once a session exists.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "alloc_counter.hpp"
#include "crypto/handshake.hpp"
#include "crypto/prime_table.hpp"
#include "crypto/public_key.hpp"
#include "crypto/signer_powers.hpp"

namespace orv {
namespace {

struct Identity {
  KeyRecord record;
  std::string password;
  const uint8_t* pw() const { return reinterpret_cast<const uint8_t*>(password.data()); }
};

const Identity& MakeIdentity(size_t which) {
  static std::unique_ptr<Identity> ids[2];
  if (!ids[which]) {
    ids[which] = std::make_unique<Identity>();
    ids[which]->password = "password " + std::to_string(which);
    uint32_t p[kNumWords], x[kNumWords];
    for (size_t i = 0, seen = 0; i < kPrimeTableEntries; ++i)
      if (PrimeTableEntry(i, p) && seen++ == which) break;
    SignatureContext ctx;
    GenerateUserKey(ctx, ids[which]->record.certificate, x, p, nullptr, 0);
    ProtectPrivateKey(ids[which]->record, x, ids[which]->pw(), ids[which]->password.size());
  }
  return *ids[which];
}

// The first identity's private key, unprotected, with what a signature
// needs around it.
struct Signer {
  Signer() : id(MakeIdentity(0)) { UnprotectPrivateKey(x, id.record, id.pw(), id.password.size()); }
  const Identity& id;
  uint32_t x[kNumWords];
  SignatureContext ctx;
  Signature sig;
  uint32_t digest[kNumWords] = {1, 2, 3};
};

void BM_Sign(benchmark::State& state) {
  Signer s;
  AllocationReport report(state);
  for (auto _ : state) Sign(s.ctx, s.sig, s.digest, s.id.record.certificate, s.x);
}
BENCHMARK(BM_Sign)->Unit(benchmark::kMillisecond);

// A signature in a context cleared before each one, as the handshake signs:
// g^-1 and its comb table are computed again every time.
void BM_SignClearedContext(benchmark::State& state) {
  Signer s;
  AllocationReport report(state);
  for (auto _ : state) {
    ClearSignatureContext(s.ctx);
    Sign(s.ctx, s.sig, s.digest, s.id.record.certificate, s.x);
  }
}
BENCHMARK(BM_SignClearedContext)->Unit(benchmark::kMillisecond);

// The same with the endpoint's shared table of the signer's powers, as the
// network's handshakes sign.
void BM_SignClearedContextSharedPowers(benchmark::State& state) {
  Signer s;
  const auto powers = MakeSignerPowers(s.id.record.certificate);
  AllocationReport report(state);
  for (auto _ : state) {
    ClearSignatureContext(s.ctx);
    Sign(s.ctx, s.sig, s.digest, s.id.record.certificate, s.x, powers.get());
  }
}
BENCHMARK(BM_SignClearedContextSharedPowers)->Unit(benchmark::kMillisecond);

void BM_Verify(benchmark::State& state) {
  Signer s;
  uint32_t out[kNumWords];
  Sign(s.ctx, s.sig, s.digest, s.id.record.certificate, s.x);
  AllocationReport report(state);
  for (auto _ : state) Verify(s.ctx, out, s.sig, s.id.record.certificate);
}
BENCHMARK(BM_Verify)->Unit(benchmark::kMillisecond);

void BM_HandshakeStart(benchmark::State& state) {
  auto init = std::make_unique<HandshakeInitiator>();
  std::vector<uint8_t> request(kRequestBytes);
  AllocationReport report(state);
  for (auto _ : state) HandshakeStart(*init, request.data());
}
BENCHMARK(BM_HandshakeStart)->Unit(benchmark::kMillisecond);

// Both sides of the three messages in one process, password derivations included.
void BM_FullHandshake(benchmark::State& state) {
  const Identity& a = MakeIdentity(0);
  const Identity& b = MakeIdentity(1);
  auto init = std::make_unique<HandshakeInitiator>();
  auto resp = std::make_unique<HandshakeResponder>();
  std::vector<uint8_t> request(kRequestBytes), response(kResponseBytes), confirm(kConfirmBytes);
  for (auto _ : state) {
    HandshakeStart(*init, request.data());
    HandshakeOnRequest(*resp, response.data(), request.data(), b.record, b.pw(), b.password.size());
    HandshakeOnResponse(*init, confirm.data(), response.data(), a.record, a.pw(), a.password.size());
    if (!HandshakeOnConfirm(*resp, confirm.data())) state.SkipWithError("handshake failed");
  }
}
BENCHMARK(BM_FullHandshake)->Unit(benchmark::kMillisecond);

// The three messages as two endpoints answer them: each side signs with its
// endpoint's shared table; HandshakeStart, which an endpoint runs once for
// every peer it calls, is left out.
void BM_HandshakeMessagesSharedPowers(benchmark::State& state) {
  const Identity& a = MakeIdentity(0);
  const Identity& b = MakeIdentity(1);
  const auto a_powers = MakeSignerPowers(a.record.certificate);
  const auto b_powers = MakeSignerPowers(b.record.certificate);
  auto start = std::make_unique<HandshakeInitiator>();
  auto init = std::make_unique<HandshakeInitiator>();
  auto resp = std::make_unique<HandshakeResponder>();
  std::vector<uint8_t> request(kRequestBytes), response(kResponseBytes), confirm(kConfirmBytes);
  HandshakeStart(*start, request.data());
  for (auto _ : state) {
    HandshakeClone(*init, *start);
    HandshakeOnRequest(*resp, response.data(), request.data(), b.record, b.pw(), b.password.size(), b_powers.get());
    HandshakeOnResponse(*init, confirm.data(), response.data(), a.record, a.pw(), a.password.size(),
                        a_powers.get());
    if (!HandshakeOnConfirm(*resp, confirm.data())) state.SkipWithError("handshake failed");
  }
}
BENCHMARK(BM_HandshakeMessagesSharedPowers)->Unit(benchmark::kMillisecond);

void BM_SealAndOpen(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  KeystreamGenerator send, receive;
  uint32_t key[kKeyBlockWords] = {9, 8, 7};
  KeystreamLoad(send, key);
  KeystreamLoad(receive, key);
  std::vector<uint8_t> payload(n, 0x61), packet(n + kSealOverhead), out(n);
  AllocationReport report(state);
  for (auto _ : state) {
    SealPacket(send, packet.data(), payload.data(), n);
    if (OpenPacket(receive, out.data(), out.size(), packet.data(), packet.size()) != n) state.SkipWithError("open");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}
BENCHMARK(BM_SealAndOpen)->Arg(100)->Arg(1400)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orv
