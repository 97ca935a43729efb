// The worker threads of the handshake: the public-key steps (and the
// password they may ask for) never run on the receive thread. One worker
// per completed message; each waits for the peer lock, fetches the
// password first, and finds out from the setup whether it still has work.
#pragma once

#include <memory>

#include "net/peer_table.hpp"

namespace orv {

struct NetworkEndpoint;

enum class WorkerKind {
  kAnswering,     // answering side: a complete session request
  kResponse,      // calling side: a complete session response
  kConfirmation,  // answering side: a complete confirmation
};

// Starts the worker for the message just completed in the peer's setup;
// until it holds the peer lock the setup counts as busy. When no thread can
// be made the message is dropped (the peer sends it again). Must hold the
// peer table lock and the peer lock.
void StartHandshakeWorker(NetworkEndpoint& endpoint, const std::shared_ptr<PeerRecord>& peer, WorkerKind kind);

}  // namespace orv
