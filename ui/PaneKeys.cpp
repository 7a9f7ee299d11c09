// SPDX-License-Identifier: Apache-2.0
#include "ui/PaneKeys.h"

#include <QKeyEvent>
#include <QKeySequence>

namespace quorlin::ui {
namespace {

using Command = PaneKey::Command;
using text::Move;

struct Binding {
  QKeySequence::StandardKey key;
  PaneKey does;
};

// In the order they are tried: the first that matches wins.
// clang-format off
constexpr Binding kBindings[] = {
    {QKeySequence::MoveToNextChar,            {Command::Move, Move::NextChar, false}},
    {QKeySequence::MoveToPreviousChar,        {Command::Move, Move::PrevChar, false}},
    {QKeySequence::MoveToNextWord,            {Command::Move, Move::NextWord, false}},
    {QKeySequence::MoveToPreviousWord,        {Command::Move, Move::PrevWord, false}},
    {QKeySequence::MoveToNextLine,            {Command::Move, Move::NextRow, false}},
    {QKeySequence::MoveToPreviousLine,        {Command::Move, Move::PrevRow, false}},
    {QKeySequence::MoveToStartOfLine,         {Command::Move, Move::RowStart, false}},
    {QKeySequence::MoveToEndOfLine,           {Command::Move, Move::RowEnd, false}},
    {QKeySequence::MoveToStartOfBlock,        {Command::Move, Move::LineStart, false}},
    {QKeySequence::MoveToEndOfBlock,          {Command::Move, Move::LineEnd, false}},
    {QKeySequence::MoveToStartOfDocument,     {Command::Move, Move::TextStart, false}},
    {QKeySequence::MoveToEndOfDocument,       {Command::Move, Move::TextEnd, false}},
    {QKeySequence::MoveToNextPage,            {Command::Move, Move::NextPage, false}},
    {QKeySequence::MoveToPreviousPage,        {Command::Move, Move::PrevPage, false}},
    {QKeySequence::SelectNextChar,            {Command::Move, Move::NextChar, true}},
    {QKeySequence::SelectPreviousChar,        {Command::Move, Move::PrevChar, true}},
    {QKeySequence::SelectNextWord,            {Command::Move, Move::NextWord, true}},
    {QKeySequence::SelectPreviousWord,        {Command::Move, Move::PrevWord, true}},
    {QKeySequence::SelectNextLine,            {Command::Move, Move::NextRow, true}},
    {QKeySequence::SelectPreviousLine,        {Command::Move, Move::PrevRow, true}},
    {QKeySequence::SelectStartOfLine,         {Command::Move, Move::RowStart, true}},
    {QKeySequence::SelectEndOfLine,           {Command::Move, Move::RowEnd, true}},
    {QKeySequence::SelectStartOfBlock,        {Command::Move, Move::LineStart, true}},
    {QKeySequence::SelectEndOfBlock,          {Command::Move, Move::LineEnd, true}},
    {QKeySequence::SelectStartOfDocument,     {Command::Move, Move::TextStart, true}},
    {QKeySequence::SelectEndOfDocument,       {Command::Move, Move::TextEnd, true}},
    {QKeySequence::SelectNextPage,            {Command::Move, Move::NextPage, true}},
    {QKeySequence::SelectPreviousPage,        {Command::Move, Move::PrevPage, true}},
    {QKeySequence::Undo,                      {Command::Undo}},
    {QKeySequence::Redo,                      {Command::Redo}},
    {QKeySequence::Copy,                      {Command::CopySelection}},
    {QKeySequence::Cut,                       {Command::CutSelection}},
    {QKeySequence::Paste,                     {Command::PasteClipboard}},
    {QKeySequence::SelectAll,                 {Command::SelectAll}},
    {QKeySequence::DeleteStartOfWord,         {Command::DeleteWordBefore}},
    {QKeySequence::DeleteEndOfWord,           {Command::DeleteWordAfter}},
    {QKeySequence::Delete,                    {Command::DeleteForward}},
};

// The standard keys the pane takes before the window's shortcuts.
constexpr QKeySequence::StandardKey kOwnKeys[] = {
    QKeySequence::Copy,                  QKeySequence::Cut,
    QKeySequence::Paste,                 QKeySequence::Undo,
    QKeySequence::Redo,                  QKeySequence::SelectAll,
    QKeySequence::Delete,                QKeySequence::DeleteStartOfWord,
    QKeySequence::DeleteEndOfWord,       QKeySequence::MoveToNextWord,
    QKeySequence::MoveToPreviousWord,    QKeySequence::MoveToStartOfDocument,
    QKeySequence::MoveToEndOfDocument,   QKeySequence::SelectNextWord,
    QKeySequence::SelectPreviousWord,    QKeySequence::SelectStartOfDocument,
    QKeySequence::SelectEndOfDocument,
};
// clang-format on

}  // namespace

PaneKey KeyOf(const QKeyEvent& e) {
  for (const Binding& b : kBindings) {
    if (e.matches(b.key)) return b.does;
  }
  const Qt::KeyboardModifiers mods = e.modifiers();
  if (e.key() == Qt::Key_Backspace && !(mods & ~(Qt::ShiftModifier | Qt::KeypadModifier)))
    return {Command::DeleteBack};
  if (e.matches(QKeySequence::InsertParagraphSeparator) ||
      e.matches(QKeySequence::InsertLineSeparator))
    return {Command::LineBreak};
  if (e.key() == Qt::Key_Tab && !(mods & (Qt::ControlModifier | Qt::AltModifier)))
    return {Command::Tab};
  const QString typed = e.text();
  // A letter with Control, Alt or Meta is a command, not text; Control with
  // Alt is AltGr on Windows, which types.
  const Qt::KeyboardModifiers held =
      mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  const bool command = held != Qt::NoModifier && held != (Qt::ControlModifier | Qt::AltModifier);
  if (typed.isEmpty() || command || !(typed.at(0).isPrint() || typed.at(0).isSurrogate()))
    return {};
  return {Command::Type};
}

bool PaneOwnsKey(const QKeyEvent& e) {
  for (const QKeySequence::StandardKey k : kOwnKeys) {
    if (e.matches(k)) return true;
  }
  const Qt::KeyboardModifiers mods = e.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
  return mods == Qt::NoModifier && (e.key() < Qt::Key_Escape || e.key() == Qt::Key_Backspace ||
                                    e.key() == Qt::Key_Home || e.key() == Qt::Key_End);
}

}  // namespace quorlin::ui
