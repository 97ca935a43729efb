// The small dialogs of the main window: "User Info", "Connection Request",
// "Rename" and "Connect to IP:port". They show what the controller hands
// them and give back what the person chose; they decide nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <QDialog>

#include "app/main_window/main_window_events.hpp"
#include "app/main_window/user_information.hpp"

class QLineEdit;

namespace orv {

// "User Info": the texts of one user information record, and "OK".
class UserInfoDialog final : public QDialog {
 public:
  explicit UserInfoDialog(const UserInformation& info, QWidget* parent = nullptr);
};

// "Connection Request": the request's text with "Ok" and "Cancel"; the
// close box counts as "Cancel".
class ConnectionRequestDialog final : public QDialog {
 public:
  ConnectionRequestDialog(const ConnectionRequest& request, std::function<void()> accepted,
                          std::function<void()> dismissed, QWidget* parent = nullptr);
};

// "Rename": the original name, and the current name to edit. The new name
// for "OK" (perhaps empty), nothing for "Cancel" or the close box.
std::optional<std::string> AskRenameDialog(QWidget* parent, std::string_view original_name, std::string_view name);

// "Connect to IP:port": an IPv4 address and a port, and "Connect".
class ConnectToDialog final : public QDialog {
 public:
  explicit ConnectToDialog(QWidget* parent = nullptr);
  // The address as typed, host order; 0 when it is not four numbers 0-255.
  uint32_t Address() const;
  uint16_t Port() const;
  QLineEdit* address_edit() const { return address_; }
  QLineEdit* port_edit() const { return port_; }

 private:
  QLineEdit* address_ = nullptr;
  QLineEdit* port_ = nullptr;
};

// Four numbers 0-255 separated by dots, in host order; 0 otherwise.
uint32_t ParseIpv4Text(const QString& text);

}  // namespace orv
