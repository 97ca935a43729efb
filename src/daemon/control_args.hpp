// The arguments of control commands: the kinds a command declares, and
// their parsing from the words of a command line.
//
// Kinds and their written forms:
//   user id   64 hex digits, word 0 first (UserIdToken). Spaces and dashes
//             inside are ignored, so the eight groups of the "%08X %08X ..."
//             text are taken too, quoted as one word or as eight words.
//   address   IPv4 address and port, "a.b.c.d:port" (port 1..65535).
//   peer      a user id or an address (an address has a ':').
//   integer   decimal, or hexadecimal after "0x"; within the declared range.
//   word      one word; when the command lists choices, one of them.
//   path      one word naming a file or folder. A relative path is taken
//             relative to the client's working directory (the one orvd was
//             started in, for commands typed at its terminal).
//   text      the rest of the line (see control_words.hpp); only last.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "daemon/control_words.hpp"
#include "net/peer_ref.hpp"

namespace orv {

enum class ArgKind { kUserId, kAddress, kPeer, kInteger, kWord, kPath, kText };

struct ArgDef {
  ArgKind kind = ArgKind::kWord;
  std::string name;       // as the usage shows it: ID, IP:PORT, PATH, TEXT
  bool optional = false;  // only trailing arguments may be optional
  int64_t min = std::numeric_limits<int64_t>::min();  // integer range
  int64_t max = std::numeric_limits<int64_t>::max();
  std::vector<std::string> choices;  // word: the words allowed; empty allows any
};

ArgDef UserIdArg(std::string name = "ID");
ArgDef AddressArg(std::string name = "IP:PORT");
ArgDef PeerArg(std::string name = "ID|IP:PORT");
ArgDef IntegerArg(std::string name, int64_t min, int64_t max);
ArgDef WordArg(std::string name, std::vector<std::string> choices = {});
ArgDef PathArg(std::string name = "PATH");
ArgDef TextArg(std::string name = "TEXT");
ArgDef Optional(ArgDef def);

// One parsed argument.
struct ArgValue {
  bool present = false;
  PeerRef peer;        // user id, address, peer: the UserId is all zero for an address
  int64_t number = 0;  // integer
  std::string text;    // word, path (absolute, normalised), text
};

// Where a command came from.
struct CommandContext {
  std::string origin;    // "terminal", or "socket pid N"
  std::string base_dir;  // what relative paths are relative to; empty: only absolute paths
};

// The arguments a handler gets, in the order the command declares them. An
// optional argument that was not given is not present.
class CommandArgs {
 public:
  size_t size() const { return values.size(); }
  bool Has(size_t i) const { return i < values.size() && values[i].present; }
  const uint32_t* UserId(size_t i) const { return values.at(i).peer.user_id; }
  const PeerRef& Peer(size_t i) const { return values.at(i).peer; }
  int64_t Integer(size_t i) const { return values.at(i).number; }
  const std::string& Text(size_t i) const { return values.at(i).text; }

  std::vector<ArgValue> values;
  CommandContext context;
};

// 64 upper-case hex digits, word 0 first: the UserId as one token.
std::string UserIdToken(const uint32_t* user_id);

// A UserId from its token or its "%08X %08X ..." text (spaces and dashes are
// ignored, case is not); false for anything else.
bool ParseUserId(std::string_view text, uint32_t* user_id);

// Reads the arguments of `defs` from `reader` (placed after the command
// name); relative paths are resolved against `base_dir`. False and a
// one-line `error` on a missing, malformed or extra argument.
bool ParseArguments(const std::vector<ArgDef>& defs, WordReader& reader, const std::string& base_dir,
                    CommandArgs& args, std::string& error);

// "NAME ARG [OPTIONAL]".
std::string UsageText(std::string_view name, const std::vector<ArgDef>& defs);

}  // namespace orv
