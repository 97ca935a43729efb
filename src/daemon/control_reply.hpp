// The lines the node writes to its control clients, in the word syntax of
// control_words.hpp. Each is one line and starts with its kind:
//
//   ok [FIELDS]            a command succeeded; the last line of its reply
//   error REASON           a command failed and changed nothing; the last line
//   item FIELDS            one entry of a listing (peers, help, ...), before
//                          the `ok` that ends the reply
//   event NAME [FIELDS]    something happened; at any time between replies
//
// FIELDS are words of the form key=value (value quoted when it must be).
// Readers look fields up by key and ignore keys they do not know: new
// fields may be added, existing ones keep their key and meaning. REASON is
// a text to the end of the line (see EncodeRestText).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// The key=value words of one line, in the order they were added.
class Fields {
 public:
  Fields& Text(std::string_view key, std::string_view value);
  Fields& Number(std::string_view key, int64_t value);
  Fields& Flag(std::string_view key, bool value);  // 1 or 0
  // The UserId token (64 hex digits, word 0 first; see UserIdToken).
  Fields& UserId(std::string_view key, const uint32_t* user_id);
  // "a.b.c.d:port".
  Fields& Address(std::string_view key, uint32_t ipv4, uint16_t port);

  bool empty() const { return words_.empty(); }
  // The words joined by single spaces.
  const std::string& text() const { return words_; }

 private:
  std::string words_;
};

// What a command handler returns.
struct Reply {
  bool ok = true;
  std::string reason;         // why it failed (one line)
  std::vector<Fields> items;  // `item` lines, written before the last line
  Fields fields;              // the fields of the `ok` line

  static Reply Ok(Fields fields = {});
  static Reply Error(std::string_view reason);
};

// The reply's lines, without line ends: the items, then `ok` or `error`.
std::vector<std::string> ReplyLines(const Reply& reply);

// One event: a name of lower-case letters, digits and '_', and its fields.
struct ControlEvent {
  std::string name;
  Fields fields;
};

// "event NAME FIELDS".
std::string EventLine(const ControlEvent& event);

// One line as a client reads it back.
struct ControlLine {
  std::string kind;                          // ok, error, item, event
  std::string name;                          // event: its name
  std::string reason;                        // error: the reason
  std::map<std::string, std::string> fields; // ok, item, event
  std::string Field(const std::string& key) const;  // empty when absent
};

// Parses a line the node wrote; nothing for a line that is none of the four.
std::optional<ControlLine> ParseControlLine(std::string_view line);

}  // namespace orv
