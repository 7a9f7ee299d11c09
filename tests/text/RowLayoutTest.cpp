// SPDX-License-Identifier: Apache-2.0
// Lines laid out across the pane: tabs, clicks, wrapping, and the rows and
// positions a layout keeps through edits (the row index, the saved rows and
// x positions of long lines) against a layout built afresh.
#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "text/LineLayout.h"
#include "text/RowLayout.h"
#include "text/WrapIndex.h"

namespace quorlin::text {
namespace {

// Every byte 8 pixels wide, tabs every 32 pixels.
Metrics Even() {
  std::array<std::int32_t, 256> advance{};
  advance.fill(8 * kUnits);
  return Metrics::make(advance, 32 * kUnits);
}

TEST(LineLayout, TabsGoToTheNextStopAndClicksToTheNearestBoundary) {
  const Metrics m = Even();
  const ByteMeasure measure(m);
  EXPECT_EQ(Advance(m, "ab") / kUnits, 16);
  EXPECT_EQ(Advance(m, "\t") / kUnits, 32);
  EXPECT_EQ(Advance(m, "abc\t") / kUnits, 32);
  EXPECT_EQ(Advance(m, "abcd\t") / kUnits, 64);  // at a stop, a tab goes to the next one
  EXPECT_EQ(OffsetAt(measure, "abc", 3 * kUnits), 0u);
  EXPECT_EQ(OffsetAt(measure, "abc", 4 * kUnits), 1u);
  EXPECT_EQ(OffsetAt(measure, "a\tb", 25 * kUnits), 2u);  // past the tab's middle
  EXPECT_EQ(OffsetAt(measure, "abc", 999 * kUnits), 3u);
}

TEST(LineLayout, LinesWrapAfterBlanksOrWhereAWordNoLongerFits) {
  const Metrics table = Even();
  const ByteMeasure m(table);
  const std::int64_t width = 10 * 8 * kUnits;  // ten bytes
  const struct {
    const char* name;
    std::string line;
    std::vector<std::size_t> starts;
  } rows[] = {
      {"fits", "0123456789", {0}},
      {"after the last blank that fits", "aaaa bbbb cccc", {0, 10}},
      {"blanks hang past the edge", "aaaaaaaaa     b", {0, 14}},
      {"a word longer than a row is cut", "aaaaaaaaaaaaaaaaaaaaaaa", {0, 10, 20}},
      {"a tab is a blank", "aaaa\tbbbbbbb", {0, 5}},
      {"empty", "", {0}},
  };
  for (const auto& row : rows) {
    std::vector<std::size_t> starts;
    WrapRowStarts(m, row.line, width, starts);
    EXPECT_EQ(starts, row.starts) << row.name;
    EXPECT_EQ(WrapRowCount(m, row.line, width), row.starts.size()) << row.name;
    WrapRowStarts(table, row.line, width, starts);  // the table read in place
    EXPECT_EQ(starts, row.starts) << row.name;
    // Fed a byte at a time, as a line that crosses many pieces is.
    std::vector<std::size_t> fed{0};
    RowBreaker breaker(width);
    for (const char c : row.line) {
      breaker.feed(m, std::string_view(&c, 1), [&](std::size_t s) {
        fed.push_back(s);
        return true;
      });
    }
    EXPECT_EQ(fed, row.starts) << row.name;
  }
}

// The index kept through edits gives what counting every line afresh gives.
TEST(WrapIndex, KeptThroughEditsAgreesWithARecount) {
  std::mt19937 rng(11);
  const auto m = std::make_shared<ByteMeasure>(Even());
  const std::int64_t width = 20 * 8 * kUnits;
  std::string bytes;
  for (int i = 0; i < 5000; ++i) {
    bytes += std::string(rng() % 60, "ab "[rng() % 3]);
    bytes += '\n';
  }
  Text text = Text::fromBytes(bytes);
  WrapIndex kept;
  kept.rebuild(text, m, width);
  for (int i = 0; i < 60; ++i) {
    const std::size_t at = rng() % (text.size() + 1);
    const std::size_t to = std::min(text.size(), at + rng() % (i % 10 == 0 ? 200000 : 100));
    std::string insert;
    if (rng() % 2) insert.assign(rng() % 90, 'w').append("\n x");
    text = text.erase(at, to).insert(at, insert);
    kept.update(text, {at, to - at, insert.size()});

    WrapIndex fresh;
    fresh.rebuild(text, m, width);
    ASSERT_EQ(kept.rows(), fresh.rows()) << "edit " << i;
    for (int k = 0; k < 20; ++k) {
      const std::size_t line = rng() % text.shownLines();
      ASSERT_EQ(kept.rowOfLine(line), fresh.rowOfLine(line));
      const std::size_t row = rng() % fresh.rows();
      const auto a = kept.lineOfRow(row);
      const auto b = fresh.lineOfRow(row);
      ASSERT_EQ(a.line, b.line);
      ASSERT_EQ(a.row, b.row);
      ASSERT_EQ(kept.rowOfLine(a.line) + a.row, row);
    }
  }
}

// Advances of 5 to 12 pixels by byte, tabs every 40 pixels.
Metrics Varied() {
  std::array<std::int32_t, 256> advance{};
  for (std::size_t b = 0; b < advance.size(); ++b) advance[b] = std::int32_t((5 + b % 8) * kUnits);
  return Metrics::make(advance, 40 * kUnits);
}

// The bytes as characters of one byte, told through the interface only: the
// layout then takes the path any other measure would.
class ThroughInterface final : public Measure {
 public:
  explicit ThroughInterface(const Metrics& m) : bytes_(m) {}
  std::size_t charLength(std::string_view b) const override { return bytes_.charLength(b); }
  std::size_t lastCharLength(std::string_view b) const override { return bytes_.lastCharLength(b); }
  std::int64_t charWidth(std::string_view c, std::int64_t x) const override {
    return bytes_.charWidth(c, x);
  }
  std::int64_t advance(std::string_view b, std::int64_t x) const override {
    return bytes_.advance(b, x);
  }
  std::int64_t widestPerByte() const override { return bytes_.widestPerByte(); }

 private:
  ByteMeasure bytes_;
};

// Words of 1 to 12 letters between blanks, with now and then a run without a
// blank longer than a row.
std::string Words(std::mt19937& rng, std::size_t size) {
  std::string out;
  while (out.size() < size) {
    out.append(rng() % 50 == 0 ? 300 : 1 + rng() % 12, char('a' + rng() % 26));
    out += rng() % 6 == 0 ? '\t' : ' ';
  }
  return out;
}

void ExpectSameRows(const RowLayout& kept, const RowLayout& fresh, std::size_t from, std::size_t to,
                    const std::string& what) {
  for (std::size_t i = from; i < to; ++i) {
    const Row a = kept.row(i), b = fresh.row(i);
    ASSERT_EQ(std::tie(a.line, a.lineStart, a.lineEnd, a.start, a.end, a.lastOfLine),
              std::tie(b.line, b.lineStart, b.lineEnd, b.start, b.end, b.lastOfLine))
        << what << ", row " << i;
  }
}

// A layout kept through edits lays the text out as one built for it afresh:
// every row of the line edited, rows anywhere, and the x and offsets along
// rows, through lines that keep saved positions and saved rows.
TEST(RowLayout, KeptThroughEditsAgreesWithALayoutBuiltAfresh) {
  const struct {
    const char* name;
    bool wrap;
    bool throughInterface;
  } rows[] = {
      {"unwrapped: x positions saved along long lines", false, false},
      {"wrapped: the rows of long lines saved", true, false},
      {"wrapped, the measure asked through its interface", true, true},
  };
  for (const auto& row : rows) {
    std::mt19937 rng(23);
    std::shared_ptr<const Measure> measure;
    if (row.throughInterface) {
      measure = std::make_shared<ThroughInterface>(Varied());
    } else {
      measure = std::make_shared<ByteMeasure>(Varied());
    }
    const std::int64_t width = 300 * kUnits;
    std::string bytes;
    for (int i = 0; i < 300; ++i) {
      bytes += i % 100 == 50 ? Words(rng, 70000 + rng() % 80000) : Words(rng, rng() % 80);
      bytes += '\n';
    }
    Text text = Text::fromBytes(bytes);
    RowLayout kept;
    kept.setMeasure(measure);
    kept.setWrap(row.wrap, width);
    kept.setText(text);
    for (int step = 0; step < 80; ++step) {
      const std::string what = std::string(row.name) + ", edit " + std::to_string(step);
      const std::size_t at = rng() % (text.size() + 1);
      const unsigned kind = rng() % 10;
      std::size_t removed = 0;
      std::string inserted;
      if (kind < 5) {
        inserted.assign(1 + rng() % 3, "ab \t"[rng() % 4]);
      } else if (kind < 8) {
        removed = 1 + rng() % 20;
      } else if (kind < 9) {
        inserted = Words(rng, rng() % 40) + "\n" + Words(rng, rng() % 40);
      } else {
        removed = rng() % 5000;
      }
      removed = std::min(removed, text.size() - at);
      text = text.erase(at, at + removed).insert(at, inserted);
      kept.edited(text, {at, removed, inserted.size()});

      RowLayout fresh;
      fresh.setMeasure(measure);
      fresh.setWrap(row.wrap, width);
      fresh.setText(text);
      ASSERT_EQ(kept.rowCount(), fresh.rowCount()) << what;
      // The rows of the line edited tile it, and the kept layout has them.
      const std::size_t line = text.lineAt(at);
      const std::size_t firstRow = fresh.rowOf(text.lineStart(line));
      const std::size_t lastRow = fresh.rowOf(text.lineEnd(line));
      std::size_t start = text.lineStart(line);
      for (std::size_t i = firstRow; i <= lastRow; ++i) {
        const Row r = fresh.row(i);
        ASSERT_EQ(std::tuple(r.line, r.start, r.lastOfLine), std::tuple(line, start, i == lastRow))
            << what << ", row " << i;
        start = r.end;
      }
      ASSERT_EQ(start, text.lineEnd(line)) << what;
      ExpectSameRows(kept, fresh, firstRow, lastRow + 1, what);
      for (int k = 0; k < 40; ++k) {
        const std::size_t i = rng() % fresh.rowCount();
        ExpectSameRows(kept, fresh, i, i + 1, what);
      }
      for (int k = 0; k < 20; ++k) {
        const std::size_t offset = k == 0 ? at : rng() % (text.size() + 1);
        const std::size_t index = fresh.rowOf(offset);
        ASSERT_EQ(kept.rowOf(offset), index) << what << ", at " << offset;
        const Row r = fresh.row(index);
        ASSERT_EQ(kept.xAt(r, offset), fresh.xAt(r, offset)) << what << ", at " << offset;
        const std::int64_t rowWidth = fresh.rowWidth(r);
        ASSERT_EQ(kept.rowWidth(r), rowWidth) << what << ", row " << index;
        const auto x = std::int64_t(rng() % std::uint64_t(rowWidth + 20 * kUnits));
        ASSERT_EQ(kept.offsetAtX(r, x), fresh.offsetAtX(r, x)) << what << ", x " << x;
        std::int64_t keptLeft = 0, freshLeft = 0;
        ASSERT_EQ(kept.firstFrom(r, x, keptLeft), fresh.firstFrom(r, x, freshLeft)) << what;
        ASSERT_EQ(keptLeft, freshLeft) << what;
      }
    }
  }
}

}  // namespace
}  // namespace quorlin::text
