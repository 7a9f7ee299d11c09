// SPDX-License-Identifier: Apache-2.0
// The preview on the page "Make Global Changes": as soon as the request is
// complete and valid, the figures the run would give on the pane's text
// (lines passing, changed, deleted, added, and the count after the run) and
// a list of its first changes, a page at a time. It runs the engine on a
// worker thread over a snapshot of the text; a newer request cancels an
// older one, and the window never waits for it. Screen readers read the
// figures (or why there are none) as words in the figures' description, and
// hear them once they have settled; each entry of the list reads as the line
// before or after the change. While the change page holds a recipe, the
// preview shows the recipe's steps, each with its figures, and what the
// whole recipe would give; changing a control of the page lets the recipe
// go.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QObject>
#include <QString>
#include <QTimer>

#include "engine/ChangeRequest.h"
#include "engine/ChangeRun.h"
#include "engine/Recipe.h"
#include "text/Text.h"

namespace quorlin::ui {

class ChangePage;
struct MainWindowUi;

// One change as the list shows it.
struct PreviewChange {
  std::uint64_t line = 0, taken = 1;
  std::string before;
  std::vector<std::string> after;
};

// What one preview found: the figures and a page of changes, or why there
// are none (the request's refusal, the run's own stop).
struct PreviewResult {
  std::optional<RunStats> figures;
  std::vector<PreviewChange> changes;  // from change number `first` on
  std::uint64_t first = 0;
  bool more = false;  // changes beyond this page
  std::vector<std::string> why;
  // Of a recipe: the figures of each step (figures then holds the whole
  // recipe's), and the steps as the recipe file writes them.
  std::vector<RunStats> stepFigures;
  std::vector<std::string> steps;
};

class ChangePreview : public QObject {
  Q_OBJECT
 public:
  // Changes listed on a page.
  static constexpr std::size_t kPageSize = 50;

  ChangePreview(MainWindowUi& ui, ChangePage& page);
  ~ChangePreview() override;

  // Puts the figures right of the test group and the list below OK, in the
  // page's free space, without moving a control of the page; the list is
  // left out where there is no room for it.
  void place();
  // The figures shown now, when the preview is current.
  std::optional<RunStats> shownFigures() const;
  // Counts afresh: what the preview shows no longer holds (a recipe held or
  // let go by the page).
  void refresh() { requestChanged(); }
  // Whether a preview is waiting or running.
  bool pending() const { return pending_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  // A result was shown (also one that says why there are none).
  void shown();
  // The figures, or why there are none, were told to screen readers.
  void announced();

 private:
  struct Job {
    std::uint64_t generation = 0;
    text::Text text;
    ChangeRequest request;
    std::uint64_t first = 0;
    std::optional<Recipe> recipe;  // run instead of the request
  };

  void requestChanged();
  // A control of the page changed: a recipe held is let go.
  void controlChanged();
  void showRecipe(const PreviewResult& result);
  void start();
  void step(int pages);
  void finished(std::uint64_t generation);
  void show(const PreviewResult& result);
  void setFigures(const QString& shown, const QString& words);
  void announce();
  void work();

  MainWindowUi& ui_;
  ChangePage& page_;
  QTimer settle_;      // lets a burst of keystrokes end before a preview starts
  QTimer counting_;    // says "Counting..." when a preview takes a while
  QTimer announce_;    // tells screen readers the figures once they have settled
  QString announced_;  // the words they were last told
  bool pending_ = false, stale_ = true;
  std::uint64_t first_ = 0;
  std::optional<RunStats> shown_;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<Job> job_;             // the next job, under mutex_
  bool stop_ = false;                  // under mutex_
  std::optional<PreviewResult> done_;  // the last result, under mutex_
  std::uint64_t doneGeneration_ = 0;   // under mutex_
  std::atomic<std::uint64_t> generation_{0};
  std::thread worker_;
};

}  // namespace quorlin::ui
