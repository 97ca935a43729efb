#include "daemon/control_reply.hpp"

#include "daemon/control_args.hpp"
#include "daemon/control_words.hpp"
#include "net/peer_ref.hpp"

namespace orv {
namespace {

void ParseFields(WordReader& reader, std::map<std::string, std::string>& fields) {
  for (std::string word; reader.Next(word);) {
    const size_t eq = word.find('=');
    if (eq == std::string::npos) continue;  // not a field: skipped like an unknown key
    fields[word.substr(0, eq)] = word.substr(eq + 1);
  }
}

}  // namespace

Fields& Fields::Text(std::string_view key, std::string_view value) {
  if (!words_.empty()) words_ += ' ';
  words_.append(key);
  words_ += '=';
  const std::string quoted = QuoteWord(value);
  // An empty value is written key= rather than key="".
  if (!value.empty()) words_ += quoted;
  return *this;
}

Fields& Fields::Number(std::string_view key, int64_t value) { return Text(key, std::to_string(value)); }

Fields& Fields::Flag(std::string_view key, bool value) { return Text(key, value ? "1" : "0"); }

Fields& Fields::UserId(std::string_view key, const uint32_t* user_id) { return Text(key, UserIdToken(user_id)); }

Fields& Fields::Address(std::string_view key, uint32_t ipv4, uint16_t port) {
  return Text(key, AddressText(ipv4, port));
}

Reply Reply::Ok(Fields fields) {
  Reply reply;
  reply.fields = std::move(fields);
  return reply;
}

Reply Reply::Error(std::string_view reason) {
  Reply reply;
  reply.ok = false;
  reply.reason = std::string(reason);
  return reply;
}

std::vector<std::string> ReplyLines(const Reply& reply) {
  std::vector<std::string> lines;
  if (!reply.ok) {
    lines.push_back("error " + EncodeRestText(reply.reason.empty() ? "failed" : reply.reason));
    return lines;
  }
  for (const Fields& item : reply.items) lines.push_back("item " + item.text());
  lines.push_back(reply.fields.empty() ? "ok" : "ok " + reply.fields.text());
  return lines;
}

std::string EventLine(const ControlEvent& event) {
  std::string line = "event " + QuoteWord(event.name);
  if (!event.fields.empty()) line += " " + event.fields.text();
  return line;
}

std::string ControlLine::Field(const std::string& key) const {
  const auto it = fields.find(key);
  return it == fields.end() ? std::string() : it->second;
}

std::optional<ControlLine> ParseControlLine(std::string_view text) {
  WordReader reader(text);
  ControlLine line;
  if (!reader.Next(line.kind)) return std::nullopt;
  if (line.kind == "error") {
    std::string error;
    if (!DecodeRestText(reader.Rest(), line.reason, error)) return std::nullopt;
  } else if (line.kind == "event") {
    if (!reader.Next(line.name)) return std::nullopt;
    ParseFields(reader, line.fields);
  } else if (line.kind == "ok" || line.kind == "item") {
    ParseFields(reader, line.fields);
  } else {
    return std::nullopt;
  }
  if (!reader.error().empty()) return std::nullopt;
  return line;
}

}  // namespace orv
