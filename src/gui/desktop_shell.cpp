#include "gui/desktop_shell.hpp"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace orv {
namespace {

// How long a file manager may take to answer before the folder is opened
// instead.
constexpr int kFileManagerTimeoutMs = 5000;

QUrl FileUrl(const std::string& path) {
  return QUrl::fromLocalFile(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
}

void OpenFolderOf(const QUrl& file) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file.toLocalFile()).absolutePath()));
}

}  // namespace

void QtDesktopShell::OpenFile(const std::string& path) { QDesktopServices::openUrl(FileUrl(path)); }

// The call does not wait: a file manager that is slow to start never holds
// the window.
void QtDesktopShell::ShowInFolder(const std::string& path) {
  const QUrl file = FileUrl(path);
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    OpenFolderOf(file);
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                                     "org.freedesktop.FileManager1", "ShowItems");
  call << QStringList{file.toString()} << QString();
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kFileManagerTimeoutMs), &context_);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context_, [file](QDBusPendingCallWatcher* done) {
    if (done->isError()) OpenFolderOf(file);
    done->deleteLater();
  });
}

}  // namespace orv
