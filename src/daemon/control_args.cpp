#include "daemon/control_args.hpp"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <filesystem>

#include "daemon/daemon_options.hpp"

namespace orv {
namespace {

constexpr size_t kUserIdDigits = kUserIdWords * 8;

bool IsHexGroup(std::string_view word) {
  if (word.size() != 8) return false;
  for (const char c : word)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// A user id as one word, or as eight words of eight hex digits.
bool ReadUserId(WordReader& reader, const std::string& first, uint32_t* user_id, std::string& error) {
  std::string text = first;
  if (IsHexGroup(first)) {
    WordReader ahead = reader;
    std::string group;
    for (size_t k = 1; k < kUserIdWords && ahead.Next(group) && IsHexGroup(group); ++k) text += group;
    if (text.size() == kUserIdDigits) reader = ahead;
  }
  if (ParseUserId(text, user_id)) return true;
  error = "bad user id: " + first;
  return false;
}

bool ReadAddress(const std::string& word, PeerRef& peer, std::string& error) {
  if (ParseIpPort(word, peer.ipv4, peer.port)) return true;
  error = "bad address (IP:PORT): " + word;
  return false;
}

bool ReadInteger(const ArgDef& def, const std::string& word, int64_t& value, std::string& error) {
  const bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
  const char* begin = word.data() + (hex ? 2 : 0);
  const char* end = word.data() + word.size();
  const auto result = std::from_chars(begin, end, value, hex ? 16 : 10);
  if (result.ec != std::errc() || result.ptr != end) {
    error = "bad number for " + def.name + ": " + word;
    return false;
  }
  if (value < def.min || value > def.max) {
    error = def.name + " out of range " + std::to_string(def.min) + ".." + std::to_string(def.max) + ": " + word;
    return false;
  }
  return true;
}

bool ReadWord(const ArgDef& def, const std::string& word, std::string& value, std::string& error) {
  if (!def.choices.empty()) {
    bool known = false;
    for (const std::string& choice : def.choices) known = known || choice == word;
    if (!known) {
      error = "bad " + def.name + ": " + word;
      return false;
    }
  }
  value = word;
  return true;
}

bool ReadPath(const std::string& word, const std::string& base_dir, std::string& value, std::string& error) {
  if (word.empty() || word.find('\0') != std::string::npos) {
    error = "bad path";
    return false;
  }
  std::filesystem::path path(word);
  if (path.is_relative()) {
    if (base_dir.empty()) {
      error = "relative path without a working directory; give an absolute path: " + word;
      return false;
    }
    path = std::filesystem::path(base_dir) / path;
  }
  value = path.lexically_normal().string();
  return true;
}

bool ReadOne(const ArgDef& def, WordReader& reader, const std::string& word, const std::string& base_dir,
             ArgValue& value, std::string& error) {
  switch (def.kind) {
    case ArgKind::kUserId:
      return ReadUserId(reader, word, value.peer.user_id, error);
    case ArgKind::kAddress:
      return ReadAddress(word, value.peer, error);
    case ArgKind::kPeer:
      if (word.find(':') != std::string::npos) return ReadAddress(word, value.peer, error);
      return ReadUserId(reader, word, value.peer.user_id, error);
    case ArgKind::kInteger:
      return ReadInteger(def, word, value.number, error);
    case ArgKind::kWord:
      return ReadWord(def, word, value.text, error);
    case ArgKind::kPath:
      return ReadPath(word, base_dir, value.text, error);
    case ArgKind::kText:
      break;
  }
  return false;
}

}  // namespace

namespace {

ArgDef MakeArg(ArgKind kind, std::string name) {
  ArgDef def;
  def.kind = kind;
  def.name = std::move(name);
  return def;
}

}  // namespace

ArgDef UserIdArg(std::string name) { return MakeArg(ArgKind::kUserId, std::move(name)); }
ArgDef AddressArg(std::string name) { return MakeArg(ArgKind::kAddress, std::move(name)); }
ArgDef PeerArg(std::string name) { return MakeArg(ArgKind::kPeer, std::move(name)); }

ArgDef IntegerArg(std::string name, int64_t min, int64_t max) {
  ArgDef def = MakeArg(ArgKind::kInteger, std::move(name));
  def.min = min;
  def.max = max;
  return def;
}

ArgDef WordArg(std::string name, std::vector<std::string> choices) {
  ArgDef def = MakeArg(ArgKind::kWord, std::move(name));
  def.choices = std::move(choices);
  return def;
}

ArgDef PathArg(std::string name) { return MakeArg(ArgKind::kPath, std::move(name)); }
ArgDef TextArg(std::string name) { return MakeArg(ArgKind::kText, std::move(name)); }

ArgDef Optional(ArgDef def) {
  def.optional = true;
  return def;
}

std::string UserIdToken(const uint32_t* user_id) {
  char text[kUserIdDigits + 1];
  for (size_t i = 0; i < kUserIdWords; ++i) std::snprintf(text + 8 * i, 9, "%08X", user_id[i]);
  return std::string(text, kUserIdDigits);
}

bool ParseUserId(std::string_view text, uint32_t* user_id) {
  std::string digits;
  for (const char c : text) {
    if (c == ' ' || c == '-') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c)) || digits.size() == kUserIdDigits) return false;
    digits += c;
  }
  if (digits.size() != kUserIdDigits) return false;
  for (size_t i = 0; i < kUserIdWords; ++i) {
    uint32_t word = 0;
    std::from_chars(digits.data() + 8 * i, digits.data() + 8 * i + 8, word, 16);
    user_id[i] = word;
  }
  return true;
}

bool ParseArguments(const std::vector<ArgDef>& defs, WordReader& reader, const std::string& base_dir,
                    CommandArgs& args, std::string& error) {
  args.values.assign(defs.size(), ArgValue{});
  for (size_t i = 0; i < defs.size(); ++i) {
    const ArgDef& def = defs[i];
    ArgValue& value = args.values[i];
    if (def.kind == ArgKind::kText) {
      const std::string_view rest = reader.Rest();
      if (rest.empty()) {
        if (def.optional) return true;
        error = "missing " + def.name;
        return false;
      }
      if (!DecodeRestText(rest, value.text, error)) return false;
      value.present = true;
      return true;  // the text takes the rest of the line
    }
    std::string word;
    if (!reader.Next(word)) {
      if (!reader.error().empty()) {
        error = reader.error();
        return false;
      }
      if (def.optional) return true;
      error = "missing " + def.name;
      return false;
    }
    if (!ReadOne(def, reader, word, base_dir, value, error)) return false;
    value.present = true;
  }
  std::string extra;
  if (reader.Next(extra)) {
    error = "too many arguments: " + extra;
    return false;
  }
  if (!reader.error().empty()) {
    error = reader.error();
    return false;
  }
  return true;
}

std::string UsageText(std::string_view name, const std::vector<ArgDef>& defs) {
  std::string usage(name);
  for (const ArgDef& def : defs) {
    usage += ' ';
    usage += def.optional ? "[" + def.name + "]" : def.name;
  }
  return usage;
}

}  // namespace orv
