#include "daemon/daemon_options.hpp"

#include <arpa/inet.h>

#include <cstdlib>
#include <string_view>

namespace orv {

const char kDaemonUsage[] =
    "Usage: orvd [--profile DIR] [--password-file FILE] [--name TEXT] [--connect IP:PORT] [--stdin-commands]\n"
    "       orvd ctl [--profile DIR] COMMAND [ARG...]   (orvd ctl --help says more)\n"
    "  --profile DIR         profile directory (default $XDG_CONFIG_HOME/orv)\n"
    "  --password-file FILE  read the password from the first line of FILE instead of asking\n"
    "  --name TEXT           user info of the key generated on the first run\n"
    "  --connect IP:PORT     open a session to that peer once the network runs\n"
    "  --stdin-commands      read commands from standard input even when it is no terminal\n"
    "  --audio wav|pa        voice through WAV files (default) or the sound devices of the settings\n"
    "  --capture FILE.wav    the microphone of a call: a 16 kHz mono WAV file (default: silence)\n"
    "  --capture-loop        play the capture file over and over\n"
    "  --playback FILE.wav   the speaker of a call: written into this WAV file\n"
    "Commands come from the terminal and from the control socket DIR/orvd.sock;\n"
    "`help` lists them.\n";

bool ParseIpPort(const std::string& text, uint32_t& ip, uint16_t& port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  in_addr addr{};
  if (::inet_pton(AF_INET, text.substr(0, colon).c_str(), &addr) != 1) return false;
  const std::string digits = text.substr(colon + 1);
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  const unsigned long value = std::strtoul(digits.c_str(), nullptr, 10);
  if (value == 0 || value > 65535) return false;
  ip = ntohl(addr.s_addr);
  port = static_cast<uint16_t>(value);
  return true;
}

std::optional<DaemonOptions> ParseDaemonOptions(int argc, const char* const* argv, std::string& error) {
  DaemonOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--stdin-commands") {
      options.stdin_commands = true;
    } else if (arg == "--profile" && has_value) {
      options.profile = argv[++i];
    } else if (arg == "--password-file" && has_value) {
      options.password_file = argv[++i];
    } else if (arg == "--name" && has_value) {
      options.name = argv[++i];
    } else if (arg == "--audio" && has_value) {
      options.audio = argv[++i];
      if (options.audio != "wav" && options.audio != "pa") {
        error = "--audio takes wav or pa, not " + options.audio;
        return std::nullopt;
      }
    } else if (arg == "--capture" && has_value) {
      options.capture_file = argv[++i];
    } else if (arg == "--capture-loop") {
      options.capture_loop = true;
    } else if (arg == "--playback" && has_value) {
      options.playback_file = argv[++i];
    } else if (arg == "--connect" && has_value) {
      uint32_t ip = 0;
      if (!ParseIpPort(argv[++i], ip, options.connect_port)) {
        error = "bad address for --connect: " + std::string(argv[i]);
        return std::nullopt;
      }
      options.connect_ip = ip;
    } else {
      error = "unknown or incomplete argument: " + std::string(arg);
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace orv
