#include "gui/settings_pages.hpp"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QVBoxLayout>

namespace orv {
namespace {

QString Text(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

const char* const kOrvFileFilters = "ORV files (*.orv);;*.* (*)";
const char* const kDownloadsFolderTitle = "Select default folder for file transfer";

enum class Browse { kFile, kFolder };

// A labelled path edit with its "..." button: the open-file dialog (an
// existing file, the ORV filter first) or the folder chooser.
QLineEdit* AddPathRow(SettingsPageContext& c, QGridLayout* grid, const char* label, std::string Settings::*field,
                      const char* name, Browse browse) {
  const int row = grid->rowCount();
  auto* edit = new QLineEdit(Text(c.model.copy().*field));
  edit->setObjectName(name);
  auto* button = new QPushButton("...");
  button->setObjectName(QString(name) + "Browse");
  button->setFixedWidth(32);
  grid->addWidget(new QLabel(label), row, 0);
  grid->addWidget(edit, row, 1);
  grid->addWidget(button, row, 2);
  QObject::connect(button, &QPushButton::clicked, edit, [edit, browse] {
    const QString chosen =
        browse == Browse::kFolder
            ? QFileDialog::getExistingDirectory(edit->window(), kDownloadsFolderTitle, edit->text())
            : QFileDialog::getOpenFileName(edit->window(), QString(), edit->text(), kOrvFileFilters);
    if (!chosen.isEmpty()) edit->setText(chosen);
  });
  c.readers.push_back([&model = c.model, edit, field] { model.ReadPath(field, Utf8(edit->text())); });
  return edit;
}

QCheckBox* AddCheck(SettingsPageContext& c, QLayout* layout, const char* label, bool Settings::*field,
                    const char* name) {
  auto* box = new QCheckBox(label);
  box->setObjectName(name);
  box->setChecked(c.model.copy().*field);
  layout->addWidget(box);
  c.readers.push_back([&model = c.model, box, field] { model.copy().*field = box->isChecked(); });
  return box;
}

// A number edit takes digits only; its value is read without range checks.
QLineEdit* AddNumberRow(SettingsPageContext& c, QGridLayout* grid, const char* label, NumberField field,
                        const char* name) {
  const int row = grid->rowCount();
  auto* edit = new QLineEdit(Text(c.model.NumberText(field)));
  edit->setObjectName(name);
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
  edit->setMaximumWidth(100);
  grid->addWidget(new QLabel(label), row, 0);
  grid->addWidget(edit, row, 1, Qt::AlignLeft);
  c.readers.push_back([&model = c.model, edit, field] { model.ReadNumber(field, Utf8(edit->text())); });
  return edit;
}

QWidget* PageWith(QLayout* layout) {
  auto* page = new QWidget;
  auto* outer = new QVBoxLayout(page);
  outer->addLayout(layout);
  outer->addStretch(1);
  return page;
}

}  // namespace

QWidget* BuildFilePage(SettingsPageContext& c) {
  auto* layout = new QVBoxLayout;
  auto* paths = new QGridLayout;
  AddPathRow(c, paths, "Key file:", &Settings::Key, "Key", Browse::kFile);
  AddPathRow(c, paths, "Network file:", &Settings::Users, "Users", Browse::kFile);
  AddPathRow(c, paths, "Contacts file:", &Settings::Likes, "Likes", Browse::kFile);
  AddPathRow(c, paths, "Seed file:", &Settings::Seed, "Seed", Browse::kFile);
  AddPathRow(c, paths, "Log file:", &Settings::Log, "Log", Browse::kFile);
  layout->addLayout(paths);
  AddCheck(c, layout, "Log to File", &Settings::EnableLog, "EnableLog");
  auto* size = new QGridLayout;
  AddNumberRow(c, size, "Max log size (Mb)", NumberField::kLogSize, "LogSize");
  layout->addLayout(size);
  auto* downloads = new QGridLayout;
  AddPathRow(c, downloads, "Downloads path:", &Settings::FileTransferPath, "FileTransferPath", Browse::kFolder);
  AddPathRow(c, downloads, "Downloads file:", &Settings::Downloads, "Downloads", Browse::kFile);
  layout->addLayout(downloads);
  AddCheck(c, layout, "Receive files automatically", &Settings::AutoReceiveFiles, "AutoReceiveFiles");
  return PageWith(layout);
}

QWidget* BuildNetworkPage(SettingsPageContext& c) {
  auto* layout = new QVBoxLayout;
  auto* ports = new QGridLayout;
  AddNumberRow(c, ports, "Local Port:", NumberField::kLocalPort, "LocalPort");
  AddNumberRow(c, ports, "Remote Port:", NumberField::kRemotePort, "RemotePort");
  layout->addLayout(ports);
  AddCheck(c, layout, "Enable UPnP", &Settings::EnableUPnP, "EnableUPnP");
  AddCheck(c, layout, "Remove UPnP port forwardings on exit", &Settings::CancelUPnPonExit, "CancelUPnPonExit");
  AddCheck(c, layout, "Use nearest available port for UPnP", &Settings::NextAvailablePort, "NextAvailablePort");
  AddCheck(c, layout, "Use random port for UPnP", &Settings::RandomPort, "RandomPort");
  return PageWith(layout);
}

QWidget* BuildPrivacyPage(SettingsPageContext& c) {
  auto* layout = new QVBoxLayout;
  AddCheck(c, layout, "Allow text and voice from anyone", &Settings::AllowAnyone, "AllowAnyone");
  AddCheck(c, layout, "Show communication requests", &Settings::AllowConnectionRequest, "AllowConnectionRequest");
  AddCheck(c, layout, "Accept file transfer from anyone", &Settings::AcceptFileTransfer, "AcceptFileTransfer");
  AddCheck(c, layout, "Save chat messages to file", &Settings::SaveChatToFile, "SaveChatToFile");
  return PageWith(layout);
}

// While "Remember password forever" is checked the minutes are not asked.
QWidget* BuildUserPage(SettingsPageContext& c) {
  auto* layout = new QVBoxLayout;
  auto* numbers = new QGridLayout;
  AddNumberRow(c, numbers, "Switch to away automatically after (min)", NumberField::kAwayTimeout, "AwayTimeout");
  QLineEdit* minutes = AddNumberRow(c, numbers, "Remember password for (min):", NumberField::kPasswordTime, "Time");
  layout->addLayout(numbers);
  QCheckBox* forever = AddCheck(c, layout, "Remember password forever", &Settings::Remember, "Remember");
  minutes->setEnabled(!forever->isChecked());
  QObject::connect(forever, &QCheckBox::toggled, minutes, [minutes](bool on) { minutes->setEnabled(!on); });
  AddCheck(c, layout, "Start ORV when I log in", &Settings::Autostart, "Autostart");
  AddCheck(c, layout, "Prevent the computer from sleeping", &Settings::PreventSleep, "PreventSleep");
  AddCheck(c, layout, "Open port in the firewall", &Settings::OpenFirewall, "OpenFirewall");
  AddCheck(c, layout, "Show splash window", &Settings::ShowSplashWindow, "ShowSplashWindow");
  return PageWith(layout);
}

namespace {

QComboBox* AddDeviceList(QGridLayout* grid, int row, const char* label, const std::vector<std::string>& entries,
                         size_t selected, const char* name) {
  auto* list = new QComboBox;
  list->setObjectName(name);
  for (const std::string& entry : entries) list->addItem(Text(entry));
  list->setCurrentIndex(static_cast<int>(selected));
  grid->addWidget(new QLabel(label), row, 0);
  grid->addWidget(list, row, 1, 1, 2);
  return list;
}

QSlider* AddSlider(QGridLayout* grid, int row, const char* label, int value, const char* name,
                   std::function<void(int)> moved) {
  auto* slider = new QSlider(Qt::Horizontal);
  slider->setObjectName(name);
  slider->setRange(0, 100);
  slider->setValue(value);
  QObject::connect(slider, &QSlider::valueChanged, slider, std::move(moved));
  grid->addWidget(new QLabel(label), row, 0);
  grid->addWidget(slider, row, 1);
  return slider;
}

QPushButton* AddTestButton(QGridLayout* grid, int row, const char* name, std::function<void()> clicked) {
  auto* button = new QPushButton("Test");
  button->setObjectName(name);
  QObject::connect(button, &QPushButton::clicked, button, std::move(clicked));
  grid->addWidget(button, row, 2);
  return button;
}

}  // namespace

AudioPage BuildAudioPage(SettingsPageContext& c) {
  SettingsDialogModel& model = c.model;
  const Settings& s = model.copy();
  auto* grid = new QGridLayout;
  QComboBox* mic = AddDeviceList(grid, 0, "Microphone:", model.microphones(), model.microphone_entry(), "Microphone");
  QObject::connect(mic, &QComboBox::currentIndexChanged, mic, [&model](int i) {
    if (i >= 0) model.SelectMicrophone(static_cast<size_t>(i));
  });
  AddSlider(grid, 1, "Mic gain", s.MicLevel, "MicLevel", [&model](int v) { model.SetMicLevel(v); });
  auto* agc = new QCheckBox("AGC");
  agc->setObjectName("AGC");
  agc->setChecked(s.AGC);
  QObject::connect(agc, &QCheckBox::clicked, agc, [&model](bool on) { model.ClickAutomaticGain(on); });
  grid->addWidget(agc, 1, 2);
  c.readers.push_back([&model, agc] { model.copy().AGC = agc->isChecked(); });
  QComboBox* speaker = AddDeviceList(grid, 2, "Speaker:", model.speakers(), model.speaker_entry(), "Speaker");
  QObject::connect(speaker, &QComboBox::currentIndexChanged, speaker, [&model](int i) {
    if (i >= 0) model.SelectSpeaker(static_cast<size_t>(i));
  });
  AddSlider(grid, 3, "Spkr volume", s.Volume, "Volume", [&model](int v) { model.SetVolume(v); });
  AddTestButton(grid, 3, "TestSpeaker", [&model] { model.TestSpeaker(); });
  AddSlider(grid, 4, "Call volume", s.RingVolume, "RingVolume", [&model](int v) { model.SetRingVolume(v); });
  AddTestButton(grid, 4, "TestRing", [&model] { model.TestRing(); });

  AudioPage audio;
  audio.read_devices = [&model, mic, speaker] {
    model.SelectMicrophone(static_cast<size_t>(std::max(0, mic->currentIndex())));
    model.SelectSpeaker(static_cast<size_t>(std::max(0, speaker->currentIndex())));
  };
  audio.meter = new QProgressBar;
  audio.meter->setObjectName("LevelMeter");
  audio.meter->setRange(0, 60);
  audio.meter->setValue(0);
  audio.meter->setTextVisible(false);
  audio.meter_text = new QLabel;
  audio.meter_text->setObjectName("LevelText");
  audio.meter_text->setMinimumWidth(60);
  auto* meter_row = new QHBoxLayout;
  meter_row->addWidget(audio.meter, 1);
  meter_row->addWidget(audio.meter_text);
  auto* layout = new QVBoxLayout;
  layout->addLayout(grid);
  layout->addLayout(meter_row);
  audio.page = PageWith(layout);
  return audio;
}

}  // namespace orv
