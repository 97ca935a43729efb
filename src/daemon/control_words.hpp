// The word syntax shared by every control line: commands, replies and
// events.
//
// A line is a list of words separated by spaces or tabs. A word is written
// plain when it holds only printable characters other than space, '"' and
// '\'. Anything else is written in double quotes, where \" \\ \n \r \t and
// \xHH (one byte, two hex digits) stand for those bytes. A backslash escapes
// the same way outside quotes ("\ " is a space), and plain and quoted parts
// next to each other form one word, so key="two words" is the one word
// `key=two words`. Words are UTF-8; what is written out is always valid
// UTF-8 on one line: control characters, invalid UTF-8 and the Unicode line
// and paragraph separators are written as \xHH escapes.
//
// A text argument at the end of a command ("rest of the line") is read
// differently: the rest of the line as it stands, so that people can type
// `chat ID hello world`. A rest that starts with a double quote must be
// exactly one quoted word, and is decoded, so that scripts can send any
// text (leading spaces, quotes, line breaks) as `chat ID "two\nlines"`.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orv {

// Reads the words of one line, one at a time, so that a command's last
// argument can take the rest of the line unparsed.
class WordReader {
 public:
  explicit WordReader(std::string_view line) : line_(line) {}

  // The next word. False at the end of the line, or on a syntax error
  // (an unterminated quote, an unknown escape): then error() says which.
  bool Next(std::string& word);

  // True when only spaces and tabs are left.
  bool AtEnd() const;

  // The unread part of the line from its first non-blank character, with
  // trailing blanks removed.
  std::string_view Rest() const;

  const std::string& error() const { return error_; }

 private:
  void SkipBlanks();
  bool ReadEscape(std::string& word);

  std::string_view line_;
  size_t pos_ = 0;
  std::string error_;
};

// A word as it must be written: plain when it can be, quoted otherwise.
// Empty words and words starting with '#' are quoted too.
std::string QuoteWord(std::string_view word);

// A text for the end of a line: as it stands when that reads back the same
// (see above), else as one quoted word.
std::string EncodeRestText(std::string_view text);

// The text the rest of a line stands for; false (and `error`) when the rest
// starts with a quote but is not exactly one well-formed quoted word.
bool DecodeRestText(std::string_view rest, std::string& text, std::string& error);

// True for a line that is no command: empty, blanks only, or a comment
// (first non-blank character '#').
bool IsBlankOrComment(std::string_view line);

}  // namespace orv
