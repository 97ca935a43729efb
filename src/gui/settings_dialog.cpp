#include "gui/settings_dialog.hpp"

#include <QDialogButtonBox>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "gui/icons.hpp"
#include "gui/settings_pages.hpp"

namespace orv {
namespace {

// The bar is red from -11 dB up, green below.
const char* const kRedBar = "QProgressBar::chunk { background-color: #FF0000; }";
const char* const kGreenBar = "QProgressBar::chunk { background-color: #00FF00; }";

}  // namespace

SettingsDialog::SettingsDialog(const Settings& live, SettingsDialogServices services, QWidget* parent)
    : QDialog(parent), model_(live, std::move(services)) {
  setWindowTitle("Settings");
  setWindowIcon(ProgramIcon());
  SettingsPageContext context{model_, readers_};
  tabs_ = new QTabWidget(this);
  tabs_->addTab(BuildFilePage(context), "File");
  tabs_->addTab(BuildNetworkPage(context), "Network");
  tabs_->addTab(BuildPrivacyPage(context), "Privacy");
  tabs_->addTab(BuildUserPage(context), "User");
  const AudioPage audio = BuildAudioPage(context);
  audio_page_ = audio.page;
  meter_ = audio.meter;
  meter_text_ = audio.meter_text;
  read_devices_ = audio.read_devices;
  tabs_->addTab(audio_page_, "Audio");
  tabs_->setCurrentIndex(0);
  connect(tabs_, &QTabWidget::currentChanged, this, &SettingsDialog::OnTabChanged);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
  setMinimumWidth(480);
}

SettingsDialog::~SettingsDialog() { model_.StopMeter(); }

// The audio page "exists" from its first showing: the meter starts then.
void SettingsDialog::OnTabChanged(int index) {
  if (tabs_->widget(index) != audio_page_) return;
  audio_shown_ = true;
  model_.StartMeter([this](const LevelReading& reading) {
    // From the meter's thread; dropped once the dialog is gone.
    QMetaObject::invokeMethod(this, [this, reading] { ShowReading(reading); }, Qt::QueuedConnection);
  });
}

void SettingsDialog::ShowReading(const LevelReading& reading) {
  meter_->setValue(reading.bar);
  meter_->setStyleSheet(reading.red ? kRedBar : kGreenBar);
  meter_text_->setText(QString::fromStdString(reading.text));
}

void SettingsDialog::done(int result) {
  model_.StopMeter();
  if (result == QDialog::Accepted) {
    for (const auto& read : readers_) read();
    if (audio_shown_) read_devices_();
    QDialog::done(result);
    model_.Accept();
    return;
  }
  model_.Reject();
  QDialog::done(result);
}

void RunSettingsDialog(QWidget* owner, const Settings& live, SettingsDialogServices services) {
  SettingsDialog dialog(live, std::move(services), owner);
  dialog.exec();
}

}  // namespace orv
