// SPDX-License-Identifier: Apache-2.0
// File > Print: the margin rectangle from the printer's resolution; the
// printed pages as a PDF reader finds them (where every word stands, on which
// page); the message for each way a job can end, with the window working
// while the print system takes its time; and a scheduler that never answers.
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include <QPageLayout>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include "WindowFixture.h"
#include "app/PrintSystem.h"
#include "app/Printing.h"

#ifdef QUORLIN_HAVE_CUPS
#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <cups/cups.h>

#include "app/CupsPrintSystem.h"
#endif

namespace quorlin::testing {
namespace {

using app::PrintOutcome;

constexpr double kPtPerMm = 72 / 25.4;

// Prints into a PDF file laid out as a printer's page would be, then answers
// as scripted; held, it waits after the pages are made until released.
class PdfPrintSystem final : public app::PrintSystem {
 public:
  PdfPrintSystem(QString file, int dpi, QPageLayout page)
      : file_(std::move(file)), dpi_(dpi), page_(std::move(page)) {}

  PrintOutcome answer = PrintOutcome::Printed;
  bool hold = false;

  void release() {
    const std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    wake_.notify_all();
  }

  PrintOutcome print(const app::PagePainter& paint, const std::atomic<bool>& stop) override {
    {
      QPdfWriter pdf(file_);
      pdf.setResolution(dpi_);
      pdf.setPageLayout(page_);
      if (!paint(pdf, stop)) return PrintOutcome::Failed;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (hold && !wake_.wait_for(lock, std::chrono::seconds(20), [this] { return released_; })) {
      ADD_FAILURE() << "the job was never released";
    }
    return answer;
  }

 private:
  QString file_;
  int dpi_;
  QPageLayout page_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool released_ = false;
};

// A word as the PDF reader places it, in points from the paper's top left.
struct Word {
  int page;  // from 0
  QRectF box;
  QString text;
};

struct PdfText {
  int pages = 0;
  QSizeF paper;  // of the first page
  std::vector<Word> words;
};

PdfText ReadPdf(const QString& file) {
  QProcess reader;
  reader.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
  PdfText out;
  if (!reader.waitForFinished(60000) || reader.exitCode() != 0) {
    ADD_FAILURE() << "pdftotext (poppler-utils) could not read " << file.toStdString();
    return out;
  }
  static const QRegularExpression item(
      QStringLiteral(R"re(<page width="([\d.]+)" height="([\d.]+)">|)re"
                     R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">)re"
                     R"re(([^<]*)</word>)re"));
  const QString html = QString::fromUtf8(reader.readAllStandardOutput());
  for (auto it = item.globalMatch(html); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    if (!m.captured(1).isEmpty()) {
      if (out.pages++ == 0) out.paper = QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
      continue;
    }
    const QRectF box(QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()),
                     QPointF(m.captured(5).toDouble(), m.captured(6).toDouble()));
    QString word = m.captured(7);
    word.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    out.words.push_back({out.pages - 1, box, word});
  }
  return out;
}

// Printed lines, in the order printed: the words of one page that share a
// top, left to right (the reader's own order may split a line in columns).
std::vector<std::vector<Word>> PrintedLines(const PdfText& pdf) {
  std::vector<Word> words = pdf.words;
  std::stable_sort(words.begin(), words.end(), [](const Word& a, const Word& b) {
    if (a.page != b.page) return a.page < b.page;
    if (a.box.top() != b.box.top()) return a.box.top() < b.box.top();
    return a.box.left() < b.box.left();
  });
  std::vector<std::vector<Word>> lines;
  for (const Word& w : words) {
    if (lines.empty() || lines.back()[0].page != w.page ||
        std::abs(lines.back()[0].box.top() - w.box.top()) > 0.5) {
      lines.emplace_back();
    }
    lines.back().push_back(w);
  }
  return lines;
}

TEST(PrintableRect, MarginsComeFromTheResolution) {
  const struct {
    int dpiX, dpiY, width, height;
    int left, top, right, bottom;
  } rows[] = {
      {600, 600, 4800, 6300, 450, 300, 4500, 6000},
      {203, 203, 1700, 2200, 152, 101, 1599, 2099},  // 609 / 4 rounds down
      {300, 600, 2400, 6000, 225, 300, 2250, 5700},  // across and down apart
  };
  for (const auto& r : rows) {
    const QRect rect = app::PrintableRect(r.dpiX, r.dpiY, r.width, r.height);
    EXPECT_EQ(rect.left(), r.left) << r.dpiX;
    EXPECT_EQ(rect.top(), r.top) << r.dpiX;
    EXPECT_EQ(rect.left() + rect.width(), r.right) << r.dpiX;
    EXPECT_EQ(rect.top() + rect.height(), r.bottom) << r.dpiX;
  }
}

class Printing : public WindowTest {
 protected:
  std::unique_ptr<PdfPrintSystem> UsePdf(int dpi, const QPageLayout& page) {
    auto system = std::make_unique<PdfPrintSystem>(path(QStringLiteral("out.pdf")), dpi, page);
    printSystem = system.get();
    return system;
  }
};

// The text as printed on the page of a printer with and without margins of
// its own: every line once, in order, each starting at the left margin; tabs
// at the pane's stops; nothing beyond the margins; full pages; the pane's
// font size.
TEST_F(Printing, LinesTabsAndMarginsOnThePage) {
  const struct {
    int dpi;
    QPageSize::PageSizeId paper;
    QMarginsF printerMm;  // the area the printer cannot print on
    int fontPx;
  } rows[] = {
      {600, QPageSize::A4, {}, 13},
      {203, QPageSize::Letter, {5, 4, 6, 7}, 13},
      {600, QPageSize::A4, {}, 26},
  };
  // Line 1 holds tabs; every 30th line is far wider than a page.
  const int lineCount = 150;
  std::vector<std::string> text;
  for (int i = 1; i <= lineCount; ++i) {
    std::string line = QStringLiteral("L%1").arg(i, 5, 10, QLatin1Char('0')).toStdString();
    if (i == 1) line += "\tT\tA\tBB\t\tC";
    if (i % 30 == 0) {
      for (int w = 0; w < 60; ++w) line += " wrapword";
    } else if (i > 1) {
      line += " of the text";
    }
    text.push_back(line);
  }

  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.dpi << " dpi, font " << r.fontPx << " px");
    const auto system = UsePdf(r.dpi, QPageLayout(QPageSize(r.paper), QPageLayout::Portrait,
                                                  r.printerMm, QPageLayout::Millimeter));
    Start();
    QFont font = pane().font();
    font.setPixelSize(r.fontPx);
    pane().setFont(font);
    SetPaneLines(text);
    ui().printItem->trigger();
    EXPECT_TRUE(dialogs.boxes.empty());

    const PdfText pdf = ReadPdf(path(QStringLiteral("out.pdf")));
    ASSERT_GT(pdf.pages, 2);
    const QMarginsF printer = r.printerMm * kPtPerMm;
    const double left = printer.left() + 54, top = printer.top() + 36;
    const double right = pdf.paper.width() - printer.right() - 36;
    const double bottom = pdf.paper.height() - printer.bottom() - 36;
    const auto lines = PrintedLines(pdf);

    QStringList tags;  // the line numbers, in the order printed
    std::vector<double> lowest(std::size_t(pdf.pages), 0);
    for (const auto& line : lines) {
      EXPECT_NEAR(line.front().box.left(), left, 1.0) << line.front().text.toStdString();
      EXPECT_LE(line.back().box.right(), right + 0.5) << line.back().text.toStdString();
      EXPECT_GE(line.front().box.top(), top - 1.0) << line.front().text.toStdString();
      EXPECT_LE(line.front().box.bottom(), bottom + 0.5) << line.front().text.toStdString();
      lowest[std::size_t(line.front().page)] = line.front().box.bottom();
      if (line.front().text.startsWith(QLatin1Char('L'))) tags << line.front().text;
    }
    ASSERT_EQ(tags.size(), lineCount);
    for (int i = 0; i < lineCount; ++i) {
      EXPECT_EQ(tags[i], QStringLiteral("L%1").arg(i + 1, 5, 10, QLatin1Char('0')));
    }

    // The pane's font size in points (13 px is 9.75 pt), and full pages.
    const Word& number = lines[1].front();
    EXPECT_NEAR(number.box.height() / (r.fontPx * 0.75), 1.15, 0.2);
    for (int p = 0; p + 1 < pdf.pages; ++p) {
      EXPECT_GT(lowest[std::size_t(p)], bottom - 1.5 * number.box.height()) << "page " << p + 1;
    }

    // Tab stops every 80 screen pixels, 60 pt, from the left margin: each
    // field starts at the next stop after the one before it ends.
    const auto& tabbed = lines.front();
    ASSERT_EQ(tabbed.size(), 5u);
    const int tabs[] = {0, 1, 1, 1, 2};  // before each field
    for (std::size_t i = 1; i < tabbed.size(); ++i) {
      const double stop = 60 * (std::floor((tabbed[i - 1].box.right() - left) / 60) + tabs[i]);
      EXPECT_NEAR(tabbed[i].box.left(), left + stop, 1.0) << tabbed[i].text.toStdString();
      EXPECT_NEAR(tabbed[i].box.top(), tabbed[0].box.top(), 0.01);
    }
    form.reset();
    dialogs.boxes.clear();
  }
}

// What a reader finds on the page is what the pane shows: each byte through
// the Western set, tabs between fields, a line wider than the page broken
// between its words, and a word wider than a row broken inside it; in a
// UTF-8 text the characters, and a stray byte as its escape.
TEST_F(Printing, TheBytesReadBackAsThePaneShowsThem) {
  std::string wrapped;
  for (int w = 0; w < 60; ++w) wrapped += " wrapword";
  const struct {
    const char* name;
    std::string line;
    QString words;      // the printed words, one space apart
    bool pieces;        // the words are pieces of one word, joined without space
    bool utf8 = false;  // printed from a UTF-8 text
  } rows[] = {
      {"Windows-1252 signs",
       "\x93quoted\x94 \x80"
       "5 \x85 \x99",
       QStringLiteral(u"“quoted” €5 … ™"), false},
      {"accented letters", "na\xefve caf\xe9 \xc5ngstr\xf6m",
       QStringLiteral(u"naïve café Ångström"), false},
      {"fields between tabs", "one\ttwo\t\tthree", QStringLiteral("one two three"), false},
      {"words wrapped whole", wrapped, QString::fromLatin1(wrapped).trimmed(), false},
      {"a word wider than a row", std::string(400, 'x'), QString(400, QLatin1Char('x')), true},
      {"UTF-8 characters",
       "caf\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x82\xAC"
       "5",
       QStringLiteral(u"café “quoted” €5"), false, true},
      {"UTF-8 stray bytes as escapes", "caf\xE9 \xE2\x82 end",
       QStringLiteral("caf<E9> <E2><82> end"), false, true},
  };
  for (const bool utf8 : {false, true}) {
    std::vector<std::string> text;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
      if (rows[i].utf8 != utf8) continue;
      std::string line(1, 'T');
      line += std::to_string(i);
      line += ' ';
      line += rows[i].line;
      text.push_back(line);
    }
    const auto system =
        UsePdf(600, QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, {}));
    Start();
    pane().setText(TextOf(text), utf8 ? text::Encoding::Utf8 : text::Encoding::Windows1252);
    ui().printItem->trigger();

    // The printed lines of each text line: from its tag to the next tag.
    std::map<std::size_t, QStringList> printed;
    std::size_t tag = std::size(rows);
    for (const auto& line : PrintedLines(ReadPdf(path(QStringLiteral("out.pdf"))))) {
      for (const Word& w : line) {
        bool isTag = false;
        const std::size_t n =
            w.text.startsWith(QLatin1Char('T')) ? w.text.mid(1).toUInt(&isTag) : 0;
        if (isTag && n < std::size(rows) && rows[n].utf8 == utf8 && !printed.count(n)) {
          tag = n;
          printed[n];
        } else if (tag < std::size(rows)) {
          printed[tag] << w.text;
        }
      }
    }
    ASSERT_EQ(printed.size(), text.size());
    for (const auto& [i, words] : printed) {
      const auto& r = rows[i];
      EXPECT_EQ(words.join(r.pieces ? QString() : QStringLiteral(" ")), r.words) << r.name;
      if (r.pieces) {
        EXPECT_GT(words.size(), 2) << r.name;
      }
    }
  }
}

TEST_F(Printing, AnEmptyTextIsOneBlankPage) {
  const auto system = UsePdf(600, QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, {}));
  Start();
  SetPaneLines({});
  ui().printItem->trigger();
  const PdfText pdf = ReadPdf(path(QStringLiteral("out.pdf")));
  EXPECT_EQ(pdf.pages, 1);
  EXPECT_TRUE(pdf.words.empty());
  EXPECT_TRUE(dialogs.boxes.empty());
}

// However the job ends, the window goes on painting and running its timers
// while the print system takes its time, under the busy pointer; the message
// comes after, with the pointer normal again.
TEST_F(Printing, EachOutcomeHasItsMessageAndTheWindowKeepsWorking) {
  const struct {
    PrintOutcome answer;
    const char* message;  // none: printed without a word
  } rows[] = {
      {PrintOutcome::Printed, nullptr},
      {PrintOutcome::NoPrinter, "No default printer is available."},
      {PrintOutcome::Failed, "The text could not be printed."},
      {PrintOutcome::NoAnswer,
       "The print system did not answer. The text may not have been printed."},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.message ? r.message : "printed");
    const auto system =
        UsePdf(600, QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, {}));
    system->answer = r.answer;
    system->hold = true;
    Start();
    SetPaneLines({"some text"});

    bool busyWhileWaiting = false;
    QTimer::singleShot(200, form.get(), [&] {
      busyWhileWaiting = QApplication::overrideCursor() != nullptr &&
                         QApplication::overrideCursor()->shape() == Qt::WaitCursor;
      form->repaint();
      system->release();
    });
    ui().printItem->trigger();
    EXPECT_TRUE(busyWhileWaiting);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    const QStringList expected =
        r.message ? QStringList{QString::fromLatin1(r.message)} : QStringList{};
    EXPECT_EQ(dialogs.allTexts(), expected);
    for (const Box& box : dialogs.boxes) {
      EXPECT_EQ(box.kind, BoxKind::Error);
      EXPECT_FALSE(box.busy);
    }
    form.reset();
    dialogs.boxes.clear();
  }
}

#ifdef QUORLIN_HAVE_CUPS
// A listening socket on the loopback that never accepts: the kernel takes
// the connection, and nothing ever answers, as with a stopped scheduler.
class SilentScheduler {
 public:
  explicit SilentScheduler(bool listening) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd_, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    if (listening) {
      listen(fd_, 8);
    } else {
      close(fd_);  // nothing listens on the port any more
      fd_ = -1;
    }
  }
  ~SilentScheduler() {
    if (fd_ >= 0) close(fd_);
  }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// The CUPS job never waits on a silent scheduler longer than its answer
// time, ends soon after being stopped, and finds no printer where no
// scheduler runs; no page is made in any of these.
TEST(CupsPrintSystem, ASilentOrAbsentSchedulerEndsTheJob) {
  using namespace std::chrono_literals;
  const struct {
    const char* name;
    bool listening;
    std::chrono::milliseconds answerTime;
    std::chrono::milliseconds stopAfter;  // 0: never stopped
    std::optional<PrintOutcome> outcome;  // none: any
  } rows[] = {
      {"silent", true, 1000ms, 0ms, PrintOutcome::NoAnswer},
      {"stopped", true, 60000ms, 300ms, std::nullopt},
      {"absent", false, 1000ms, 0ms, PrintOutcome::NoPrinter},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    const SilentScheduler scheduler(r.listening);
    app::CupsPrintSystem cups("127.0.0.1:" + std::to_string(scheduler.port()), r.answerTime);
    std::atomic<bool> stop{false};
    std::thread stopper;
    if (r.stopAfter.count() > 0) {
      stopper = std::thread([&] {
        std::this_thread::sleep_for(r.stopAfter);
        stop = true;
      });
    }
    bool painted = false;
    const auto start = std::chrono::steady_clock::now();
    const PrintOutcome outcome = cups.print(
        [&](QPagedPaintDevice&, const std::atomic<bool>&) { return painted = true; }, stop);
    const auto took = std::chrono::steady_clock::now() - start;
    if (stopper.joinable()) stopper.join();
    if (r.outcome) {
      EXPECT_EQ(outcome, *r.outcome);
    }
    EXPECT_NE(outcome, PrintOutcome::Printed);
    EXPECT_FALSE(painted);
    // Bounded: a few answer times at most (or a few watch steps after a stop).
    EXPECT_LT(took, r.stopAfter.count() > 0 ? r.stopAfter + 3s : 5 * r.answerTime);
  }
}

// A CUPS scheduler of the test's own on a loopback port (the files in
// tests/ui/cups) with one default queue, whose printer cannot print on the
// paper's outer 12 pt left and right, 18 pt at the top and 20 pt at the
// bottom, and which writes each job's PDF unchanged to a file. Needs cupsd
// (Debian's cups-daemon) and root, which the scheduler requires.
class PrivateScheduler {
 public:
  PrivateScheduler() { Start(); }
  ~PrivateScheduler() {
    if (::testing::Test::HasFailure()) {
      std::cerr << Read(QStringLiteral("access_log")).toStdString()
                << Read(QStringLiteral("error_log")).toStdString();
    }
    if (cupsd_.state() == QProcess::NotRunning) return;
    kill(pid_t(cupsd_.processId()), SIGCONT);
    cupsd_.terminate();
    if (!cupsd_.waitForFinished(5000)) cupsd_.kill();
  }

  bool running() const { return cupsd_.state() == QProcess::Running; }
  int port() const { return port_; }
  void Pause(bool paused) { kill(pid_t(cupsd_.processId()), paused ? SIGSTOP : SIGCONT); }

  bool SetAccepting(bool accepting) {
    http_t* http = httpConnect2("127.0.0.1", port_, nullptr, AF_INET, HTTP_ENCRYPTION_IF_REQUESTED,
                                1, 1000, nullptr);
    if (http == nullptr) return false;
    ipp_t* request = ippNewRequest(accepting ? IPP_OP_CUPS_ACCEPT_JOBS : IPP_OP_CUPS_REJECT_JOBS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 "ipp://localhost/printers/Check");
    ippDelete(cupsDoRequest(http, request, "/admin/"));
    httpClose(http);
    return cupsLastError() == IPP_STATUS_OK;
  }

  // The PDF of the last job, once the scheduler has written it whole.
  QString Output() const {
    const QString out = dir_.filePath(QStringLiteral("out.pdf"));
    for (int i = 0; i < 100; ++i) {
      if (Read(QStringLiteral("out.pdf")).trimmed().endsWith("%%EOF")) break;
      QThread::msleep(100);
    }
    return out;
  }

 private:
  void Start() {
    if (geteuid() != 0 || !QFile::exists(QStringLiteral("/usr/sbin/cupsd"))) return;
    const QString d = dir_.path();
    port_ = SilentScheduler(false).port();
    // The filter runs as the scheduler's unprivileged user: it must reach it.
    chmod(QFile::encodeName(d).constData(), 0755);
    QDir(d).mkpath(QStringLiteral("root/ppd"));
    QDir(d).mkpath(QStringLiteral("tmp"));
    if (const group* lp = getgrnam("lp")) {
      chown(QFile::encodeName(d + QStringLiteral("/tmp")).constData(), 0, lp->gr_gid);
      chmod(QFile::encodeName(d + QStringLiteral("/tmp")).constData(), 01770);
    }
    for (const auto& [from, to] : {std::pair{"cupsd.conf", "cupsd.conf"},
                                   {"cups-files.conf", "cups-files.conf"},
                                   {"printers.conf", "root/printers.conf"},
                                   {"Check.ppd", "root/ppd/Check.ppd"},
                                   {"passthrough", "passthrough"}}) {
      QFile in(QStringLiteral(QUORLIN_CUPS_FILES "/") + QLatin1String(from));
      ASSERT_TRUE(in.open(QIODevice::ReadOnly)) << from;
      QByteArray text = in.readAll();
      text.replace("@DIR@", QFile::encodeName(d)).replace("@PORT@", QByteArray::number(port_));
      QFile out(dir_.filePath(QLatin1String(to)));
      ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(text) == text.size()) << to;
    }
    chmod(QFile::encodeName(d + QStringLiteral("/passthrough")).constData(), 0755);

    cupsd_.setProcessChannelMode(QProcess::MergedChannels);
    cupsd_.start(QStringLiteral("/usr/sbin/cupsd"),
                 {QStringLiteral("-f"), QStringLiteral("-c"), d + QStringLiteral("/cupsd.conf"),
                  QStringLiteral("-s"), d + QStringLiteral("/cups-files.conf")});
    for (int i = 0; i < 100 && !cupsd_.waitForFinished(100); ++i) {
      if (SetAccepting(true)) return;
    }
    ADD_FAILURE() << "the scheduler did not start: " << cupsd_.readAll().toStdString()
                  << Read(QStringLiteral("error_log")).toStdString();
  }

  QByteArray Read(const QString& name) const {
    QFile f(dir_.filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  QTemporaryDir dir_;
  QProcess cupsd_;
  int port_ = 0;
};

// The whole road through a real scheduler: the pages placed from the
// printer's printable area with tabs at the pane's stops, a queue that
// refuses jobs, and a scheduler that stops answering.
TEST_F(Printing, ThroughARealScheduler) {
  PrivateScheduler scheduler;
  if (!scheduler.running()) GTEST_SKIP() << "needs cupsd (cups-daemon) and root";
  enum class Setup { Accepting, Rejecting, Stopped };
  const struct {
    Setup setup;
    const char* message;
  } rows[] = {
      {Setup::Accepting, nullptr},
      {Setup::Rejecting, "The text could not be printed."},
      {Setup::Stopped, "The print system did not answer. The text may not have been printed."},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.message ? r.message : "printed");
    ASSERT_TRUE(scheduler.SetAccepting(r.setup != Setup::Rejecting));
    if (r.setup == Setup::Stopped) scheduler.Pause(true);
    app::CupsPrintSystem cups("127.0.0.1:" + std::to_string(scheduler.port()),
                              std::chrono::seconds(2));
    printSystem = &cups;
    Start();
    SetPaneLines({"L00001\tT", "L00002"});
    ui().printItem->trigger();
    if (r.setup == Setup::Stopped) scheduler.Pause(false);
    EXPECT_EQ(dialogs.allTexts(),
              r.message ? QStringList{QString::fromLatin1(r.message)} : QStringList{});
    if (r.setup == Setup::Accepting) {
      const PdfText pdf = ReadPdf(scheduler.Output());
      const auto lines = PrintedLines(pdf);
      ASSERT_EQ(lines.size(), 2u);
      ASSERT_EQ(lines[0].size(), 2u);
      EXPECT_NEAR(pdf.paper.width(), 595, 1);
      EXPECT_NEAR(lines[0][0].box.left(), 12 + 54, 1.0);
      EXPECT_NEAR(lines[0][0].box.top(), 18 + 36, 1.0);
      EXPECT_NEAR(lines[0][1].box.left(), 12 + 54 + 60, 1.0);
    }
    form.reset();
    dialogs.boxes.clear();
  }
}
#endif

}  // namespace
}  // namespace quorlin::testing
