// The receive side of sealed datagrams: "encoded", "name_req", "name_resp".
#pragma once

#include "net/receive_context.hpp"

namespace orv {

// Opens the datagram with the peer's receive generator and hands the
// plaintext on (an "encoded" payload through `after`, to be dispatched once
// the table lock is released). Datagrams from peers without keys, and those
// that fail to open, count as dropped. Must hold the peer table lock.
void ReceiveProtected(NetworkEndpoint& endpoint, const Arrival& arrival, Aftermath& after);

}  // namespace orv
