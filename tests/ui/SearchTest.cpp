// Searching the pane: the case-blind comparison and the forward search over
// the document.
#include <QTextDocument>

#include "WindowFixture.h"
#include "ui/TextSearch.h"
#include "ui/Western.h"

namespace quorlin::testing {
namespace {

using ui::SearchFold;
using ui::WesternChar;

// Two characters of the set fold together exactly when one is the other's
// simple upper or lower case; the check runs over every pair of the set.
TEST(SearchFold, LettersOfTheSetMatchTheirOtherCaseAndNothingElse) {
  int pairs = 0;
  for (int a = 0; a < 256; ++a) {
    const QChar ca(WesternChar(static_cast<unsigned char>(a)));
    for (int b = a + 1; b < 256; ++b) {
      const QChar cb(WesternChar(static_cast<unsigned char>(b)));
      const bool partners = ca.toLower() == cb || ca.toUpper() == cb;
      EXPECT_EQ(SearchFold(ca.unicode()) == SearchFold(cb.unicode()), partners)
          << "bytes " << a << " and " << b;
      pairs += partners ? 1 : 0;
    }
  }
  // 26 ASCII, 30 accented Latin-1, and S-caron, OE, Z-caron, Y-diaeresis.
  EXPECT_EQ(pairs, 60);
  // Characters whose other case lies outside the set stand alone.
  for (const char16_t alone : {u'\u00DF', u'\u00B5', u'\u00D7', u'\u00F7'}) {
    EXPECT_EQ(SearchFold(alone), alone);
  }
}

TEST(FindForward, FromAnOffsetIgnoringCaseAnywhereInWords) {
  const struct {
    const char* name;
    QString text;
    QString search;
    int from;
    int expected;
  } rows[] = {
      {"first match", QStringLiteral("abc ABC abc"), QStringLiteral("abc"), 0, 0},
      {"starts at the offset", QStringLiteral("abc ABC abc"), QStringLiteral("abc"), 1, 4},
      {"a match at the offset counts", QStringLiteral("abc ABC abc"), QStringLiteral("abc"), 4, 4},
      {"upper-case search", QStringLiteral("xx abc"), QStringLiteral("ABC"), 0, 3},
      {"inside a word", QStringLiteral("unbelievable"), QStringLiteral("LIE"), 0, 4},
      {"on a later line", QStringLiteral("one\ntwo\nthree"), QStringLiteral("ThR"), 0, 8},
      {"offset inside a later line", QStringLiteral("aa\naa"), QStringLiteral("a"), 4, 4},
      {"at the very end", QStringLiteral("one\ntwo"), QStringLiteral("two"), 0, 4},
      {"none after the offset", QStringLiteral("abc abc"), QStringLiteral("abc"), 5, -1},
      {"offset past the end", QStringLiteral("abc"), QStringLiteral("a"), 99, -1},
      {"no match across a line break", QStringLiteral("ab\ncd"), QStringLiteral("b\nc"), 0, -1},
      {"S-caron and OE", QStringLiteral("\u0160KODA \u0152UVRE"),
       QStringLiteral("\u0161koda \u0153uvre"), 0, 0},
      {"no-break space is not a space", QStringLiteral("a\u00A0b"), QStringLiteral("a b"), 0, -1},
      {"overlapping candidates", QStringLiteral("aaab"), QStringLiteral("aab"), 0, 1},
  };
  for (const auto& row : rows) {
    QTextDocument doc;
    doc.setPlainText(row.text);
    EXPECT_EQ(ui::FindForward(doc, row.search, row.from), row.expected) << row.name;
  }
}

}  // namespace
}  // namespace quorlin::testing
