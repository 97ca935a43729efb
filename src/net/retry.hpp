// The retry thread: one tick every 100 ms resends handshake messages and
// times handshakes out (RetryTick, declared in endpoint.hpp).
#pragma once

#include <stop_token>

namespace orv {

struct NetworkEndpoint;

// Ticks until stop is requested.
void RetryThread(NetworkEndpoint& endpoint, std::stop_token stop);

}  // namespace orv
