#include "daemon/control_words.hpp"

#include <cstdint>

namespace orv {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The length of the valid UTF-8 sequence of a code point at text[i] that
// may stand unescaped in a line, or 0: invalid sequences, C1 controls and
// the line and paragraph separators (U+2028, U+2029) must be escaped.
size_t PrintableUtf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(i);
  if (lead < 0x80) return lead > 0x20 && lead != 0x7F ? 1 : 0;
  size_t extra;
  uint32_t cp;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    cp = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    cp = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    cp = lead & 0x07u;
  } else {
    return 0;
  }
  if (i + extra >= text.size()) return 0;
  for (size_t k = 1; k <= extra; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3Fu);
  }
  static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  if (cp < 0xA0 || cp == 0x2028 || cp == 0x2029) return 0;
  return extra + 1;
}

bool NeedsQuotes(std::string_view word) {
  if (word.empty() || word.front() == '#') return true;
  for (size_t i = 0; i < word.size();) {
    const char c = word[i];
    if (c == '"' || c == '\\') return true;
    const size_t n = PrintableUtf8Length(word, i);
    if (n == 0) return true;
    i += n;
  }
  return false;
}

void AppendHexEscape(std::string& out, uint8_t byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

}  // namespace

void WordReader::SkipBlanks() {
  while (pos_ < line_.size() && IsBlank(line_[pos_])) ++pos_;
}

bool WordReader::AtEnd() const {
  for (size_t i = pos_; i < line_.size(); ++i)
    if (!IsBlank(line_[i])) return false;
  return true;
}

std::string_view WordReader::Rest() const {
  size_t begin = pos_;
  while (begin < line_.size() && IsBlank(line_[begin])) ++begin;
  size_t end = line_.size();
  while (end > begin && IsBlank(line_[end - 1])) --end;
  return line_.substr(begin, end - begin);
}

// pos_ is on the character after the backslash.
bool WordReader::ReadEscape(std::string& word) {
  if (pos_ >= line_.size()) {
    error_ = "backslash at the end of the line";
    return false;
  }
  const char c = line_[pos_++];
  switch (c) {
    case '"': case '\\': case ' ': word += c; return true;
    case 'n': word += '\n'; return true;
    case 'r': word += '\r'; return true;
    case 't': word += '\t'; return true;
    case 'x': {
      const int high = pos_ < line_.size() ? HexValue(line_[pos_]) : -1;
      const int low = pos_ + 1 < line_.size() ? HexValue(line_[pos_ + 1]) : -1;
      if (high < 0 || low < 0) {
        error_ = "\\x needs two hex digits";
        return false;
      }
      word += static_cast<char>(high * 16 + low);
      pos_ += 2;
      return true;
    }
    default:
      error_ = std::string("unknown escape \\") + c;
      return false;
  }
}

bool WordReader::Next(std::string& word) {
  word.clear();
  SkipBlanks();
  if (pos_ >= line_.size() || !error_.empty()) return false;
  bool quoted = false;
  while (pos_ < line_.size()) {
    const char c = line_[pos_];
    if (!quoted && IsBlank(c)) break;
    ++pos_;
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '\\') {
      if (!ReadEscape(word)) return false;
    } else {
      word += c;
    }
  }
  if (quoted) {
    error_ = "unterminated quote";
    return false;
  }
  return true;
}

std::string QuoteWord(std::string_view word) {
  if (!NeedsQuotes(word)) return std::string(word);
  std::string out = "\"";
  for (size_t i = 0; i < word.size();) {
    const char c = word[i];
    const size_t n = PrintableUtf8Length(word, i);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == ' ') {
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (n == 0) {
      AppendHexEscape(out, static_cast<uint8_t>(c));
    } else {
      out.append(word.substr(i, n));
      i += n;
      continue;
    }
    ++i;
  }
  out += '"';
  return out;
}

std::string EncodeRestText(std::string_view text) {
  bool plain = !text.empty() && !IsBlank(text.front()) && !IsBlank(text.back()) && text.front() != '"';
  for (size_t i = 0; plain && i < text.size();) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    const size_t n = PrintableUtf8Length(text, i);
    plain = n != 0;
    i += n;
  }
  return plain ? std::string(text) : QuoteWord(text);
}

bool DecodeRestText(std::string_view rest, std::string& text, std::string& error) {
  if (rest.empty() || rest.front() != '"') {
    text = std::string(rest);
    return true;
  }
  WordReader reader(rest);
  std::string word;
  if (!reader.Next(word)) {
    error = reader.error();
    return false;
  }
  if (!reader.AtEnd()) {
    error = "a text that starts with a quote must be one quoted word";
    return false;
  }
  text = std::move(word);
  return true;
}

bool IsBlankOrComment(std::string_view line) {
  for (const char c : line) {
    if (IsBlank(c) || c == '\r') continue;
    return c == '#';
  }
  return true;
}

}  // namespace orv
