#include "chat/chat_input.hpp"

#include <ctime>

#include "identity/utf16.hpp"

namespace orv {
namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::vector<std::u16string_view> CutChatInput(std::u16string_view input) {
  std::vector<std::u16string_view> parts;
  while (!input.empty()) {
    size_t take = input.size() < kMaxChatPartUnits ? input.size() : kMaxChatPartUnits;
    if (take < input.size() && IsHighSurrogate(input[take - 1]) && IsLowSurrogate(input[take])) --take;
    parts.push_back(input.substr(0, take));
    input.remove_prefix(take);
  }
  return parts;
}

std::u16string ChatLine(std::u16string_view stamp, bool own, std::u16string_view text) {
  std::u16string line(stamp);
  line += own ? u" > " : u" < ";
  line += text;
  line += u'\n';
  return line;
}

std::u16string LocalLineStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[64];
  const size_t n = std::strftime(text, sizeof text, "%x %H:%M", &local);
  return Utf8ToUtf16(std::string_view(text, n));
}

bool IsPeerLine(std::u16string_view line) {
  const size_t peer = line.find(u'<');
  return peer != std::u16string_view::npos && peer < line.find(u'>');
}

}  // namespace orv
