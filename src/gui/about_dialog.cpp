#include "gui/about_dialog.hpp"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "gui/icons.hpp"

namespace orv {

const char* const kAboutText =
    "ORV Telephone Beta 1.6 298 64-Bit 04/20/14\n"
    "\n"
    "ORV Telephone lets two people talk and write to each other over the "
    "internet without any server in between. Every person is a key pair made "
    "on their own computer; calls, messages and files travel encrypted from "
    "one end to the other, and the contact list is signed with the user's "
    "own key.\n"
    "\n"
    "Peers find each other through a distributed table kept by the running "
    "telephones themselves. No account, no directory, no company sits in the "
    "middle.\n"
    "\n"
    "This program is provided as it is, without any warranty. Use it at your "
    "own risk, and keep your key file and its password to yourself: whoever "
    "holds both can speak as you.\n"
    "\n"
    "Releases are signed by their makers; check a release's signature before "
    "you install it.\n";

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("About");
  setWindowIcon(ProgramIcon());
  auto* picture = new QLabel(this);
  picture->setPixmap(AboutPicture());
  picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
  picture->setContentsMargins(2, 40, 2, 2);
  auto* text = new QPlainTextEdit(QString::fromUtf8(kAboutText), this);
  text->setReadOnly(true);
  text->setMinimumSize(360, 240);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* row = new QHBoxLayout;
  row->addWidget(picture);
  row->addWidget(text, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(buttons);
}

}  // namespace orv
