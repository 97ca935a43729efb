#include "settings/ini_file.hpp"

#include <algorithm>

#include "crypto/wipe.hpp"

namespace orv {
namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view Trim(std::string_view s) {
  const size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const size_t last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

// A value with blanks at either end, or wrapped in quotes already, is written
// in quotes so that reading it back (which trims and unquotes) gives it again.
std::string QuoteIfNeeded(std::string_view value) {
  const bool edge_blank = !value.empty() && (kBlanks.find(value.front()) != std::string_view::npos ||
                                             kBlanks.find(value.back()) != std::string_view::npos);
  const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
  if (!edge_blank && !quoted) return std::string(value);
  std::string out;
  out.reserve(value.size() + 2);
  out += '"';
  out += value;
  out += '"';
  return out;
}

}  // namespace

void WipeString(std::string& s) {
  s.resize(s.capacity());  // reaches the whole buffer, short-string storage included
  WipeBytes(s.data(), s.size());
  s.clear();
}

bool IniValueStorable(std::string_view value) {
  return std::none_of(value.begin(), value.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u < 0x20 && c != '\t') || u == 0x7f;
  });
}

IniFile::Line IniFile::ParseLine(std::string_view raw) {
  Line line;
  line.text = std::string(raw);
  const std::string_view t = Trim(raw);
  if (t.empty() || t.front() == ';' || t.front() == '#') return line;
  if (t.front() == '[') {
    const size_t close = t.find(']');
    if (close != std::string_view::npos) {
      line.kind = LineKind::kSection;
      line.name = std::string(Trim(t.substr(1, close - 1)));
    }
    return line;
  }
  const size_t eq = t.find('=');
  if (eq != std::string_view::npos && eq > 0) {
    line.kind = LineKind::kEntry;
    line.name = std::string(Trim(t.substr(0, eq)));
  }
  return line;
}

IniFile IniFile::Parse(std::string_view text) {
  IniFile ini;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // UTF-8 byte order mark
  // Room for every line and for the keys a save may add, so that the lines
  // are never moved to a new buffer (and copies of a value left behind).
  ini.lines_.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 64);
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    ini.lines_.push_back(ParseLine(raw));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return ini;
}

std::vector<size_t> IniFile::DamagedLines() const {
  std::vector<size_t> numbers;
  bool in_section = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.dropped) continue;
    in_section = in_section || line.kind == LineKind::kSection;
    const std::string_view t = Trim(line.text);
    const bool blank_or_comment = t.empty() || t.front() == ';' || t.front() == '#';
    const bool damaged = !IniValueStorable(line.text) || (line.kind == LineKind::kOther && !blank_or_comment) ||
                         (line.kind == LineKind::kEntry && !in_section);
    if (damaged) numbers.push_back(i + 1);
  }
  return numbers;
}

void IniFile::DropLines(const std::vector<size_t>& numbers) {
  for (const size_t number : numbers) {
    if (number == 0 || number > lines_.size()) continue;
    Line& line = lines_[number - 1];
    WipeString(line.text);
    WipeString(line.name);
    line.kind = LineKind::kOther;
    line.dropped = true;
  }
}

IniFile::Place IniFile::Find(std::string_view section, std::string_view key) const {
  Place place;
  bool in_section = false;   // inside any section of that name
  bool in_first = false;     // inside the first one
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind == LineKind::kSection) {
      in_section = SameName(line.name, section);
      in_first = in_section && !place.header;
      if (in_first) {
        place.header = i;
        place.last_in_section = i;
      }
    } else if (line.kind == LineKind::kEntry && in_section) {
      if (in_first) place.last_in_section = i;
      if (!place.entry && SameName(line.name, key)) place.entry = i;
    }
  }
  return place;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  const Place place = Find(section, key);
  if (!place.entry) return std::nullopt;
  const std::string& text = lines_[*place.entry].text;
  std::string_view value = Trim(std::string_view(text).substr(text.find('=') + 1));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  return std::string(value);
}

bool IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (!IniValueStorable(value)) return false;
  const Place place = Find(section, key);
  if (place.entry) {
    // An existing key keeps its line and its own spelling of the name.
    Line& line = lines_[*place.entry];
    WipeString(line.text);
    line.text = line.name + "=" + QuoteIfNeeded(value);
    return true;
  }
  Line entry;
  entry.kind = LineKind::kEntry;
  entry.name = std::string(key);
  entry.text = entry.name + "=" + QuoteIfNeeded(value);
  if (place.header) {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(place.last_in_section + 1), std::move(entry));
    return true;
  }
  if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back(Line{});
  Line header;
  header.kind = LineKind::kSection;
  header.name = std::string(section);
  header.text = "[" + header.name + "]";
  lines_.push_back(std::move(header));
  lines_.push_back(std::move(entry));
  return true;
}

void IniFile::Wipe() {
  for (Line& line : lines_) {
    WipeString(line.text);
    WipeString(line.name);
  }
  lines_.clear();
}

std::string IniFile::Text() const {
  size_t total = 0;
  for (const Line& line : lines_) total += line.text.size() + 1;
  std::string out;
  out.reserve(total);  // one buffer, no copies left behind by growth
  for (const Line& line : lines_) {
    if (line.dropped) continue;
    out += line.text;
    out += '\n';
  }
  return out;
}

}  // namespace orv
