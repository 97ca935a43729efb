#include "app/main_window/user_information.hpp"

#include "identity/key_file.hpp"
#include "identity/utf16.hpp"
#include "store/field_text.hpp"

namespace orv {

std::string UserStatusText(int status) {
  switch (status) {
    case 0:
      return "OFFLINE";
    case 1:
      return "ONLINE";
    case 2:
      return "AWAY";
    default:
      return "WRONG STATUS";
  }
}

UserInfoTexts MakeUserInfoTexts(const UserInformation& info) {
  UserInfoTexts texts;
  texts.name = info.name;
  texts.original_name = info.has_original_name ? info.original_name : info.name;
  texts.id = UserIdText(info.peer.user_id);
  texts.address = DottedIpv4Text(info.peer.ipv4) + " : " + std::to_string(info.peer.port);
  texts.authorized = info.authorized ? "YES" : "NO";
  texts.status = UserStatusText(info.status);
  return texts;
}

std::string LimitUserInfoName(const std::string& text) {
  std::u16string units = Utf8ToUtf16(text);
  if (units.size() <= kUserInfoNameUnits) return text;
  size_t keep = kUserInfoNameUnits;
  // A high surrogate at the cut would leave half a character.
  if (units[keep - 1] >= 0xD800 && units[keep - 1] <= 0xDBFF) --keep;
  units.resize(keep);
  return Utf16ToUtf8(units);
}

}  // namespace orv
