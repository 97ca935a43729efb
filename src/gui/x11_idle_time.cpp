// The idle time on X11: the screen saver extension's count of milliseconds
// since the last input (XScreenSaverQueryInfo), on the display Qt opened.
#include <QGuiApplication>
#include <QString>

#include "gui/idle_time_sources.hpp"

#ifdef ORV_HAVE_XSS
// Xlib's headers define macros (None, Bool, Status) that Qt's names meet:
// they come last.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#endif

namespace orv {

#ifdef ORV_HAVE_XSS
namespace {

struct XFreeDeleter {
  void operator()(XScreenSaverInfo* info) const { XFree(info); }
};

class X11IdleTime final : public IdleTimeProbe {
 public:
  explicit X11IdleTime(Display* display) : display_(display), info_(XScreenSaverAllocInfo()) {}

  std::optional<uint64_t> Query() override {
    if (!info_ || !XScreenSaverQueryInfo(display_, DefaultRootWindow(display_), info_.get())) return std::nullopt;
    return static_cast<uint64_t>(info_->idle);
  }

 private:
  Display* display_;  // Qt's connection, open while the QApplication lives
  std::unique_ptr<XScreenSaverInfo, XFreeDeleter> info_;
};

}  // namespace

std::unique_ptr<IdleTimeProbe> MakeX11IdleTime() {
  if (QGuiApplication::platformName() != QStringLiteral("xcb")) return nullptr;
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display* display = x11 ? x11->display() : nullptr;
  int event_base = 0;
  int error_base = 0;
  if (!display || !XScreenSaverQueryExtension(display, &event_base, &error_base)) return nullptr;
  return std::make_unique<X11IdleTime>(display);
}

#else

std::unique_ptr<IdleTimeProbe> MakeX11IdleTime() { return nullptr; }

#endif

}  // namespace orv
