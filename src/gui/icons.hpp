// The program's pictures: the four contact status images, the program's
// icon (window and tray) and the picture of the "About" window. The status
// images come from the desktop's icon theme when it has them, and are drawn
// here otherwise, so that the program needs no image files.
#pragma once

#include <array>

#include <QIcon>
#include <QPixmap>

namespace orv {

// The status images by the contact row's image index 0-3.
class StatusIcons {
 public:
  StatusIcons();
  // The image of `index`; the "not authorized" one for an index out of range.
  const QIcon& Icon(int index) const;

 private:
  std::array<QIcon, 4> icons_;
};

QIcon ProgramIcon();

// The chat window's buttons: call or hang up, and the microphone as the
// mute button shows it (not in a call, muted, live).
enum class ButtonIcon { kCall, kHangUp, kMicUnavailable, kMicMuted, kMicLive };
QIcon ChatButtonIcon(ButtonIcon which);

// The "About" window's picture, 128 x 128 pixels.
QPixmap AboutPicture();

}  // namespace orv
