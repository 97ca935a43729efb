#include "app/invitation.hpp"

#include <charconv>
#include <cstdio>

#include "app/main_window/contact_menu.hpp"

namespace orv {
namespace {

constexpr size_t kUserIdDigits = 8 * kUserIdWords;

bool Unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

std::string Escape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (Unreserved(u)) {
      out += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", u);
      out += escaped;
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i] == '+' ? ' ' : text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;  // cut short
    const int high = HexValue(text[i + 1]);
    const int low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

bool ParseUserIdDigits(std::string_view digits, uint32_t* user_id) {
  if (digits.size() != kUserIdDigits) return false;
  for (const char c : digits)
    if (HexValue(c) < 0) return false;
  for (size_t i = 0; i < kUserIdWords; ++i) {
    uint32_t word = 0;
    std::from_chars(digits.data() + 8 * i, digits.data() + 8 * i + 8, word, 16);
    user_id[i] = word;
  }
  return true;
}

// One "key=value" field into the invitation; a reason when it is wrong.
std::string TakeField(std::string_view field, Invitation& out) {
  const size_t eq = field.find('=');
  const std::string_view key = field.substr(0, eq);
  const std::string_view value = eq == std::string_view::npos ? std::string_view() : field.substr(eq + 1);
  if (key == "addr") {
    const std::optional<PeerRef> peer = ParseAddressText(value);
    if (!peer || peer->ipv4 == 0) return "field addr: not an IPv4 address and port: " + std::string(value);
    if (out.addresses.size() == kInvitationMaxAddresses) return "field addr: more than 16 addresses";
    out.addresses.push_back({peer->ipv4, peer->port});
    return {};
  }
  if (key == "name") {
    std::optional<std::string> name = Unescape(value);
    if (!name) return "field name: a broken %-escape";
    if (name->size() > kInvitationMaxNameBytes) return "field name: longer than 446 bytes";
    out.name = std::move(*name);
    return {};
  }
  return {};  // fields of later versions are passed over
}

}  // namespace

std::string FormatInvitation(const Invitation& invitation) {
  std::string text(kInvitationScheme);
  char word[9];
  for (size_t i = 0; i < kUserIdWords; ++i) {
    std::snprintf(word, sizeof word, "%08X", invitation.user_id[i]);
    text += word;
  }
  char separator = '?';
  for (const InvitationAddress& a : invitation.addresses) {
    text += separator + std::string("addr=") + AddressText(a.ipv4, a.port);
    separator = '&';
  }
  if (!invitation.name.empty()) text += separator + std::string("name=") + Escape(invitation.name);
  return text;
}

InvitationParse ParseInvitation(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' || text.back() == '\r'))
    text.remove_suffix(1);
  InvitationParse result;
  if (text.substr(0, kInvitationScheme.size()) != kInvitationScheme) {
    result.reason = "not an invitation: it does not start with orv:";
    return result;
  }
  text.remove_prefix(kInvitationScheme.size());
  if (text.substr(0, 2) == "//") text.remove_prefix(2);
  const size_t query = text.find('?');
  Invitation invitation;
  if (!ParseUserIdDigits(text.substr(0, query), invitation.user_id)) {
    result.reason = "user id: not 64 hexadecimal digits";
    return result;
  }
  if (IsZeroUserId(invitation.user_id)) {
    result.reason = "user id: all zero, nobody's";
    return result;
  }
  std::string_view fields = query == std::string_view::npos ? std::string_view() : text.substr(query + 1);
  while (!fields.empty()) {
    const size_t amp = fields.find('&');
    const std::string_view field = fields.substr(0, amp);
    if (!field.empty()) {
      result.reason = TakeField(field, invitation);
      if (!result.reason.empty()) return result;
    }
    if (amp == std::string_view::npos) break;
    fields.remove_prefix(amp + 1);
  }
  result.invitation = std::move(invitation);
  return result;
}

}  // namespace orv
