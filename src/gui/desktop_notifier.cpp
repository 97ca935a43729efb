#include "gui/desktop_notifier.hpp"

#include <utility>

namespace orv {
namespace {

std::string_view FirstLine(std::string_view text) { return text.substr(0, text.find('\n')); }

}  // namespace

DesktopNotice ChatLineNotice(std::string_view window_title, std::string_view text) {
  return {std::string(window_title), std::string(text)};
}

DesktopNotice IncomingCallNotice(std::string_view ring_text) {
  return {"Incoming call", std::string(FirstLine(ring_text))};
}

DesktopNotice DownloadFinishedNotice(std::string_view file_name) {
  return {"File received", std::string(file_name)};
}

DesktopNotifier::DesktopNotifier(std::unique_ptr<NotificationBus> bus, Fallback fallback)
    : bus_(std::move(bus)), fallback_(std::move(fallback)) {}

bool DesktopNotifier::Notify(const DesktopNotice& notice) {
  if (bus_ && bus_->Notify(notice)) return true;
  return fallback_ && fallback_(notice);
}

}  // namespace orv
