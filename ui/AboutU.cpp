// SPDX-License-Identifier: Apache-2.0
#include "ui/AboutU.h"

#include <QLabel>
#include <QPushButton>

#include "quorlin/Version.h"
#include "ui/Colours.h"
#include "ui/Fonts.h"

namespace quorlin::ui {
namespace {

struct LabelSpec {
  const char* name;
  int left, top;
  const char* caption;
};

constexpr LabelSpec kLabels[] = {
    {"Label1", 16, 8, "Quorlin Text File Editor and Formatter "},
    {"Label3", 304, 8, "Version 3.4.1.1  "},
    {"Label4", 16, 24, "Designed to Strip and Simplify ASCII Text and Data Files  "},
    {"Label5", 16, 40, kCopyright},
    {"Label6", 16, 56, kLicenceLine},
};

}  // namespace

TAboutQuorlin::TAboutQuorlin(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("AboutQuorlin"));
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  setWindowTitle(QStringLiteral("About Quorlin"));
  setFont(SansSerifFont(11, false));
  setFixedSize(400, 120);
  move(162, 107);

  for (const LabelSpec& entry : kLabels) {
    auto* label = new QLabel(QString::fromLatin1(entry.caption), this);
    label->setObjectName(QString::fromLatin1(entry.name));
    label->setTextFormat(Qt::PlainText);
    label->move(entry.left, entry.top);
    label->adjustSize();
  }
  Button1_ = new QPushButton(QStringLiteral("OK"), this);
  Button1_->setObjectName(QStringLiteral("Button1"));
  Button1_->setGeometry(328, 72, 41, 25);
  connect(Button1_, &QPushButton::clicked, this, &TAboutQuorlin::Button1Click);
}

void TAboutQuorlin::Button1Click() {
  close();
}

void TAboutQuorlin::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TAboutQuorlin::FormShow() {
  SetRole(this, QPalette::Window, kAboutBackground);
  setAutoFillBackground(true);
}

}  // namespace quorlin::ui
