#include "app/main_window/contact_menu.hpp"

#include <charconv>

#include "store/field_text.hpp"

namespace orv {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// One word of one to eight hexadecimal digits at `pos`; advances past it.
bool ReadHexWord(std::string_view text, size_t& pos, uint32_t& word) {
  size_t end = pos;
  while (end < text.size() && !IsSpace(text[end])) ++end;
  const size_t digits = end - pos;
  if (digits == 0 || digits > 8) return false;
  const auto result = std::from_chars(text.data() + pos, text.data() + end, word, 16);
  if (result.ec != std::errc() || result.ptr != text.data() + end) return false;
  pos = end;
  return true;
}

bool ReadUserIdWords(std::string_view text, uint32_t* user_id) {
  size_t pos = 0;
  for (size_t i = 0; i < kUserIdWords; ++i) {
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    if (!ReadHexWord(text, pos, user_id[i])) return false;
  }
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  return pos == text.size();
}

}  // namespace

std::vector<ContactMenuItem> ContactMenuItems(bool authorized_contact) {
  return {
      authorized_contact ? ContactMenuItem{"Deauthorize", ContactCommand::kDeauthorize}
                         : ContactMenuItem{"Authorize", ContactCommand::kAuthorize},
      {"Remove from list", ContactCommand::kRemove},
      {"Request Connection", ContactCommand::kRequestConnection},
      {"Rename", ContactCommand::kRename},
      {"Send file", ContactCommand::kSendFile},
      {"Info", ContactCommand::kInfo},
  };
}

bool ParseUserIdText(std::string_view text, uint32_t* user_id) {
  uint32_t words[kUserIdWords] = {};
  const bool ok = ReadUserIdWords(text, words);
  for (size_t i = 0; i < kUserIdWords; ++i) user_id[i] = ok ? words[i] : 0;
  return ok;
}

std::optional<PeerRef> ParseAddressText(std::string_view text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view ip = text.substr(0, colon);
  const uint32_t ipv4 = ReadDottedIpv4(ip);
  if (ipv4 == 0 && ip != "0.0.0.0") return std::nullopt;
  const std::string_view port_text = text.substr(colon + 1);
  const uint16_t port = ReadPort(port_text);
  if (port == 0) return std::nullopt;
  PeerRef peer;
  peer.ipv4 = ipv4;
  peer.port = port;
  return peer;
}

std::optional<PeerRef> RowPeer(const ContactRow& row) {
  PeerRef peer;
  if (!ParseUserIdText(row.id_text, peer.user_id)) return std::nullopt;
  peer.ipv4 = ReadDottedIpv4(row.ip_text);
  peer.port = ReadPort(row.port_text);
  return peer;
}

}  // namespace orv
