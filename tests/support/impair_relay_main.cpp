// orv_impair_relay: the impairing UDP relay as a program, for scripts that
// put a bad link between two orvd processes.
//
//   orv_impair_relay --a-bind IP:PORT --b-bind IP:PORT --b-target IP:PORT [--a-peer IP:PORT]
//                    [--loss P] [--dup P] [--delay MS] [--jitter MS] [--rate BYTES_PER_S] [--seed N]
//
// Once both sockets are bound it prints "ports a=N b=N", then takes
// commands on its standard input, one a line:
//   outage MS   cut the link in both directions for MS milliseconds
//   loss P      lose datagrams with probability P from now on (both ways)
//   stats       print the counters of both directions on one line
//   quit        end (so does the end of the input)
// The impairment given applies to both directions.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/impair_relay.hpp"

namespace {

using orv::test::Direction;
using orv::test::ImpairRelay;
using orv::test::Impairment;
using orv::test::RelayConfig;
using orv::test::RelayCounters;

[[noreturn]] void Fail(const std::string& reason) {
  std::fprintf(stderr, "orv_impair_relay: %s\n", reason.c_str());
  std::exit(1);
}

template <typename Number>
std::optional<Number> ParseNumber(const std::string& text) {
  Number value{};
  const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> ParseProbability(const std::string& text) {
  const std::optional<double> p = ParseNumber<double>(text);
  if (!p || *p < 0.0 || *p > 1.0) return std::nullopt;
  return p;
}

template <typename Number>
Number NumberOption(const std::string& option, const std::string& text) {
  const std::optional<Number> value = ParseNumber<Number>(text);
  if (!value) Fail("bad number for " + option + ": " + text);
  return *value;
}

double Probability(const std::string& option, const std::string& text) {
  const std::optional<double> p = ParseProbability(text);
  if (!p) Fail(option + " wants a probability from 0 to 1: " + text);
  return *p;
}

orv::test::UdpAddress Address(const std::string& option, const std::string& text) {
  const auto address = orv::test::ParseUdpAddress(text);
  if (!address) Fail("bad address for " + option + " (want IP:PORT): " + text);
  return *address;
}

// Sets an address or the seed; false when `option` names neither.
bool SetLinkOption(RelayConfig& config, const std::string& option, const std::string& value) {
  if (option == "--a-bind") config.a_bind = Address(option, value);
  else if (option == "--b-bind") config.b_bind = Address(option, value);
  else if (option == "--b-target") config.b_target = Address(option, value);
  else if (option == "--a-peer") config.a_peer = Address(option, value);
  else if (option == "--seed") config.seed = NumberOption<uint64_t>(option, value);
  else return false;
  return true;
}

// Sets a part of the impairment; false when `option` names none.
bool SetImpairmentOption(Impairment& impairment, const std::string& option, const std::string& value) {
  using std::chrono::milliseconds;
  if (option == "--loss") impairment.loss = Probability(option, value);
  else if (option == "--dup") impairment.duplicate = Probability(option, value);
  else if (option == "--delay") impairment.delay = milliseconds(NumberOption<uint32_t>(option, value));
  else if (option == "--jitter") impairment.jitter = milliseconds(NumberOption<uint32_t>(option, value));
  else if (option == "--rate") impairment.rate_bytes_per_second = NumberOption<uint64_t>(option, value);
  else return false;
  return true;
}

RelayConfig ParseOptions(const std::vector<std::string>& args) {
  RelayConfig config;
  Impairment impairment;
  for (size_t i = 0; i < args.size(); i += 2) {
    const std::string& option = args[i];
    if (i + 1 >= args.size()) Fail("missing value for " + option);
    if (!SetLinkOption(config, option, args[i + 1]) && !SetImpairmentOption(impairment, option, args[i + 1]))
      Fail("unknown option: " + option);
  }
  if (config.b_target.port == 0) Fail("--b-target IP:PORT (a port other than 0) is required");
  config.a_to_b = impairment;
  config.b_to_a = impairment;
  return config;
}

std::string CountersText(const char* prefix, const RelayCounters& c) {
  std::ostringstream out;
  out << ' ' << prefix << "_received=" << c.received << ' ' << prefix << "_forwarded=" << c.forwarded << ' '
      << prefix << "_lost=" << c.lost << ' ' << prefix << "_duplicated=" << c.duplicated << ' ' << prefix
      << "_outage=" << c.dropped_in_outage << ' ' << prefix << "_queue=" << c.dropped_by_queue << ' ' << prefix
      << "_unroutable=" << c.unroutable;
  return out.str();
}

void SetLoss(ImpairRelay& relay, double loss) {
  for (Direction direction : {Direction::kAToB, Direction::kBToA}) {
    Impairment impairment = relay.ImpairmentOf(direction);
    impairment.loss = loss;
    relay.SetImpairment(direction, impairment);
  }
}

// Runs the commands of the standard input until "quit" or its end.
void RunCommands(ImpairRelay& relay) {
  for (std::string line; std::getline(std::cin, line);) {
    std::istringstream words(line);
    std::string command, value;
    words >> command >> value;
    if (command.empty()) continue;
    if (command == "quit") return;
    const auto milliseconds = ParseNumber<uint32_t>(value);
    const auto probability = ParseProbability(value);
    if (command == "outage" && milliseconds) {
      relay.Outage(std::chrono::milliseconds(*milliseconds));
    } else if (command == "loss" && probability) {
      SetLoss(relay, *probability);
    } else if (command == "stats") {
      std::printf("stats%s%s\n", CountersText("ab", relay.Counters(Direction::kAToB)).c_str(),
                  CountersText("ba", relay.Counters(Direction::kBToA)).c_str());
      std::fflush(stdout);
    } else {
      std::fprintf(stderr, "orv_impair_relay: unknown or incomplete command: %s\n", line.c_str());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const RelayConfig config = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  std::string error;
  const std::unique_ptr<ImpairRelay> relay = ImpairRelay::Start(config, error);
  if (!relay) Fail(error);
  std::printf("ports a=%u b=%u\n", relay->PortA(), relay->PortB());
  std::fflush(stdout);
  RunCommands(*relay);
  return 0;
}
