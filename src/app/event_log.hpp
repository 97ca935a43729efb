// The event log and packet trace of the whole process. Every subsystem
// reports events as a source and a message with LogEvent; the network layer
// traces every datagram and protected payload into the log file. Events go
// to the list (a LogSink), to the log file while `EnableLog` is set, and to
// an echo stream when one is given. Nothing is logged while no log exists:
// before CreateLog and after CloseLog every call here does nothing.
//
// The log is one of the few process-wide singletons. It is held by a
// shared pointer that is swapped under a mutex: a call that races with
// CloseLog either finds the log (and finishes with it, the object staying
// alive until then) or finds none; it never meets a freed one.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/log_format.hpp"
#include "app/log_state.hpp"
#include "settings/settings.hpp"

namespace orv {

// Creates the log (the "Log" window's creation) and opens the log file as
// `settings` says (ReopenLog). A log that exists already is closed first.
void CreateLog(LogOptions options, const Settings& settings);

// Closes the log file when open (end line), and opens `Log` again when
// `EnableLog` is set (start line). When it cannot be opened, "Can't create
// log file" is shown as a warning and the list goes on alone. Also takes
// `LogSize`. Called after the settings dialog changed the log settings.
void ReopenLog(const Settings& settings);

// Takes a new `LogSize` without reopening the file.
void SetLogSize(int32_t megabytes);

// Ends the log: end line, file closed; later calls find no log.
void CloseLog();

// The one logging call, from any thread. `source` is a short label such as
// "Main", "Network", "Key & Password", "File Transfer", "Find" or "upnp".
void LogEvent(std::string_view source, std::string_view message);

// One line per datagram, into the file only: direction, the peer's IPv4
// address (host order) and port, its UserId (eight words; nothing is written
// when null), the datagram type (bits 0-7 of the type word) and the size.
// Rotates the file to ".bak" once it exceeds `LogSize` megabytes.
void TracePacket(TraceDirection direction, uint32_t ipv4, uint16_t port, const uint32_t* user_id, uint32_t type,
                 int32_t size);

// One line per protected payload, into the file only: two 32-bit words.
void TraceData(TraceDirection direction, const uint32_t* words);

// A line written as it stands (no time stamp), into the file only: the
// address updates of the peer table.
void TraceAddressUpdate(std::string_view text);

// True while the log file is open (callers may skip building trace texts).
bool LogFileOpen();

}  // namespace orv
