#include "transfer/received_name.hpp"

#include "identity/utf16.hpp"
#include "transfer/transfer_protocol.hpp"

namespace orv {
namespace {

std::string AfterLastSeparator(const std::string& text) {
  const size_t cut = text.find_last_of("/\\");
  return cut == std::string::npos ? text : text.substr(cut + 1);
}

// Marks and overrides that change the direction text is shown in: with
// them a name can show an extension it does not have ("gpj.exe" as
// "exe.jpg"). C1 control characters go as well.
bool HiddenFormatting(char16_t u) {
  return (u >= 0x80 && u <= 0x9f) || u == 0x061c || u == 0x200e || u == 0x200f || (u >= 0x202a && u <= 0x202e) ||
         (u >= 0x2066 && u <= 0x2069);
}

void ReplaceHiddenFormatting(std::u16string& units) {
  for (char16_t& u : units)
    if (HiddenFormatting(u)) u = u'_';
}

void ReplaceControls(std::string& text) {
  for (char& c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) c = '_';
  }
}

void TrimDotsAndSpaces(std::string& text) {
  const size_t first = text.find_first_not_of(". ");
  if (first == std::string::npos) {
    text.clear();
    return;
  }
  const size_t last = text.find_last_not_of(". ");
  text = text.substr(first, last - first + 1);
}

// The longest prefix of `text` of at most `bytes` bytes that ends on a
// UTF-8 character boundary.
std::string Utf8Prefix(const std::string& text, size_t bytes) {
  if (text.size() <= bytes) return text;
  size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80) --end;
  return text.substr(0, end);
}

std::string CutToLength(const std::string& text) {
  if (text.size() <= kMaxSafeNameBytes) return text;
  const size_t dot = text.find_last_of('.');
  const bool keep_extension = dot != std::string::npos && dot > 0 && text.size() - dot <= 16;
  const std::string extension = keep_extension ? text.substr(dot) : std::string();
  std::string stem = Utf8Prefix(keep_extension ? text.substr(0, dot) : text, kMaxSafeNameBytes - extension.size());
  std::string cut = stem + extension;
  TrimDotsAndSpaces(cut);
  return cut;
}

}  // namespace

std::string SafeReceivedName(const uint8_t* utf16le, size_t bytes) {
  std::u16string units = LeBytesToUtf16(utf16le, bytes);
  const size_t nul = units.find(u'\0');
  if (nul != std::u16string::npos) units.resize(nul);
  ReplaceHiddenFormatting(units);
  std::string name = AfterLastSeparator(Utf16ToUtf8(units));
  ReplaceControls(name);
  TrimDotsAndSpaces(name);
  name = CutToLength(name);
  return name.empty() ? std::string(kFallbackName) : name;
}

std::string NumberedName(std::string_view name, uint32_t n) {
  const std::string number = " (" + std::to_string(n) + ")";
  const size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos) return std::string(name) + number;
  return std::string(name.substr(0, dot)) + number + std::string(name.substr(dot));
}

std::u16string OfferedName(std::string_view path) {
  const size_t cut = path.find_last_of('/');
  std::u16string name = Utf8ToUtf16(cut == std::string_view::npos ? path : path.substr(cut + 1));
  if (name.size() > kMaxNameUnits) {
    size_t end = kMaxNameUnits;
    // Do not leave the high half of a surrogate pair at the end.
    if (name[end - 1] >= 0xd800 && name[end - 1] <= 0xdbff) --end;
    name.resize(end);
  }
  return name;
}

}  // namespace orv
