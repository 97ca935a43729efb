#include "daemon/main_window_lines.hpp"

#include "app/main_window/user_information.hpp"

namespace orv {
namespace {

// The contact list's images by meaning.
const char* ImageName(int image) {
  static const char* const kNames[] = {"online", "offline", "not_authorized", "away"};
  return image >= 0 && image < 4 ? kNames[image] : "unknown";
}

}  // namespace

Fields ContactRowFields(const ContactRow& row) {
  return Fields()
      .UserId("user", row.peer.user_id)
      .Address("address", row.peer.ipv4, row.peer.port)
      .Text("name", row.name)
      .Number("image", row.image)
      .Text("status", ImageName(row.image));
}

Fields UserInfoFields(const UserInformation& info) {
  const UserInfoTexts texts = MakeUserInfoTexts(info);
  return Fields()
      .UserId("user", info.peer.user_id)
      .Address("address", info.peer.ipv4, info.peer.port)
      .Text("name", texts.name)
      .Text("original_name", texts.original_name)
      .Text("authorized", texts.authorized)
      .Text("status", texts.status);
}

void MainWindowLines::ContactRowsChanged(const std::vector<ContactRow>& rows) {
  bus_.Emit("contacts_changed", Fields().Number("count", static_cast<int64_t>(rows.size())));
}

void MainWindowLines::TitleChanged(std::string_view title) { bus_.Emit("title", Fields().Text("text", title)); }

void MainWindowLines::StatusTextChanged(std::string_view text) {
  bus_.Emit("status_bar", Fields().Text("text", text));
}

void MainWindowLines::ShowUserInfo(const UserInformation& info) { bus_.Emit("user_info", UserInfoFields(info)); }

}  // namespace orv
