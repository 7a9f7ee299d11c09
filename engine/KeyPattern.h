// SPDX-License-Identifier: Apache-2.0
// The Test Key as a pattern: a regular expression over a line, compiled once
// per run and shared by the threads of a run. Over a Windows-1252 text it
// works on bytes (RE2 in its Latin-1 mode: "." is one byte, any byte may be
// searched for); over a UTF-8 text on characters (RE2's UTF-8 mode: "." is
// one valid character, a class a class of characters, "\xE9" the character
// U+00E9). There a byte that starts no valid character (a stray byte) is
// matched by nothing, so a match always starts and ends between characters,
// and "\C" (one byte, which could cut a character) is refused.
//
// The rules of a key search hold for it:
//  - an occurrence is the leftmost non-empty match, matches chosen as in Perl
//    (leftmost-first); where the leftmost match is empty the search goes on
//    one byte further, so a pattern that only matches empty text finds nothing
//    and no search can loop;
//  - a search that goes on after an earlier match looks further along the same
//    line: "^" keeps meaning the line's start and "\b" sees the byte before;
//  - without case sensitivity the letters a-z and A-Z match either case, and
//    nothing else is folded (bytes above 127 never are); "(?i)" written in
//    the pattern is RE2's own folding, which also folds accented letters,
//    and "(?-i)" makes what it governs exact.
// RE2 runs in time linear in the text, without backtracking, within a memory
// budget: a pattern it refuses, or one too large for the budget, refuses the
// request with a message that says what is wrong and where.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "textutil/QuorlinUtils.h"
#include "textutil/Utf8.h"

namespace re2 {
class RE2;
}  // namespace re2

namespace quorlin {

// The memory budget of one compiled pattern and its search caches (RE2's own
// default): room for some 400,000 steps of a compiled pattern, far beyond a
// typed one, while a larger one is refused within a fraction of a second.
inline constexpr std::int64_t kPatternMemory = std::int64_t(8) << 20;

// How a message about a Test Key that is not a valid pattern starts; RE2's
// words follow.
inline constexpr std::string_view kNotAPattern = "The Test Key is not a valid pattern: ";
// What follows it for "\C" in a UTF-8 text.
inline constexpr std::string_view kAnyByteInUtf8 =
    "\\C (any one byte) could cut a character in two in a UTF-8 text";

class KeyPattern final : public QuorlinUtils::KeyFinder {
 public:
  // What a run asks of a pattern beyond finding its matches.
  struct Uses {
    bool lineEnd = false;  // whether a match ends the line (test 13)
    bool blocks = false;   // searches over many lines at once (blockHit)
  };
  // The pattern, or (pattern null) why the key is not a valid pattern.
  struct Compiled {
    std::shared_ptr<const KeyPattern> pattern;
    std::string message;
  };
  // The key holds the text's bytes: in UTF-8 it must be valid UTF-8.
  static Compiled compile(std::string_view key, bool caseSensitive, Uses uses,
                          QuorlinUtils::Encoding encoding);

  KeyPattern(const KeyPattern&) = delete;
  KeyPattern& operator=(const KeyPattern&) = delete;
  ~KeyPattern() override;

  // The first non-empty match starting at or after from in the line s.
  QuorlinUtils::KeyMatch find(std::string_view s, std::size_t from) const override;
  // The replacement r of the match m of s: \0 the whole match, \1 to \9 the
  // groups (empty where a group took no part), \\ one backslash, every other
  // byte itself. r must have passed replacementProblem.
  void appendReplacement(std::string& out, std::string_view s, QuorlinUtils::KeyMatch m,
                         std::string_view r) const override;

  // Whether the line holds a match: find(line, 0) finds one.
  bool contains(std::string_view line) const;

  // Whether a non-empty match ends where the line ends (compiled with
  // Uses::lineEnd).
  bool endsLine(std::string_view line) const;

  // Why r cannot be a replacement for this pattern (a backslash followed by
  // anything but a digit or a backslash, a group the pattern does not have);
  // empty when it can.
  std::string replacementProblem(std::string_view r) const;

  // A search over many lines at once (compiled with Uses::blocks). block
  // starts at a line's start and holds lines each ended by CR, LF or CR LF
  // (the last one may be unended); noCr tells that it holds no CR. at: no
  // line that ends before offset at holds a match (npos: no line does);
  // certain: the line in which at lies holds one (never for a pattern that
  // may match empty text: its blocks show where non-empty matches may start).
  // Both hold for lines without tabs (the lines a run tests have their tabs
  // expanded, which the raw bytes of a block do not show), and for all lines
  // when tabBlind. Not usable (usable false) when it met a match of empty
  // text: the lines are then searched one by one.
  struct BlockHit {
    std::size_t at = std::string_view::npos;
    bool certain = false;
    bool usable = true;
  };
  BlockHit blockHit(std::string_view block, bool noCr) const;
  // No match holds a space or a tab: a line holds a match exactly when it
  // does before its tabs are expanded (a tab and the spaces that replace it
  // are alike to \b, ^ and $).
  bool tabBlind() const { return tabBlind_; }

  // Words one of which every match holds whole, for searches over many lines
  // at once: a line without any of them holds no match. None (words empty)
  // when not known. exact: a line holds a match exactly when it holds one of
  // them. fold: compared folding a-z and A-Z (the words are in lower case).
  // blankFree: no word holds a space or a tab. No word holds a CR or an LF.
  struct Words {
    std::vector<std::string> words;
    bool exact = false;
    bool fold = false;
    bool blankFree = false;
  };
  const Words& words() const { return words_; }
  // The first place at or after from where one of the words starts; npos
  // when none does. Not usable (wordsScanned false) for many words: each is
  // then searched for alone.
  bool wordsScanned() const { return wordScan_.count > 0; }
  std::size_t findWord(std::string_view bytes, std::size_t from) const;

  // Up to four pairs of bytes (or single bytes) looked for sixteen bytes at
  // a time: where a match or a word may start.
  struct BytePairs {
    int count = 0;  // 0: not usable
    bool single = false;
    unsigned char first[4] = {}, second[4] = {};
    // The first place at or after from that starts one of them, with room
    // for both bytes of a pair; npos when none does.
    std::size_t find(const unsigned char* b, std::size_t n, std::size_t from) const;
    // Adds one (false: there are four already).
    bool add(unsigned char a, unsigned char b);
  };

 private:
  // A pattern matched without RE2 (KeyPattern.cpp).
  class Simple;
  KeyPattern();
  std::unique_ptr<re2::RE2> main_;      // the pattern with its case rule
  std::unique_ptr<re2::RE2> atEnd_;     // the same, ending at the end of the text
  std::unique_ptr<re2::RE2> block_;     // the same without ^, $, \A and \z
  std::unique_ptr<re2::RE2> lfBlock_;   // the same with them matching at every LF
  std::unique_ptr<re2::RE2> nonEmpty_;  // where a non-empty match may start, or null
  bool anchored_ = false;               // the pattern holds one of those
  bool matchesEmpty_ = true;            // the pattern may match empty text in a line
  bool onlyEmpty_ = false;              // and never anything else
  bool tabBlind_ = false;
  std::unique_ptr<const Simple> simple_;  // or null: RE2 matches
  Words words_;
  BytePairs wordScan_;
};

// What a source of lines read from a buffer tells about each line while it
// watches a pattern: whether the line holds a match, from searches over the
// buffer (blockHit) rather than one search per line. Forget the hit whenever
// the bytes move.
class PatternWatch {
 public:
  PatternWatch() = default;
  explicit PatternWatch(const KeyPattern* pattern) : pattern_(pattern) {}
  bool active() const { return pattern_ != nullptr; }
  void forget() { stale_ = true; }
  // For the line [start, end) of buffer, which holds the line whole: 1 or 0
  // (it holds a match or not), or -1 when the line must be searched itself.
  signed char holds(std::string_view buffer, std::size_t start, std::size_t end, bool hasTab);

 private:
  signed char holdsWords(std::string_view buffer, std::size_t start, std::size_t end, bool hasTab);

  const KeyPattern* pattern_ = nullptr;
  // With the pattern's words: the next place of each at or after the
  // current line (kUnknown: not searched yet, npos: none), and the buffer
  // from loweredAt_ on in lower case when they fold.
  static constexpr std::size_t kUnknown = std::string_view::npos - 1;
  std::vector<std::size_t> nextWord_;  // one for all when they are scanned together
  std::string lowered_;
  std::size_t loweredAt_ = 0;
  KeyPattern::BlockHit hit_;  // searched from a line's start at or before the current one
  std::size_t hitAt_ = 0;     // the hit's offset in the buffer
  std::size_t nextCr_ = 0;    // the buffer's next CR from the last search on (npos: none)
  bool stale_ = true;
};

}  // namespace quorlin
