#include "ui/TextPane.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>

#include "ui/Western.h"

namespace quorlin::ui {
namespace {

// Text arriving from the keyboard or the clipboard: line and paragraph
// separators become plain line breaks, and the rest is limited to the set.
QString IncomingText(QStringView text) {
  QString plain = text.toString();
  plain.replace(QChar::LineSeparator, QLatin1Char('\n'));
  plain.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  return WesternOnly(plain);
}

}  // namespace

TextPane::TextPane(QWidget* parent) : QPlainTextEdit(parent) {
  // The scroll bar's first appearance would lay out every line again, which on
  // a million-line text costs seconds; keeping it on avoids that.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setTabChangesFocus(false);
  // The selection stays as visible when the pane loses the focus (to the find
  // dialog, a menu, another page).
  QPalette colours = palette();
  for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
  }
  setPalette(colours);
}

std::size_t TextPane::lineCount() const {
  const QTextDocument* doc = document();
  const int blocks = doc->blockCount();
  const bool lastEmpty = doc->lastBlock().length() <= 1;  // length counts the break
  return std::size_t(blocks - (lastEmpty ? 1 : 0));
}

LineList TextPane::lines() const {
  // The raw text keeps every character as shown (byte 160 stays a no-break
  // space) and marks each break between blocks with U+2029: one pass over it
  // is much cheaper than a string per block. An empty last block is no line.
  const QString raw = document()->toRawText();
  std::string joined;
  joined.reserve(std::size_t(raw.size()) + 1);
  AppendWesternParagraphs(joined, raw);
  return LineList::fromJoined(std::move(joined));
}

void TextPane::setLines(const LineList& lines) {
  // joined() is every line followed by a line break: the empty block after the
  // last break is the "no line" that lines() leaves out.
  const QString text = DecodeWestern(lines.joined());
  QTextDocument* doc = document();
  const bool undo = doc->isUndoRedoEnabled();
  doc->setUndoRedoEnabled(false);
  setPlainText(text);
  doc->setUndoRedoEnabled(undo);
}

void TextPane::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::InsertLineSeparator)) {
    // A soft line break would be no line break in the document's lines.
    textCursor().insertText(QStringLiteral("\n"));
    ensureCursorVisible();
    event->accept();
    return;
  }
  const QString text = event->text();
  if (!text.isEmpty() && text.at(0).isPrint() && !IsWesternOnly(text)) {
    QKeyEvent limited(event->type(), event->key(), event->modifiers(), WesternOnly(text),
                      event->isAutoRepeat(), ushort(event->count()));
    QPlainTextEdit::keyPressEvent(&limited);
    event->setAccepted(limited.isAccepted());
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void TextPane::inputMethodEvent(QInputMethodEvent* event) {
  if (IsWesternOnly(event->commitString())) {
    QPlainTextEdit::inputMethodEvent(event);
    return;
  }
  QInputMethodEvent limited(event->preeditString(), event->attributes());
  limited.setCommitString(IncomingText(event->commitString()), event->replacementStart(),
                          event->replacementLength());
  QPlainTextEdit::inputMethodEvent(&limited);
}

QMimeData* TextPane::createMimeDataFromSelection() const {
  QString text = textCursor().selectedText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  auto* data = new QMimeData;
  data->setText(text);
  return data;
}

void TextPane::insertFromMimeData(const QMimeData* source) {
  if (source == nullptr || !source->hasText()) {
    QPlainTextEdit::insertFromMimeData(source);
    return;
  }
  textCursor().insertText(IncomingText(source->text()));
  ensureCursorVisible();
}

}  // namespace quorlin::ui
