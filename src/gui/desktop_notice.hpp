// A desktop notification: what happened while the window that shows it was
// not in front (a chat line, a call, a finished download). Texts are UTF-8.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace orv {

struct DesktopNotice {
  std::string summary;
  std::string body;
};

// How the windows hand a notice on; null: not shown.
using NotifyFunction = std::function<void(const DesktopNotice&)>;

// A peer's chat line: the chat window's title over the text.
DesktopNotice ChatLineNotice(std::string_view window_title, std::string_view text);
// An incoming call: the ring window's first line ("... is calling").
DesktopNotice IncomingCallNotice(std::string_view ring_text);
// A file arrived whole.
DesktopNotice DownloadFinishedNotice(std::string_view file_name);

}  // namespace orv
