// "Settings": the modal dialog of "&Settings", five tabs ("File",
// "Network", "Privacy", "User", "Audio") over a working copy of the
// settings (SettingsDialogModel). OK reads every control back into the
// copy and applies it; Cancel drops it. The audio tab runs the microphone
// level meter from the moment it is first shown until the dialog closes.
#pragma once

#include <functional>
#include <vector>

#include <QDialog>

#include "app/settings_dialog_model.hpp"

class QLabel;
class QProgressBar;
class QTabWidget;

namespace orv {

class SettingsDialog final : public QDialog {
 public:
  SettingsDialog(const Settings& live, SettingsDialogServices services, QWidget* parent = nullptr);
  ~SettingsDialog() override;

  void done(int result) override;

  SettingsDialogModel& model() { return model_; }
  QTabWidget* tabs() const { return tabs_; }

 private:
  void OnTabChanged(int index);
  void ShowReading(const LevelReading& reading);

  SettingsDialogModel model_;
  std::vector<std::function<void()>> readers_;
  QTabWidget* tabs_ = nullptr;
  QWidget* audio_page_ = nullptr;
  QProgressBar* meter_ = nullptr;
  QLabel* meter_text_ = nullptr;
  std::function<void()> read_devices_;
  bool audio_shown_ = false;
};

// Runs the dialog modally over `owner`.
void RunSettingsDialog(QWidget* owner, const Settings& live, SettingsDialogServices services);

}  // namespace orv
