#include "app/tool_lists/find_text.hpp"

#include "net/peer_ref.hpp"
#include "store/field_text.hpp"

namespace orv {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void SkipSpace(std::string_view text, size_t& pos) {
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
}

// One to eight hexadecimal digits at `pos`.
bool ReadHexWord(std::string_view text, size_t& pos, uint32_t& word) {
  word = 0;
  size_t digits = 0;
  for (; digits < 8 && pos < text.size() && HexValue(text[pos]) >= 0; ++digits, ++pos)
    word = word << 4 | static_cast<uint32_t>(HexValue(text[pos]));
  return digits > 0;
}

std::string_view Trimmed(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

std::u16string LimitFindText(std::u16string_view text) {
  if (text.size() <= kFindTextUnits) return std::u16string(text);
  size_t keep = kFindTextUnits;
  if (text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;  // half a character
  return std::u16string(text.substr(0, keep));
}

bool ReadFindUserId(std::string_view text, uint32_t* user_id) {
  uint32_t words[kUserIdWords] = {};
  size_t pos = 0;
  bool ok = true;
  for (size_t i = 0; ok && i < kUserIdWords; ++i) {
    SkipSpace(text, pos);
    ok = ReadHexWord(text, pos, words[i]);
  }
  SkipSpace(text, pos);
  ok = ok && pos == text.size();
  for (size_t i = 0; i < kUserIdWords; ++i) user_id[i] = ok ? words[i] : 0;
  return ok;
}

std::optional<uint32_t> ReadFindIpv4(std::string_view text) {
  const std::string_view address = Trimmed(text);
  const uint32_t ipv4 = ReadDottedIpv4(address);
  if (ipv4 == 0 && address != "0.0.0.0") return std::nullopt;
  return ipv4;
}

}  // namespace orv
