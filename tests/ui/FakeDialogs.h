// Dialogs for tests: every box is recorded in order with its text and
// whether the busy pointer was on while it was open; questions and file
// dialogs answer from scripts.
#pragma once

#include <deque>
#include <optional>
#include <vector>

#include <QApplication>
#include <QFont>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include "ui/Dialogs.h"

namespace quorlin::testing {

enum class BoxKind { Message, Confirm, Error, OpenFile, SaveFile, Font };

struct Box {
  BoxKind kind;
  QString text;
  bool busy;  // the busy pointer was on while the box was open
};

class FakeDialogs final : public ui::Dialogs {
 public:
  std::vector<Box> boxes;
  std::deque<bool> confirmAnswers;
  std::deque<QString> fileAnswers;
  // The font dialog's answers in order; no value is Cancel, and so is an
  // exhausted script. The font each dialog started from is recorded.
  std::deque<std::optional<QFont>> fontAnswers;
  std::vector<QFont> fontsOffered;

  void message(const QString& text) override { Record(BoxKind::Message, text); }
  bool confirm(const QString& text) override {
    Record(BoxKind::Confirm, text);
    if (confirmAnswers.empty()) {
      ADD_FAILURE() << "unexpected question: " << text.toStdString();
      return false;
    }
    const bool answer = confirmAnswers.front();
    confirmAnswers.pop_front();
    return answer;
  }
  void error(const QString& text) override { Record(BoxKind::Error, text); }
  QString openFileName(const QString& folder, const QString&) override {
    Record(BoxKind::OpenFile, folder);
    return NextFile();
  }
  QString saveFileName(const QString& folder, const QString& name) override {
    Record(BoxKind::SaveFile, folder + QLatin1Char('|') + name);
    return NextFile();
  }
  std::optional<QFont> chooseFont(const QFont& initial) override {
    Record(BoxKind::Font, initial.family());
    fontsOffered.push_back(initial);
    if (fontAnswers.empty()) return std::nullopt;
    std::optional<QFont> answer = fontAnswers.front();
    fontAnswers.pop_front();
    return answer;
  }

  // The texts of the boxes of one kind, in order.
  QStringList texts(BoxKind kind = BoxKind::Message) const {
    QStringList out;
    for (const Box& b : boxes) {
      if (b.kind == kind) out << b.text;
    }
    return out;
  }
  // Every box's text, whatever its kind, in order.
  QStringList allTexts() const {
    QStringList out;
    for (const Box& b : boxes) out << b.text;
    return out;
  }

 private:
  void Record(BoxKind kind, const QString& text) {
    boxes.push_back({kind, text, QApplication::overrideCursor() != nullptr});
  }
  QString NextFile() {
    if (fileAnswers.empty()) return {};
    QString f = fileAnswers.front();
    fileAnswers.pop_front();
    return f;
  }
};

}  // namespace quorlin::testing
