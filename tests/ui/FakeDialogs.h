// SPDX-License-Identifier: Apache-2.0
// Dialogs for tests: every box is recorded in order with its text and
// whether the busy pointer was on while it was open; questions and file
// dialogs answer from scripts.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include <QApplication>
#include <QFont>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include "ui/BackgroundWork.h"
#include "ui/Dialogs.h"

namespace quorlin::testing {

enum class BoxKind { Message, Confirm, Error, OpenFile, SaveFile, Font, SaveQuestion, Progress };

struct Box {
  BoxKind kind;
  QString text;
  bool busy;  // the busy pointer was on while the box was open
};

class FakeDialogs final : public ui::Dialogs {
 public:
  std::vector<Box> boxes;
  std::deque<bool> confirmAnswers;
  std::deque<ui::SaveChoice> saveAnswers;
  // The steps of a command's work (each time it tells its progress) seen
  // since the count was last cleared. With cancelAtStep set, the work's hook
  // (WorkHook) holds the worker at that step until the progress box has
  // cancelled, so that the cancel comes at that point and nowhere else.
  std::atomic<int> stepsSeen{0};
  std::atomic<int> cancelAtStep{0};  // 0: never
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
  ui::SaveChoice saveQuestion(const QString& text) override {
    Record(BoxKind::SaveQuestion, text);
    if (saveAnswers.empty()) {
      ADD_FAILURE() << "unexpected question: " << text.toStdString();
      return ui::SaveChoice::Cancel;
    }
    const ui::SaveChoice answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
  }
  std::unique_ptr<ui::ProgressBox> showProgress(const QString& what) override {
    Record(BoxKind::Progress, what);
    return std::make_unique<Progress>(*this);
  }

  // The hook for the window's work: counts its steps and holds the worker at
  // step cancelAtStep (for at most 20 seconds) until the box has cancelled.
  ui::WorkProgress::Hook WorkHook() {
    return [this](std::uint64_t, const std::atomic<bool>& cancel) {
      if (++stepsSeen != cancelAtStep.load()) return;
      held_ = true;
      for (int i = 0; i < 20000 && !cancel.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      held_ = false;
    };
  }
  // Recorded with the caption, where the dialog has its own.
  QString openFileName(const QString& folder, const QString&, const QString& caption) override {
    Record(BoxKind::OpenFile, caption.isEmpty() ? folder : folder + QLatin1Char('|') + caption);
    return NextFile();
  }
  QString saveFileName(const QString& folder, const QString& name, const QString& caption,
                       const QString&) override {
    Record(BoxKind::SaveFile, folder + QLatin1Char('|') + name +
                                  (caption.isEmpty() ? QString() : QLatin1Char('|') + caption));
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
  class Progress final : public ui::ProgressBox {
   public:
    explicit Progress(FakeDialogs& owner) : owner_(owner) {}
    void setProgress(std::uint64_t, std::uint64_t) override {}
    bool cancelled() override { return owner_.held_.load(); }

   private:
    FakeDialogs& owner_;
  };
  std::atomic<bool> held_{false};

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
