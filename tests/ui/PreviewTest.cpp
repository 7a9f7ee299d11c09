// SPDX-License-Identifier: Apache-2.0
// The preview on the change page: its figures are those quorlin-batch
// --stats gives on the same text and request, it follows the request and
// the text, and its list steps through the changes a page at a time.
#include <QAccessible>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTextDocument>

#include "WindowFixture.h"
#include "ui/ChangePreview.h"

namespace quorlin::testing {
namespace {

// A text with something for every test: blank lines in a row, tags, leading
// numbers, keys at the start, middle and end, tabs, long and short lines.
const std::vector<std::string> kText = {"alpha key beta",
                                        "",
                                        "",
                                        "  12 apples",
                                        "<b>bold</b> text",
                                        "key at start",
                                        "ends with key",
                                        "\ttabbed\tline",
                                        "short",
                                        "a much longer line than most of the others",
                                        "KEY in capitals",
                                        "",
                                        "-3.5 below",
                                        "beta <i",
                                        "tail>",
                                        "alpha key beta",
                                        "last line"};

class Preview : public WindowTest {
 protected:
  const ui::ChangePreview& preview() { return form->preview(); }

  // The figures once the preview has settled on the request shown.
  std::optional<RunStats> Figures() {
    QSignalSpy shown(&preview(), &ui::ChangePreview::shown);
    for (int i = 0; i < 100 && (preview().pending() || !preview().shownFigures()); ++i) {
      if (!shown.wait(100) && !preview().pending()) break;
    }
    return preview().shownFigures();
  }

  // quorlin-batch's options for the request.
  static QStringList BatchArgs(const Req& r) {
    QStringList args{QStringLiteral("-t"), QString::number(r.test), QStringLiteral("-a"),
                     QString::number(r.action)};
    const std::pair<const char*, const std::string*> fields[] = {{"--key", &r.key},
                                                                 {"--repl", &r.repl},
                                                                 {"--first-line", &r.firstLine},
                                                                 {"--last-line", &r.lastLine},
                                                                 {"--length", &r.length},
                                                                 {"--first-char", &r.firstChar},
                                                                 {"--last-char", &r.lastChar},
                                                                 {"--repl-pos", &r.replPos}};
    for (const auto& [option, text] : fields) {
      if (!text->empty()) args << QLatin1String(option) << QString::fromLatin1(text->c_str());
    }
    if (r.retain) args << QStringLiteral("--retain");
    if (r.cs) args << QStringLiteral("-c");
    if (r.lower) args << QStringLiteral("--lower");
    if (r.upper) args << QStringLiteral("--upper");
    if (r.pattern) args << QStringLiteral("-E");
    return args;
  }

  // What quorlin-batch writes with these arguments: standard output, then
  // standard error.
  static std::pair<QByteArray, QByteArray> Batch(const QStringList& args) {
    QProcess batch;
    batch.start(QStringLiteral(QUORLIN_BATCH), args);
    EXPECT_TRUE(batch.waitForFinished(30000));
    return {batch.readAllStandardOutput(), batch.readAllStandardError()};
  }

  // quorlin-batch --dry-run's figures on the pane's text (more: options put
  // before the request's).
  static RunStats BatchFigures(const Req& r, const QString& input, const QStringList& more = {}) {
    const QString err = QString::fromLatin1(
        Batch(more + BatchArgs(r) << QStringLiteral("--dry-run") << input).second);
    static const QRegularExpression line(QStringLiteral(
        "^passed (\\d+), changed (\\d+), deleted (\\d+), added (\\d+), lines in (\\d+), lines out "
        "(\\d+)\\n$"));
    const QRegularExpressionMatch m = line.match(err);
    EXPECT_TRUE(m.hasMatch()) << err.toStdString();
    const auto n = [&](int i) { return m.captured(i).toULongLong(); };
    return {n(5), n(1), n(2), n(3), n(4), n(6)};
  }
};

TEST_F(Preview, FiguresAreThoseOfTheBatchProgramForEveryTest) {
  const Req rows[] = {
      {.test = 1, .action = 15},
      {.test = 2, .action = 14, .firstLine = "3", .lastLine = "9"},
      {.test = 3, .action = 31, .key = "key", .repl = "KEYS"},
      {.test = 4, .action = 20, .key = "key", .length = "4", .firstChar = "1"},
      {.test = 5, .action = 27, .key = "key", .repl = "added"},
      {.test = 6, .action = 22, .key = "key", .firstChar = "7", .cs = true},
      {.test = 7, .action = 18, .length = "10", .retain = true},
      {.test = 8, .action = 39, .length = "12"},
      {.test = 9, .action = 44},
      {.test = 10, .action = 34, .repl = "before"},
      {.test = 11, .action = 30},
      {.test = 12, .action = 26, .firstChar = "2", .lastChar = "4", .upper = true},
      {.test = 13, .action = 40, .key = "e"},
      {.test = 14, .action = 14},
      {.test = 3, .action = 32, .key = "zz", .firstChar = "3"},
      {.test = 1, .action = 43, .lower = true},
  };
  WriteFile(QStringLiteral("text.txt"), QByteArray::fromStdString([] {
              std::string s;
              for (const std::string& l : kText) s += l + "\n";
              return s;
            }()));
  Start({path(QStringLiteral("text.txt"))});
  for (const Req& r : rows) {
    SCOPED_TRACE("test " + std::to_string(r.test) + ", action " + std::to_string(r.action));
    EnterRequest(r);
    const std::optional<RunStats> shown = Figures();
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(*shown, BatchFigures(r, path(QStringLiteral("text.txt"))));
    EnterRequest({});  // fields emptied for the next row
  }
}

// On a UTF-8 text the window counts characters as quorlin-batch --encoding
// utf8 does: the same figures in the preview, the same bytes after OK; a
// pattern matches characters there too.
TEST_F(Preview, AUtf8TextChangesAsTheBatchProgramChangesIt) {
  const Req rows[] = {
      {.test = 1, .action = 16, .length = "4"},
      {.test = 7, .action = 18, .length = "9"},
      {.test = 4, .action = 25, .key = "b", .firstChar = "3", .lastChar = "4"},
      {.test = 1, .action = 20, .length = "3"},
      {.test = 1, .action = 32, .firstChar = "2"},
      {.test = 4, .action = 23, .key = "b.", .firstChar = "2", .pattern = true},
      {.test = 1, .action = 40, .key = "[^a-z ]", .pattern = true},
      {.test = 3, .action = 31, .key = "(.)(b)", .repl = "\\2\\1", .pattern = true},
  };
  const QByteArray text =
      "caf\xC3\xA9\tb\n\xE2\x82\xAC"
      "b\xF0\x9F\x98\x80xyz\nna\xC3\xAFve\n";
  WriteFile(QStringLiteral("text.txt"), text);
  Start({path(QStringLiteral("text.txt"))});
  ASSERT_EQ(pane().encoding(), text::Encoding::Utf8);
  const QStringList utf8{QStringLiteral("--encoding"), QStringLiteral("utf8")};
  for (const Req& r : rows) {
    SCOPED_TRACE("test " + std::to_string(r.test) + ", action " + std::to_string(r.action));
    EnterRequest(r);
    const std::optional<RunStats> shown = Figures();
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(*shown, BatchFigures(r, path(QStringLiteral("text.txt")), utf8));
    const QByteArray written = Batch(utf8 + QStringList{QStringLiteral("--lf")} + BatchArgs(r)
                                     << path(QStringLiteral("text.txt")))
                                   .first;
    ClickOk();
    EXPECT_EQ(PaneBytes(), written.toStdString());
    form->Undo1Click();
    EnterRequest({});
  }
}

// A pattern gives the preview the figures of quorlin-batch -E, and OK the
// bytes it writes on one thread and on three; a refused pattern is shown in
// the preview and in a box on OK as the batch program prints it.
TEST_F(Preview, PatternsAgreeWithTheBatchProgram) {
  // clang-format off
  const Req rows[] = {
      {.test = 3, .action = 31, .key = "(\\w+) (-?\\d+)", .repl = "\\2=\\1", .pattern = true},
      {.test = 5, .action = 40, .key = "\\bk|<", .pattern = true},
      {.test = 13, .action = 22, .key = "[a-z]+", .cs = true, .pattern = true},
      {.test = 4, .action = 24, .key = "<[^>]*>", .firstChar = "1", .pattern = true},
      {.test = 1, .action = 29, .key = "e.", .repl = "|", .upper = true, .pattern = true},
      {.test = 3, .action = 14, .key = "(key", .pattern = true},
  };
  // clang-format on
  std::string text;
  for (const std::string& l : kText) text += l + "\n";
  WriteFile(QStringLiteral("text.txt"), QByteArray::fromStdString(text));
  const QString input = path(QStringLiteral("text.txt"));
  Start({input});
  for (const Req& r : rows) {
    SCOPED_TRACE("pattern " + r.key + ", test " + std::to_string(r.test) + ", action " +
                 std::to_string(r.action));
    SetPaneLines(kText);
    EnterRequest(r);
    const auto [out, err] = Batch(BatchArgs(r) << input);
    if (!err.isEmpty()) {  // refused
      const QString why = QString::fromLatin1(err).trimmed();
      Figures();
      EXPECT_EQ(ui().previewFigures->text(), "<i>" + why.toHtmlEscaped() + "</i>");
      ClickOk();
      EXPECT_EQ(dialogs.texts(), QStringList{why});
      EXPECT_EQ(PaneLines(), kText);
      dialogs.boxes.clear();
      continue;
    }
    const std::optional<RunStats> shown = Figures();
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(*shown, BatchFigures(r, input));
    EXPECT_EQ(Batch(BatchArgs(r) << QStringLiteral("-j") << QStringLiteral("3") << input).first,
              out);
    ClickOk();
    std::string written;
    for (const std::string& l : PaneLines()) written += l + "\n";
    EXPECT_EQ(QByteArray::fromStdString(written), out);
    EXPECT_NE(written, text);
    dialogs.boxes.clear();
    EXPECT_FALSE(ui().keyIsPattern->isChecked());  // unchecked after the run, as the others
  }
  dialogs.saveAnswers = {ui::SaveChoice::Discard};
}

// The preview says why there are no figures while the request is refused,
// counts the field being typed in as if it were left, follows the pane's
// text, and steps through its changes a page at a time.
TEST_F(Preview, FollowsTheRequestAndTheTextAndStepsThroughTheChanges) {
  Start();
  std::vector<std::string> lines;
  for (int i = 1; i <= 120; ++i) lines.push_back("line " + std::to_string(i));
  SetPaneLines(lines);
  EnterRequest({.test = 3, .action = 14});
  EXPECT_FALSE(Figures());
  EXPECT_EQ(ui().previewFigures->text(), QStringLiteral("<i>Fill In Test Key Text</i>"));

  // Typed, not yet left: the preview counts it filled.
  QLineEdit* key = ui().field(Field::TestKey);
  key->setFocus();
  TypeText(key, QStringLiteral("1"));
  std::optional<RunStats> f = Figures();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->passed, 40u);  // 1, 10-19, 21, 31, ..., 100-119
  EXPECT_EQ(f->deleted, 40u);
  EXPECT_EQ(f->linesOut, 80u);

  // The list: a page of changes, each the line before and after.
  QListWidget* list = ui().previewList;
  ASSERT_EQ(list->count(), 2 * 40);
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("1: line 1"));
  EXPECT_EQ(list->item(1)->text(), QStringLiteral("\u2192 (deleted)"));
  EXPECT_FALSE(ui().previewNext->isEnabled());

  TypeText(key, QStringLiteral(" "));  // "1 ": lines 1 and 10-19 no more
  f = Figures();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->passed, 0u);
  EnterRequest({.test = 1, .action = 35, .repl = "!"});
  f = Figures();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->changed, 120u);
  EXPECT_EQ(ui().previewPage->text(), QStringLiteral("Changes 1-50"));
  ASSERT_TRUE(ui().previewNext->isEnabled());
  ui().previewNext->click();
  ui().previewNext->click();
  f = Figures();
  EXPECT_EQ(ui().previewPage->text(), QStringLiteral("Changes 101-120"));
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("101: line 101"));
  EXPECT_EQ(list->item(1)->text(), QStringLiteral("\u2192 line 101!"));
  EXPECT_FALSE(ui().previewNext->isEnabled());

  // A hand edit of the text and a run are followed.
  pane().setSelection(0, 0);
  pane().insertText(QStringLiteral("x"));
  f = Figures();
  ASSERT_TRUE(f);
  EXPECT_EQ(ui().previewPage->text(), QStringLiteral("Changes 1-50"));
  ClickOk();
  f = Figures();
  ASSERT_TRUE(f);
  EXPECT_EQ(list->item(1)->text(), QStringLiteral("\u2192 xline 1!!"));
  dialogs.saveAnswers = {ui::SaveChoice::Discard};
}

// The object's interface as a screen reader coming now meets it. (Qt's cached
// interface of a list keeps the cells of its last model while no assistive
// tool listens, as none does here.)
QAccessibleInterface* Fresh(QObject* object) {
  QAccessible::deleteAccessibleInterface(
      QAccessible::uniqueId(QAccessible::queryAccessibleInterface(object)));
  return QAccessible::queryAccessibleInterface(object);
}

// The words and numbers of a text, without its layout and punctuation.
QStringList Words(const QString& text) {
  QStringList words;
  QRegularExpressionMatchIterator it =
      QRegularExpression(QStringLiteral("[\\w.]+")).globalMatch(text);
  while (it.hasNext()) words << it.next().captured();
  return words;
}

// Screen readers read the figures as the words and numbers the screen shows
// (or the refusal shown instead), and each entry of the list as the line
// before or after its change; they hear the figures once, when they have
// settled, not at every key typed or preview counted on the way.
TEST_F(Preview, ScreenReadersReadTheFiguresAndHearThemOnceTheySettle) {
  Start();
  SetPaneLines({"alpha one", "beta", "", "all"});
  ShowChangePage();
  QSignalSpy told(&preview(), &ui::ChangePreview::announced);
  QAccessibleInterface* figures = QAccessible::queryAccessibleInterface(ui().previewFigures);
  const struct {
    const char* name;
    Req request;
    const char* typed;  // then typed into the test key, a key at a time
    const char* words;  // the figures' description
    QStringList entries;
  } rows[] = {
      {"refused: no key", {.test = 3, .action = 14}, "", "Fill In Test Key Text", {}},
      {"deleting the lines that hold the key typed",
       {.test = 3, .action = 14},
       "al",
       "If OK is pressed: passing 2, changed 0, deleted 2, added 0, lines after 2",
       {QStringLiteral("Line 1, before: alpha one"), QStringLiteral("Line 1, after: deleted"),
        QStringLiteral("Line 4, before: all"), QStringLiteral("Line 4, after: deleted")}},
      {"another request: an ending added to every line",
       {.test = 1, .action = 35, .repl = "!"},
       "",
       "If OK is pressed: passing 4, changed 4, deleted 0, added 0, lines after 4",
       {QStringLiteral("Line 1, before: alpha one"), QStringLiteral("Line 1, after: alpha one!"),
        QStringLiteral("Line 2, before: beta"), QStringLiteral("Line 2, after: beta!"),
        QStringLiteral("Line 3, before: "), QStringLiteral("Line 3, after: !"),
        QStringLiteral("Line 4, before: all"), QStringLiteral("Line 4, after: all!")}},
  };
  int announced = 0;
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    EnterRequest(r.request);
    QLineEdit* key = ui().field(Field::TestKey);
    for (const char* c = r.typed; *c != '\0'; ++c) {
      key->setFocus();
      TypeText(key, QString(QLatin1Char(*c)));
      ASSERT_TRUE(Figures());  // counted and shown at every key
    }
    Figures();
    // Once, after a pause; then no more.
    for (int i = 0; i < 40 && told.count() == announced; ++i) QTest::qWait(50);
    QTest::qWait(900);
    EXPECT_EQ(told.count(), ++announced);

    QTextDocument shown;
    shown.setHtml(ui().previewFigures->text());
    EXPECT_EQ(figures->text(QAccessible::Name), QStringLiteral("Figures of the change"));
    EXPECT_EQ(figures->text(QAccessible::Description), QLatin1String(r.words));
    EXPECT_EQ(Words(figures->text(QAccessible::Description)), Words(shown.toPlainText()));
    QStringList entries;
    QAccessibleInterface* list = Fresh(ui().previewList);
    for (int i = 0; i < list->childCount(); ++i) entries << list->child(i)->text(QAccessible::Name);
    EXPECT_EQ(entries, r.entries);
  }
  dialogs.saveAnswers = {ui::SaveChoice::Discard};
}

}  // namespace
}  // namespace quorlin::testing
