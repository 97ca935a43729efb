// The "About" window: the program's picture at 128 x 128 and the about
// text, read-only, with "OK". Modal from the menu; shown modeless as the
// splash window while the program starts.
#pragma once

#include <QDialog>

namespace orv {

// The about text; its first line names the release.
extern const char* const kAboutText;

class AboutDialog final : public QDialog {
 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace orv
