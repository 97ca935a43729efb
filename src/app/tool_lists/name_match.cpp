#include "app/tool_lists/name_match.hpp"

#include <algorithm>
#include <string>
#include <vector>

namespace orv {
namespace {

// Latin Extended-A: capitals and small letters in pairs, the capital first
// (Ÿ alone has its small letter in Latin-1).
char16_t LatinExtendedALower(char16_t c) {
  if (c == 0x178) return 0xFF;
  const bool even_capitals = (c >= 0x100 && c <= 0x137 && c != 0x130) || (c >= 0x14A && c <= 0x177);
  const bool odd_capitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if ((even_capitals && (c & 1) == 0) || (odd_capitals && (c & 1) != 0)) return static_cast<char16_t>(c + 1);
  return c;
}

// Lower case for the scripts whose capitals sit at a fixed distance from
// their small letters: Latin (ASCII, Latin-1, Latin Extended-A), Greek and
// Cyrillic. Other characters compare as they are.
char16_t LowerCase(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x100 && c <= 0x17F) return LatinExtendedALower(c);
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
  return c;
}

std::u16string Lowered(std::u16string_view text) {
  std::u16string out(text);
  std::transform(out.begin(), out.end(), out.begin(), LowerCase);
  return out;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// The first two words: each ends at a blank that follows a non-blank; the
// last one runs to the end of the text.
std::vector<std::u16string_view> FirstTwoWords(std::u16string_view text) {
  std::vector<std::u16string_view> words;
  size_t start = 0;
  for (size_t i = 1; i < text.size() && words.size() < 2; ++i) {
    if (IsBlank(text[i]) && !IsBlank(text[i - 1])) {
      words.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (words.size() < 2) words.push_back(text.substr(std::min(start, text.size())));
  return words;
}

// Equal over the length of the shorter one; a word of length 0 agrees with
// anything.
bool AgreeOverShorter(std::u16string_view a, std::u16string_view b) {
  const size_t n = std::min(a.size(), b.size());
  return a.substr(0, n) == b.substr(0, n);
}

}  // namespace

bool FindNameMatches(std::u16string_view text, std::u16string_view name) {
  const std::u16string t = Lowered(text);
  const std::u16string n = Lowered(name);
  if (AgreeOverShorter(t, n)) return true;
  for (std::u16string_view a : FirstTwoWords(t))
    for (std::u16string_view b : FirstTwoWords(n))
      if (AgreeOverShorter(a, b)) return true;
  return false;
}

}  // namespace orv
