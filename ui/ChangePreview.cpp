// SPDX-License-Identifier: Apache-2.0
#include "ui/ChangePreview.h"

#include <new>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <QCheckBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QWidget>

#include "text/TextLines.h"
#include "ui/ChangePage.h"
#include "ui/Colours.h"
#include "ui/Encodings.h"
#include "ui/MainWindowUi.h"
#include "ui/SpokenLabel.h"
#include "ui/TextPane.h"
#include "ui/Timing.h"

namespace quorlin::ui {
namespace {

// Thrown on the worker when a newer request has come.
struct Superseded {};

// The text's lines, until a newer request comes.
class CurrentLines final : public LineSource {
 public:
  CurrentLines(const text::Text& text, const std::atomic<std::uint64_t>& generation,
               std::uint64_t mine)
      : lines_(text), generation_(generation), mine_(mine) {}
  bool next(std::string_view& line) override {
    if (generation_.load(std::memory_order_relaxed) != mine_) throw Superseded();
    return lines_.next(line);
  }

 private:
  text::TextLineSource lines_;
  const std::atomic<std::uint64_t>& generation_;
  std::uint64_t mine_;
};

// Where the lines of a preview go: nowhere, but a newer request stops the
// sorted lines of action 32 too, which come after the last line is read.
class Nowhere final : public LineSink {
 public:
  Nowhere(const std::atomic<std::uint64_t>& generation, std::uint64_t mine)
      : generation_(generation), mine_(mine) {}
  void write(std::string_view /*line*/) override {
    if ((++written_ & 0xFFF) == 0 && generation_.load(std::memory_order_relaxed) != mine_)
      throw Superseded();
  }
  void writeExpanded(std::string_view raw, int /*tabWidth*/) override { write(raw); }

 private:
  const std::atomic<std::uint64_t>& generation_;
  std::uint64_t mine_;
  std::uint64_t written_ = 0;
};

// Keeps the page of changes from number `first` on.
class PageOfChanges final : public RunObserver {
 public:
  PageOfChanges(std::uint64_t first, std::size_t count) : first_(first), count_(count) {}
  bool changed(const LineChange& c) override {
    if (seen_++ < first_) return true;
    if (changes.size() == count_) {
      more = true;
      return false;
    }
    changes.push_back({c.line, c.taken, std::string(c.before), {c.after.begin(), c.after.end()}});
    return true;
  }
  std::vector<PreviewChange> changes;
  bool more = false;

 private:
  std::uint64_t first_, seen_ = 0;
  std::size_t count_;
};

QString Count(std::uint64_t n) {
  return QLocale(QLocale::English, QLocale::UnitedStates).toString(qulonglong(n));
}

// A line as the list shows it: its bytes read in the text's encoding, each
// tab as one tab mark, so that a short list stays readable.
QString Shown(std::string_view line, Encoding encoding) {
  QString s = DecodeText(line, encoding);
  s.replace(QLatin1Char('\t'), QChar(0x21E5));
  return s;
}

}  // namespace

ChangePreview::ChangePreview(MainWindowUi& ui, ChangePage& page) : ui_(ui), page_(page) {
  settle_.setSingleShot(true);
  settle_.setInterval(120);
  connect(&settle_, &QTimer::timeout, this, &ChangePreview::start);
  counting_.setSingleShot(true);
  counting_.setInterval(300);
  connect(&counting_, &QTimer::timeout, this,
          [this] { setFigures(QStringLiteral("Counting..."), QStringLiteral("Counting...")); });
  // Long enough for a pause in typing, short enough to follow it.
  announce_.setSingleShot(true);
  announce_.setInterval(800);
  connect(&announce_, &QTimer::timeout, this, &ChangePreview::announce);

  for (const auto& [code, button] : ui_.testButtons)
    connect(button, &QAbstractButton::toggled, this, &ChangePreview::controlChanged);
  for (const auto& [code, button] : ui_.actionButtons)
    connect(button, &QAbstractButton::toggled, this, &ChangePreview::controlChanged);
  for (QCheckBox* box : {ui_.retainPassingOnly, ui_.caseSensitive, ui_.outputLowerCase,
                         ui_.outputUpperCase, ui_.keyIsPattern})
    connect(box, &QAbstractButton::toggled, this, &ChangePreview::controlChanged);
  for (QLineEdit* field : ui_.fields)
    connect(field, &QLineEdit::textChanged, this, &ChangePreview::controlChanged);
  connect(ui_.pane, &TextPane::textChanged, this, &ChangePreview::requestChanged);
  connect(ui_.pane, &TextPane::encodingChanged, this, &ChangePreview::requestChanged);
  connect(ui_.pages, &QTabWidget::currentChanged, this, [this] {
    if (stale_ && ui_.pages->currentWidget() == ui_.changesPage) start();
  });
  connect(ui_.previewPrevious, &QPushButton::clicked, this, [this] { step(-1); });
  connect(ui_.previewNext, &QPushButton::clicked, this, [this] { step(1); });
  ui_.changesPage->installEventFilter(this);

  worker_ = std::thread([this] { work(); });
}

ChangePreview::~ChangePreview() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  ++generation_;  // stops the preview under way
  wake_.notify_one();
  worker_.join();
}

bool ChangePreview::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_.changesPage && event->type() == QEvent::Resize) place();
  return QObject::eventFilter(watched, event);
}

void ChangePreview::place() {
  const QWidget* page = ui_.changesPage;
  const QRect tests = ui_.testGroup->geometry();
  const QRect actions = ui_.actionGroup->geometry();
  const QRect ok = ui_.okButton->geometry();
  const int numberRowTop = ui_.field(Field::FirstLineNum)->geometry().top();
  constexpr int kGap = 8;

  const int figuresLeft = tests.right() + 1 + kGap;
  const int figuresTop = tests.top() + kGap;
  ui_.previewFigures->setGeometry(figuresLeft, figuresTop, page->width() - figuresLeft - kGap,
                                  numberRowTop - figuresTop - kGap);

  const int listLeft = actions.right() + 1 + kGap;
  const int listTop = ok.bottom() + 1 + kGap;
  const int listWidth = page->width() - listLeft - kGap;
  // Down to the page's foot, or to the row of option boxes where it reaches
  // below the list.
  const QRect lastBox = ui_.keyIsPattern->geometry();
  const int listBottom = lastBox.right() >= listLeft ? lastBox.top() : page->height();
  const int listHeight = listBottom - listTop - kGap;
  // Room for the page's buttons and at least two changes.
  const bool room = listWidth >= 80 && listHeight >= 110;
  ui_.previewChanges->setGeometry(listLeft, listTop, std::max(listWidth, 0),
                                  std::max(listHeight, 0));
  ui_.previewChanges->setVisible(room);
}

std::optional<RunStats> ChangePreview::shownFigures() const {
  if (pending_ || stale_) return std::nullopt;
  return shown_;
}

void ChangePreview::requestChanged() {
  ++generation_;  // whatever runs now is out of date
  announce_.stop();
  first_ = 0;
  stale_ = true;
  pending_ = true;
  if (ui_.pages->currentWidget() == ui_.changesPage) settle_.start();
}

void ChangePreview::controlChanged() {
  page_.dropRecipe();
  requestChanged();
}

void ChangePreview::step(int pages) {
  const auto delta = static_cast<std::int64_t>(kPageSize) * pages;
  if (delta < 0 && first_ < static_cast<std::uint64_t>(-delta)) return;
  first_ = static_cast<std::uint64_t>(static_cast<std::int64_t>(first_) + delta);
  ++generation_;
  start();
}

void ChangePreview::start() {
  settle_.stop();
  stale_ = false;
  Job job{0, ui_.pane->text(), ChangeRequest(), first_, std::nullopt};
  if (page_.recipe() != nullptr) {
    job.recipe = page_.recipeToRun();
  } else {
    std::vector<std::string> why;
    std::optional<ChangeRequest> request = page_.previewRequest(why);
    if (!request) {
      ++generation_;
      PreviewResult refused;
      refused.why = std::move(why);
      show(refused);
      return;
    }
    job.request = std::move(*request);
  }
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    job.generation = ++generation_;
    job_ = std::move(job);
  }
  wake_.notify_one();
  pending_ = true;
  counting_.start();
}

void ChangePreview::work() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stop_ || job_.has_value(); });
      if (stop_) return;
      job = std::move(*job_);
      job_.reset();
    }
    PreviewResult result;
    result.first = job.first;
    QElapsedTimer clock;
    clock.start();
    try {
      CurrentLines lines(job.text, generation_, job.generation);
      Nowhere sink(generation_, job.generation);
      PageOfChanges page(job.first, kPageSize);
      RunStats figures;
      RunResult run;
      if (job.recipe) {
        run = RunRecipe(*job.recipe, lines, sink, &result.stepFigures);
        for (const RecipeStep& step : job.recipe->steps)
          result.steps.push_back(StepLine(step.request, step.terminator));
        // What the whole recipe leaves is what its last step leaves.
        if (!result.stepFigures.empty()) figures = result.stepFigures.back();
      } else {
        run = RunChange(job.request, lines, sink, &figures, &page);
      }
      if (run.completed) {
        result.figures = figures;
        result.changes = std::move(page.changes);
        result.more = page.more;
      } else {
        result.why = std::move(run.messages);
      }
    } catch (const Superseded&) {
      continue;
    } catch (const std::bad_alloc&) {
      result.why.assign(1, "Not enough memory to preview this change");
    }
    qCInfo(lcTiming, "preview: %s on %zu bytes, %lld ms", job.recipe ? "recipe" : "request",
           job.text.size(), clock.elapsed());
#ifdef __GLIBC__
    // A sort's or a removal of duplicates' tables, tens of MB on a large
    // text, go back to the system rather than stay with this thread's heap.
    ::malloc_trim(0);
#endif
    // The result stays with the window's thread: the call carries only its
    // number.
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      done_ = std::move(result);
      doneGeneration_ = job.generation;
    }
    QMetaObject::invokeMethod(
        this, [this, generation = job.generation] { finished(generation); }, Qt::QueuedConnection);
  }
}

void ChangePreview::finished(std::uint64_t generation) {
  std::optional<PreviewResult> result;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (doneGeneration_ != generation || !done_) return;
    result = std::move(done_);
    done_.reset();
  }
  if (generation == generation_.load()) show(*result);
}

void ChangePreview::show(const PreviewResult& r) {
  pending_ = false;
  counting_.stop();
  shown_ = r.figures;
  QListWidget* list = ui_.previewList;
  list->clear();
  const Encoding encoding = ui_.pane->encoding();
  if (!r.figures) {
    const QString why = DecodeText(r.why.empty() ? std::string() : r.why.front(), encoding);
    setFigures(QStringLiteral("<i>%1</i>").arg(why.toHtmlEscaped()), why);
    ui_.previewPage->setText(QString());
    ui_.previewPrevious->setEnabled(false);
    ui_.previewNext->setEnabled(false);
    emit shown();
    return;
  }
  if (!r.steps.empty()) {
    showRecipe(r);
    return;
  }
  const RunStats& f = *r.figures;
  const auto row = [](const char* what, std::uint64_t n) {
    return QStringLiteral("<tr><td>%1</td><td align=\"right\">&nbsp;%2</td></tr>")
        .arg(QLatin1String(what), Count(n));
  };
  setFigures(QStringLiteral("<b>If OK is pressed:</b><table cellspacing=\"0\">") +
                 row("passing", f.passed) + row("changed", f.changed) + row("deleted", f.deleted) +
                 row("added", f.added) + row("lines after", f.linesOut) +
                 QStringLiteral("</table>"),
             QStringLiteral("If OK is pressed: passing %1, changed %2, deleted %3, added %4, "
                            "lines after %5")
                 .arg(Count(f.passed), Count(f.changed), Count(f.deleted), Count(f.added),
                      Count(f.linesOut)));

  for (const PreviewChange& c : r.changes) {
    const QString where =
        c.taken > 1 ? QStringLiteral("%1-%2").arg(Count(c.line), Count(c.line + c.taken - 1))
                    : Count(c.line);
    QStringList after;
    for (const std::string& a : c.after) after << Shown(a, encoding);
    // A deleted line and an empty line are told in italics.
    QString now = after.join(QChar(0x23CE));
    const bool told = c.after.empty() || now.isEmpty();
    if (told) now = c.after.empty() ? QStringLiteral("(deleted)") : QStringLiteral("(empty line)");
    auto* old = new QListWidgetItem(where + QStringLiteral(": ") + Shown(c.before, encoding), list);
    old->setForeground(kMaroon);
    auto* changed = new QListWidgetItem(QChar(0x2192) + QLatin1Char(' ') + now, list);
    changed->setForeground(kGreen);
    if (told) {
      QFont italic = list->font();
      italic.setItalic(true);
      changed->setFont(italic);
    }
    const QString tip = where + QStringLiteral(": ") + Shown(c.before, encoding) +
                        QLatin1Char('\n') + QChar(0x2192) + QLatin1Char(' ') +
                        after.join(QLatin1Char('\n'));
    for (QListWidgetItem* item : {old, changed}) {
      item->setFlags(Qt::ItemIsEnabled);
      item->setToolTip(tip);
    }
    // Read out as words, each entry with its line number, the lines as they
    // are (a tab a tab, lines after a split each on its own line).
    QStringList spokenAfter;
    for (const std::string& a : c.after) spokenAfter << DecodeText(a, encoding);
    const QString line = (c.taken > 1 ? QStringLiteral("Lines ") : QStringLiteral("Line ")) + where;
    old->setData(Qt::AccessibleTextRole,
                 line + QStringLiteral(", before: ") + DecodeText(c.before, encoding));
    changed->setData(Qt::AccessibleTextRole, line + QStringLiteral(", after: ") +
                                                 (c.after.empty() ? QStringLiteral("deleted")
                                                  : told          ? QStringLiteral("empty line")
                                                         : spokenAfter.join(QLatin1Char('\n'))));
  }
  if (r.changes.empty()) {
    ui_.previewPage->setText(r.first == 0 ? QStringLiteral("No line changes") : QString());
  } else {
    ui_.previewPage->setText(
        QStringLiteral("Changes %1-%2").arg(Count(r.first + 1), Count(r.first + r.changes.size())));
  }
  ui_.previewPrevious->setEnabled(r.first > 0);
  ui_.previewNext->setEnabled(r.more);
  emit shown();
}

void ChangePreview::showRecipe(const PreviewResult& r) {
  const RunStats& f = *r.figures;
  const QString steps = r.steps.size() == 1 ? QStringLiteral("1 step")
                                            : QStringLiteral("%1 steps").arg(r.steps.size());
  const QString name = page_.recipeName().toHtmlEscaped();
  setFigures(QStringLiteral("<b>Recipe %1, %2. If OK is pressed:</b><table cellspacing=\"0\">"
                            "<tr><td>lines after</td><td align=\"right\">&nbsp;%3</td></tr>"
                            "</table><i>Changing a control of this page leaves the recipe.</i>")
                 .arg(name, steps, Count(f.linesOut)),
             QStringLiteral("Recipe %1, %2. If OK is pressed: lines after %3. Changing a control "
                            "of this page leaves the recipe.")
                 .arg(page_.recipeName(), steps, Count(f.linesOut)));
  QListWidget* list = ui_.previewList;
  for (std::size_t i = 0; i < r.steps.size() && i < r.stepFigures.size(); ++i) {
    const RunStats& s = r.stepFigures[i];
    const QString step =
        QStringLiteral("Step %1: %2").arg(i + 1).arg(QString::fromUtf8(r.steps[i]));
    const QString figures =
        QStringLiteral("passing %1, changed %2, deleted %3, added %4, lines after %5")
            .arg(Count(s.passed), Count(s.changed), Count(s.deleted), Count(s.added),
                 Count(s.linesOut));
    auto* stepItem = new QListWidgetItem(step, list);
    auto* figuresItem = new QListWidgetItem(QChar(0x2192) + QLatin1Char(' ') + figures, list);
    figuresItem->setForeground(kGreen);
    for (QListWidgetItem* item : {stepItem, figuresItem}) {
      item->setFlags(Qt::ItemIsEnabled);
      item->setToolTip(step + QLatin1Char('\n') + figures);
    }
    figuresItem->setData(Qt::AccessibleTextRole, QStringLiteral("Step %1: ").arg(i + 1) + figures);
  }
  ui_.previewPage->setText(QStringLiteral("Recipe steps"));
  ui_.previewPrevious->setEnabled(false);
  ui_.previewNext->setEnabled(false);
  emit shown();
}

void ChangePreview::setFigures(const QString& shown, const QString& words) {
  ui_.previewFigures->setText(shown);
  SetSpokenWords(ui_.previewFigures, words);
  if (!pending_) announce_.start();
}

void ChangePreview::announce() {
  const QString words = SpokenWords(ui_.previewFigures);
  if (pending_ || words == announced_ || !ui_.previewFigures->isVisible()) return;
  announced_ = words;
  AnnounceSpokenWords(ui_.previewFigures);
  emit announced();
}

}  // namespace quorlin::ui
