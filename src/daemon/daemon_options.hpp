// Command line of orvd.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orv {

struct DaemonOptions {
  std::string profile;        // --profile DIR (empty: the default profile directory)
  std::string password_file;  // --password-file FILE: first line is the password
  std::string name;           // --name TEXT: user info of a key generated on first run
  std::optional<uint32_t> connect_ip;  // --connect IP:PORT
  uint16_t connect_port = 0;
  bool stdin_commands = false;  // --stdin-commands: read commands from a standard input that is no terminal
  bool help = false;
  // Voice: "wav" (capture from and play into WAV files; silence and nothing
  // without them) or "pa" (the sound devices named in the settings).
  std::string audio = "wav";
  std::string capture_file;   // --capture FILE.wav (16 kHz mono)
  bool capture_loop = false;  // --capture-loop
  std::string playback_file;  // --playback FILE.wav
};

// Parses argv; on a bad argument returns nothing and sets `error`.
std::optional<DaemonOptions> ParseDaemonOptions(int argc, const char* const* argv, std::string& error);

// "a.b.c.d:port" → address in host order and port.
bool ParseIpPort(const std::string& text, uint32_t& ip, uint16_t& port);

extern const char kDaemonUsage[];

}  // namespace orv
