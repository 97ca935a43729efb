// orv: the ORV Telephone desktop program. It runs the same core as the
// headless node orvd, with the Qt main thread as the interface thread: the
// start-up sequence, the "Bootstrap" as the event loop starts, the main
// window with its menus and tray icon, and the shutdown sequence when the
// person chooses "Exit" (or the program gets SIGINT or SIGTERM).
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui/desktop_program.hpp"
#include "gui/orv_options.hpp"

int main(int argc, char** argv) {
  std::string error;
  const auto options = orv::ParseOrvOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "orv: %s\n%s", error.c_str(), orv::kOrvUsage);
    return 2;
  }
  if (options->help) {
    std::fputs(orv::kOrvUsage, stdout);
    return 0;
  }
  if (!orv::HasDisplay([](const char* name) { return std::getenv(name); })) {
    std::fprintf(stderr,
                 "orv: no display (DISPLAY and WAYLAND_DISPLAY are not set); "
                 "start the headless node instead: orvd --profile DIR (orvd --help)\n");
    return 1;
  }
  QApplication app(argc, argv);
  app.setApplicationName("ORV Telephone");
  // The desktop matches the windows to the menu entry orv.desktop (its
  // name and icon; the application id on Wayland).
  QGuiApplication::setDesktopFileName("orv");
  // Hidden in the tray, the program runs on with no window shown.
  app.setQuitOnLastWindowClosed(false);
  orv::DesktopProgram program(*options);
  return program.Run(app);
}
