#include "gui/widget_ui_port.hpp"

#include <algorithm>
#include <cstdio>
#include <utility>

#include <QMessageBox>
#include <QString>

#include "gui/app_window_host.hpp"
#include "gui/entropy_dialog.hpp"
#include "gui/password_dialog.hpp"
#include "app/event_log.hpp"

namespace orv {
namespace {

QString Text(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kError: return QMessageBox::Critical;
    case MessageIcon::kWarning: return QMessageBox::Warning;
    case MessageIcon::kQuestion: return QMessageBox::Question;
    case MessageIcon::kInformation: return QMessageBox::Information;
  }
  return QMessageBox::NoIcon;
}

// Said on the terminal, and in the log when it exists already (the
// settings are loaded before the log opens).
void LogSleepInhibitor(const std::string& text) {
  std::fprintf(stderr, "orv: %s\n", text.c_str());
  LogEvent("Main", text);
}

}  // namespace

WidgetUiPort::WidgetUiPort() : WidgetUiPort(MakeLogindInhibitBus(), MakeFirewalldBus()) {}

WidgetUiPort::WidgetUiPort(std::unique_ptr<SleepInhibitBus> sleep_bus, std::unique_ptr<FirewallBus> firewall)
    : sleep_(std::move(sleep_bus), LogSleepInhibitor), firewall_(std::move(firewall)) {}

QWidget* WidgetUiPort::Owner() const { return host_ ? host_->DialogOwner() : nullptr; }

std::string WidgetUiPort::last_message() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_message_;
}

void WidgetUiPort::ShowMessage(std::string_view title, std::string_view text, MessageIcon icon) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    last_message_.assign(text);
    std::replace(last_message_.begin(), last_message_.end(), '\n', ' ');
  }
  caller_.Run([&] {
    QMessageBox box(BoxIcon(icon), Text(title), Text(text), QMessageBox::Ok, Owner());
    box.exec();
  });
}

bool WidgetUiPort::AskYesNo(std::string_view title, std::string_view text, MessageIcon icon) {
  bool yes = false;
  caller_.Run([&] {
    QMessageBox box(BoxIcon(icon), Text(title), Text(text), QMessageBox::Yes | QMessageBox::No, Owner());
    box.setDefaultButton(QMessageBox::Yes);
    yes = box.exec() == QMessageBox::Yes;
  });
  return yes;
}

PasswordAnswer WidgetUiPort::AskPassword(const PasswordRequest& request) {
  PasswordAnswer answer;
  caller_.Run([&] {
    PasswordDialog dialog(request, Owner());
    dialog.exec();
    answer = dialog.TakeAnswer();
  });
  return answer;
}

void WidgetUiPort::CollectEntropy(EntropySink& sink) {
  caller_.Run([&] {
    EntropyDialog dialog(sink, Owner());
    dialog.exec();
  });
}

void WidgetUiPort::SetPreventSleep(bool prevent) {
  caller_.Run([&] { sleep_.Set(prevent); });
}

void WidgetUiPort::OpenFirewallPort(uint16_t port) {
  caller_.Run([&] { OpenFirewallPortOn(firewall_.get(), port); });
}

void WidgetUiPort::CloseFirewallPort(uint16_t port) {
  caller_.Run([&] { CloseFirewallPortOn(firewall_.get(), port); });
}

void WidgetUiPort::OpenWindow(AppWindow window, bool shown) {
  caller_.Run([&] {
    if (host_) host_->OpenAppWindow(window, shown);
  });
}

void WidgetUiPort::CloseWindow(AppWindow window) {
  caller_.Run([&] {
    if (host_) host_->CloseAppWindow(window);
  });
}

}  // namespace orv
