#include "gui/main_window.hpp"

#include <algorithm>
#include <array>

#include <QCloseEvent>
#include <QFileDialog>
#include <QMenu>
#include <QStatusBar>
#include <QSystemTrayIcon>

#include "app/main_window/contact_menu.hpp"
#include "gui/about_dialog.hpp"
#include "gui/contact_dialogs.hpp"
#include "gui/contact_list.hpp"
#include "gui/icons.hpp"

namespace orv {

MainWindow::MainWindow(MainWindowActions actions) : actions_(std::move(actions)) {
  setWindowTitle(QString::fromUtf8(kTitleOnline.data(), static_cast<qsizetype>(kTitleOnline.size())));
  setWindowIcon(ProgramIcon());
  list_ = new ContactList(this);
  list_->setMinimumSize(kMinClientWidth, kMinClientHeight);
  setCentralWidget(list_);
  connect(list_, &QListWidget::itemDoubleClicked, this, &MainWindow::OnRowActivated);
  connect(list_, &QWidget::customContextMenuRequested, this, &MainWindow::OnContextMenu);
  connect(list_, &QListWidget::itemSelectionChanged, this, &MainWindow::OnSelectionChanged);
  BuildMenus();
  BuildTray();
  move(0, 0);
  resize(kMinClientWidth, 600);
}

MainWindow::~MainWindow() = default;

void MainWindow::ContactRowsChanged(const std::vector<ContactRow>& rows) { list_->ShowRows(rows); }

void MainWindow::SelectContactRow(size_t row) { list_->SelectRow(row); }

// The tray says what the title says ("... - not connected: no key" too).
void MainWindow::TitleChanged(std::string_view title) {
  const QString text = QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
  setWindowTitle(text);
  if (tray_) tray_->setToolTip(text);
}

// The status bar appears with its first line and stays once shown.
void MainWindow::StatusTextChanged(std::string_view text) {
  statusBar()->showMessage(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void MainWindow::ShowUserInfo(const UserInformation& info) {
  if (info_) info_->close();  // there is only ever one
  info_ = new UserInfoDialog(info, this);
  info_->setAttribute(Qt::WA_DeleteOnClose);
  info_->show();
}

void MainWindow::ShowConnectionRequest(const ConnectionRequest& request) {
  std::array<uint32_t, kUserIdWords> id;
  std::copy(request.requester.user_id, request.requester.user_id + kUserIdWords, id.begin());
  auto* dialog = new ConnectionRequestDialog(
      request,
      [this, id] {
        if (controller_) controller_->AcceptConnectionRequest(id.data());
      },
      [this, id] {
        if (controller_) controller_->DismissConnectionRequest(id.data());
      },
      this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
}

std::optional<std::string> MainWindow::AskRename(std::string_view original_name, std::string_view name) {
  return AskRenameDialog(this, original_name, name);
}

std::optional<std::string> MainWindow::ChooseFileToSend() {
  const QString path = QFileDialog::getOpenFileName(this, QString(), QString(), "All files (*)");
  if (path.isEmpty()) return std::nullopt;
  return path.toUtf8().toStdString();
}

void MainWindow::OpenAppWindow(AppWindow window, bool shown) {
  switch (window) {
    case AppWindow::kMain:
      if (shown) ShowAndRaise();
      break;
    case AppWindow::kSplash: OpenSplash(); break;
    case AppWindow::kAbout: {
      AboutDialog about(this);
      about.exec();
      break;
    }
    case AppWindow::kConnectTo: RunConnectTo(); break;
    case AppWindow::kSettings:
      if (settings_dialog_) settings_dialog_(this);
      break;
    // The chat windows come and go with their conversations.
    case AppWindow::kChats: break;
    case AppWindow::kLog:
    case AppWindow::kDownloads:
    case AppWindow::kNetwork:
    case AppWindow::kKademlia:
    case AppWindow::kFind:
      if (ToolWindow* tool = Tool(window)) tool->OpenToolWindow(shown);
      break;
  }
}

void MainWindow::CloseAppWindow(AppWindow window) {
  switch (window) {
    case AppWindow::kMain: hide(); break;
    case AppWindow::kSplash: CloseSplash(); break;
    case AppWindow::kLog:
    case AppWindow::kDownloads:
    case AppWindow::kNetwork:
    case AppWindow::kKademlia:
    case AppWindow::kFind:
      if (ToolWindow* tool = Tool(window)) tool->CloseToolWindow();
      break;
    default: break;  // see OpenAppWindow
  }
}

ToolWindow* MainWindow::Tool(AppWindow window) const {
  const auto it = tools_.find(window);
  return it == tools_.end() ? nullptr : it->second;
}

QWidget* MainWindow::DialogOwner() { return isVisible() ? this : nullptr; }

void MainWindow::ShowAndRaise() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void MainWindow::OpenSplash() {
  if (splash_) return;
  splash_ = new AboutDialog(nullptr);
  splash_->setAttribute(Qt::WA_DeleteOnClose);
  splash_->show();
}

void MainWindow::CloseSplash() {
  if (splash_) splash_->close();
}

// "Connect to IP:port": however the dialog goes, the address it holds is
// read, and a conversation opens when it is not 0.
void MainWindow::RunConnectTo() {
  ConnectToDialog dialog(this);
  dialog.exec();
  const uint32_t address = dialog.Address();
  if (address != 0 && actions_.connect_to) actions_.connect_to(address, dialog.Port());
}

void MainWindow::OnRowActivated(QListWidgetItem* item) {
  const std::optional<size_t> row = list_->RowOf(item);
  if (row && controller_) controller_->OpenRow(*row);
}

void MainWindow::OnSelectionChanged() {
  if (controller_) controller_->SelectRow(list_->SelectedRow());
}

void MainWindow::OnContextMenu(const QPoint& at) {
  const std::optional<size_t> row = list_->RowOf(list_->itemAt(at));
  if (!row || !controller_ || *row >= controller_->rows().size()) return;
  const std::optional<std::vector<ContactMenuItem>> items = controller_->ContactMenu(*row);
  if (!items) return;  // a row without a UserId offers no menu
  QMenu menu(this);
  for (const ContactMenuItem& item : *items) {
    QAction* action = menu.addAction(QString::fromStdString(item.text));
    action->setData(static_cast<uint>(item.command));
  }
  // The row's peer is taken now: ticks may rewrite the rows while the
  // menu is open.
  const std::optional<PeerRef> peer = RowPeer(controller_->rows()[*row]);
  QAction* chosen = menu.exec(list_->viewport()->mapToGlobal(at));
  if (chosen && peer && controller_)
    controller_->RunContactCommand(*peer, static_cast<ContactCommand>(chosen->data().toUInt()));
}

void MainWindow::RunRowCommand(size_t row, ContactCommand command) {
  if (!controller_ || row >= controller_->rows().size()) return;
  if (const std::optional<PeerRef> peer = RowPeer(controller_->rows()[row]))
    controller_->RunContactCommand(*peer, command);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (tray_ && tray_->isVisible())
    hide();
  else
    showMinimized();  // without a tray a hidden window could not come back
}

}  // namespace orv
