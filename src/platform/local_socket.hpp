// Local (Unix domain) stream sockets named by a file in a folder. A name
// too long for a socket address is reached through the folder's descriptor
// (/proc/self/fd/N/name), so that any folder serves.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "platform/unique_fd.hpp"

namespace orv {

// A listening socket at dir/name; a file left there by an earlier owner is
// removed first (the caller holds the lock that makes the name its own).
UniqueFd ListenLocal(const std::string& dir, const std::string& name);

// A socket connected to dir/name; invalid when nobody listens there.
UniqueFd ConnectLocal(const std::string& dir, const std::string& name);

// Writes all of `data`; false on any error.
bool SendAll(int fd, std::string_view data);

// Reads what arrives within `timeout`, up to `limit` bytes or the first
// "\n" (kept). Empty on time-out or error.
std::string ReceiveLine(int fd, size_t limit, std::chrono::milliseconds timeout);

// True when the peer of a connected local socket runs as this process's user.
bool PeerIsSameUser(int fd);

}  // namespace orv
