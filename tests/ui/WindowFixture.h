// SPDX-License-Identifier: Apache-2.0
// A main window in a folder of its own, driven as a user would: shown and
// active, fields typed into and left with Tab, buttons clicked.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSize>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "FakeDialogs.h"
#include "app/UQuorlin.h"
#include "engine/LineList.h"
#include "tests/support/Req.h"
#include "text/Text.h"
#include "text/TextLines.h"
#include "ui/MainWindowUi.h"
#include "ui/TextPane.h"

// Readable failure output for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}

namespace quorlin::testing {

using app::FormOptions;
using app::TForm1;

// Types text as key presses, one per character; characters beyond ASCII (which
// QTest cannot type) arrive as key events carrying their text.
inline void TypeText(QWidget* widget, const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c.unicode() < 0x80) {
      QTest::keyClick(widget, char(c.unicode()));
      continue;
    }
    const qsizetype n = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    const QString unit = text.mid(i, n);
    i += n - 1;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, unit);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, unit);
    QApplication::sendEvent(widget, &release);
  }
}

inline std::vector<std::string> Lines(const LineList& list) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < list.size(); ++i) out.emplace_back(list[i]);
  return out;
}

inline std::vector<std::string> Lines(const text::Text& t) {
  std::vector<std::string> out;
  text::TextLineSource source(t);
  std::string_view line;
  while (source.next(line)) out.emplace_back(line);
  return out;
}

// A text of these lines, each followed by a line break.
inline text::Text TextOf(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& l : lines) bytes.append(l).push_back('\n');
  return text::Text::fromBytes(bytes);
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

  QString folder() const { return dir_.path(); }
  QString path(const QString& name) const { return dir_.filePath(name); }
  bool exists(const QString& name) const { return QFile::exists(path(name)); }

  void WriteFile(const QString& name, const QByteArray& bytes) const {
    QFile f(path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
  }
  QByteArray ReadFile(const QString& name) const {
    QFile f(path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  // Creates, shows and activates the window; the work folder is this test's.
  void Start(const QStringList& arguments = {}, std::optional<QSize> screen = std::nullopt) {
    FormOptions options;
    options.arguments = arguments;
    options.programFolder = folder();
    options.screenSize = screen;
    options.dialogs = &dialogs;
    options.printSystem = printSystem;
    options.work.delayMs = workDelayMs;
    options.work.hook = dialogs.WorkHook();
    options.localeEncoding = localeEncoding;
    form = std::make_unique<TForm1>(options);
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QCoreApplication::processEvents();
  }

  ui::MainWindowUi& ui() { return form->controls(); }
  ui::TextPane& pane() { return *ui().pane; }

  std::vector<std::string> PaneLines() { return Lines(pane().text()); }
  void SetPaneLines(const std::vector<std::string>& lines) { pane().setText(TextOf(lines)); }
  // The pane's bytes as they stand.
  std::string PaneBytes() { return pane().text().slice(0, pane().text().size()); }
  void Select(std::size_t anchor, std::size_t position) { pane().setSelection(anchor, position); }

  void ShowChangePage() {
    ui().pages->setCurrentWidget(ui().changesPage);
    QCoreApplication::processEvents();
  }

  // Types text into the field (replacing what it held) and leaves it with Tab.
  void TypeAndLeave(QLineEdit* field, const QString& text) {
    ShowChangePage();
    field->setFocus(Qt::MouseFocusReason);
    field->selectAll();
    if (text.isEmpty()) {
      QTest::keyClick(field, Qt::Key_Delete);
    } else {
      TypeText(field, text);
    }
    QTest::keyClick(field, Qt::Key_Tab);
    QCoreApplication::processEvents();
  }

  void ClickOk() {
    ShowChangePage();
    QTest::mouseClick(ui().okButton, Qt::LeftButton);
    QCoreApplication::processEvents();
  }

  // Puts a request on the change page as a user does: its buttons clicked,
  // its fields typed and left, its option boxes checked.
  void EnterRequest(const Req& r) {
    ShowChangePage();
    ui().testButton(TestCode(r.test))->click();
    ui().actionButton(ActionCode(r.action))->click();
    const std::pair<Field, const std::string*> fields[] = {{Field::TestKey, &r.key},
                                                           {Field::ReplacementKey, &r.repl},
                                                           {Field::FirstLineNum, &r.firstLine},
                                                           {Field::LastLineNum, &r.lastLine},
                                                           {Field::LineLength, &r.length},
                                                           {Field::FirstCharPos, &r.firstChar},
                                                           {Field::LastCharPos, &r.lastChar},
                                                           {Field::ReplPos, &r.replPos}};
    for (const auto& [f, text] : fields) {
      if (!text->empty() || !ui().field(f)->text().isEmpty())
        TypeAndLeave(ui().field(f), QString::fromLatin1(text->c_str()));
    }
    const std::pair<QCheckBox*, bool> boxes[] = {{ui().retainPassingOnly, r.retain},
                                                 {ui().caseSensitive, r.cs},
                                                 {ui().outputLowerCase, r.lower},
                                                 {ui().outputUpperCase, r.upper},
                                                 {ui().keyIsPattern, r.pattern}};
    for (const auto& [box, on] : boxes) {
      if (box->isChecked() != on) box->click();
    }
  }

  QTemporaryDir dir_;
  FakeDialogs dialogs;
  // Where File > Print sends the text; none: the system's default printer.
  app::PrintSystem* printSystem = nullptr;
  // Long commands show their progress box after this long: never, unless a
  // test asks for it.
  int workDelayMs = 600000;
  // The encoding of the locale the window starts in; none: the process's.
  std::optional<text::Encoding> localeEncoding;
  std::unique_ptr<TForm1> form;
};

}  // namespace quorlin::testing
