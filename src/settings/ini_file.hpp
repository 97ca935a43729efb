// Our own small INI reader and writer for the settings file: "[Section]"
// headers and "Key=Value" lines, plain UTF-8 text. The document keeps every
// line it was given, so that a save changes only the keys it sets and keeps
// comments, unknown keys and unknown sections as they were.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

class IniFile {
 public:
  // Reads a document from text. Never fails: lines that are neither a
  // section header nor a key are kept as they are and otherwise ignored.
  static IniFile Parse(std::string_view text);

  // The value of the first `key` in any `section` (names compare without
  // regard to ASCII case), trimmed of surrounding blanks and of one pair of
  // surrounding double quotes. Empty optional when the key is not present.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  // Replaces the value of the first `key` in `section`, or adds the key at
  // the end of the section, or adds the section at the end of the document.
  // Returns false, changing nothing, when the value holds a line break or
  // another control character, which plain INI text cannot carry.
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  // The document as text, one "\n" after every line.
  std::string Text() const;

  // Numbers (from 1) of the lines a reader cannot make sense of: lines that
  // are neither blank, a comment (";" or "#"), a section header nor a key,
  // keys before the first section header, and lines with control
  // characters (binary damage).
  std::vector<size_t> DamagedLines() const;

  // Wipes the lines with these numbers and leaves them out of the text.
  void DropLines(const std::vector<size_t>& numbers);

  // Overwrites every character the document holds (the remembered password
  // passes through it) and leaves it empty.
  void Wipe();

 private:
  enum class LineKind { kOther, kSection, kEntry };
  struct Line {
    LineKind kind = LineKind::kOther;
    std::string text;     // the line as it will be written
    std::string name;     // section name (kSection) or key (kEntry), trimmed
    bool dropped = false; // left out of the text
  };
  // Where a key stands: its own line, or where it would be added.
  struct Place {
    std::optional<size_t> entry;   // the key's line
    std::optional<size_t> header;  // the first header of the section
    size_t last_in_section = 0;    // last key line (or the header) of that first section
  };

  static Line ParseLine(std::string_view raw);
  Place Find(std::string_view section, std::string_view key) const;

  std::vector<Line> lines_;
};

// Overwrites a string's whole buffer with wipe generator output and empties it.
void WipeString(std::string& s);

// True when `value` can be stored by IniFile::Set.
bool IniValueStorable(std::string_view value);

}  // namespace orv
