// The five pages of the "Settings" dialog. Each fills its controls from the
// dialog's working copy and registers how they are read back into it when
// the dialog closes; the sliders, the device lists, "AGC" and the "Test"
// buttons act on the copy (and the meter and tests) at once.
#pragma once

#include <functional>
#include <vector>

#include "app/settings_dialog_model.hpp"

class QLabel;
class QProgressBar;
class QWidget;

namespace orv {

struct SettingsPageContext {
  SettingsDialogModel& model;
  // Read back into the copy when the dialog closes, in order.
  std::vector<std::function<void()>>& readers;
};

QWidget* BuildFilePage(SettingsPageContext& context);
QWidget* BuildNetworkPage(SettingsPageContext& context);
QWidget* BuildPrivacyPage(SettingsPageContext& context);
QWidget* BuildUserPage(SettingsPageContext& context);

struct AudioPage {
  QWidget* page = nullptr;
  QProgressBar* meter = nullptr;  // 0..60
  QLabel* meter_text = nullptr;   // "%d dB"
  // Reads the two device lists back into the copy; only for a page that
  // was shown (a page never shown leaves the stored names as they are).
  std::function<void()> read_devices;
};
AudioPage BuildAudioPage(SettingsPageContext& context);

}  // namespace orv
