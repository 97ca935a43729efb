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

bool ReadInteger(const ArgSpec& spec, const std::string& word, int64_t& value, std::string& error) {
  const bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
  const char* begin = word.data() + (hex ? 2 : 0);
  const char* end = word.data() + word.size();
  const auto result = std::from_chars(begin, end, value, hex ? 16 : 10);
  if (result.ec != std::errc() || result.ptr != end) {
    error = "bad number for " + spec.name + ": " + word;
    return false;
  }
  if (value < spec.min || value > spec.max) {
    error = spec.name + " out of range " + std::to_string(spec.min) + ".." + std::to_string(spec.max) + ": " + word;
    return false;
  }
  return true;
}

bool ReadWord(const ArgSpec& spec, const std::string& word, std::string& value, std::string& error) {
  if (!spec.choices.empty()) {
    bool known = false;
    for (const std::string& choice : spec.choices) known = known || choice == word;
    if (!known) {
      error = "bad " + spec.name + ": " + word;
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

bool ReadOne(const ArgSpec& spec, WordReader& reader, const std::string& word, const std::string& base_dir,
             ArgValue& value, std::string& error) {
  switch (spec.kind) {
    case ArgKind::kUserId:
      return ReadUserId(reader, word, value.peer.user_id, error);
    case ArgKind::kAddress:
      return ReadAddress(word, value.peer, error);
    case ArgKind::kPeer:
      if (word.find(':') != std::string::npos) return ReadAddress(word, value.peer, error);
      return ReadUserId(reader, word, value.peer.user_id, error);
    case ArgKind::kInteger:
      return ReadInteger(spec, word, value.number, error);
    case ArgKind::kWord:
      return ReadWord(spec, word, value.text, error);
    case ArgKind::kPath:
      return ReadPath(word, base_dir, value.text, error);
    case ArgKind::kText:
      break;
  }
  return false;
}

}  // namespace

namespace {

ArgSpec MakeArg(ArgKind kind, std::string name) {
  ArgSpec spec;
  spec.kind = kind;
  spec.name = std::move(name);
  return spec;
}

}  // namespace

ArgSpec UserIdArg(std::string name) { return MakeArg(ArgKind::kUserId, std::move(name)); }
ArgSpec AddressArg(std::string name) { return MakeArg(ArgKind::kAddress, std::move(name)); }
ArgSpec PeerArg(std::string name) { return MakeArg(ArgKind::kPeer, std::move(name)); }

ArgSpec IntegerArg(std::string name, int64_t min, int64_t max) {
  ArgSpec spec = MakeArg(ArgKind::kInteger, std::move(name));
  spec.min = min;
  spec.max = max;
  return spec;
}

ArgSpec WordArg(std::string name, std::vector<std::string> choices) {
  ArgSpec spec = MakeArg(ArgKind::kWord, std::move(name));
  spec.choices = std::move(choices);
  return spec;
}

ArgSpec PathArg(std::string name) { return MakeArg(ArgKind::kPath, std::move(name)); }
ArgSpec TextArg(std::string name) { return MakeArg(ArgKind::kText, std::move(name)); }

ArgSpec Optional(ArgSpec spec) {
  spec.optional = true;
  return spec;
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

bool ParseArguments(const std::vector<ArgSpec>& specs, WordReader& reader, const std::string& base_dir,
                    CommandArgs& args, std::string& error) {
  args.values.assign(specs.size(), ArgValue{});
  for (size_t i = 0; i < specs.size(); ++i) {
    const ArgSpec& spec = specs[i];
    ArgValue& value = args.values[i];
    if (spec.kind == ArgKind::kText) {
      const std::string_view rest = reader.Rest();
      if (rest.empty()) {
        if (spec.optional) return true;
        error = "missing " + spec.name;
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
      if (spec.optional) return true;
      error = "missing " + spec.name;
      return false;
    }
    if (!ReadOne(spec, reader, word, base_dir, value, error)) return false;
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

std::string UsageText(std::string_view name, const std::vector<ArgSpec>& specs) {
  std::string usage(name);
  for (const ArgSpec& spec : specs) {
    usage += ' ';
    usage += spec.optional ? "[" + spec.name + "]" : spec.name;
  }
  return usage;
}

}  // namespace orv
