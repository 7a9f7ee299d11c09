// SPDX-License-Identifier: Apache-2.0
// Line string routines: the small byte-string operations the change engine and
// the file commands are built from.
//
// Contract shared by every routine here:
//  - strings are 8-bit byte strings (one line, no terminator);
//  - positions are 1-based byte positions and 0 means "not found";
//  - no routine fails on an absent or empty key, an empty line or a position
//    past the end: each returns its input unchanged, 0 or an empty string;
//  - case folding touches the ASCII letters only; bytes above 127 never change.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace QuorlinUtils {

// Message of ExpandTabs for a tab width outside 2..16.
inline constexpr std::string_view kDetabRangeMessage = "DeTab column# out of range 2-16";

// ASCII-only case folding of one byte and of a whole text.
constexpr char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}
constexpr char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// Appends the folded text to out (no allocation once out has grown).
void AppendUpperCase(std::string& out, std::string_view s);
void AppendLowerCase(std::string& out, std::string_view s);

// Position of the first occurrence of k in s; 0 when k is absent or empty.
std::size_t KeyPos(std::string_view k, std::string_view s);

// Offset of the first occurrence of k in s at or after from, compared exactly
// or, with foldAZ, folding the letters A-Z; npos when there is none or k is
// empty.
std::size_t FindKeyFrom(std::string_view s, std::string_view k, std::size_t from, bool foldAZ);

// A key made ready once for many searches: FindKeyFrom's answers, cheaper
// where the key's first and last bytes are common. The places are found by
// two bytes of the key: those rarest in sample (a stretch of the text to be
// searched), the first and the last without one.
class PreparedKey {
 public:
  PreparedKey() = default;
  PreparedKey(std::string_view key, bool foldAZ, std::string_view sample = {});
  std::size_t findFrom(std::string_view s, std::size_t from) const;

 private:
  std::string key_;
  bool fold_ = false;
  unsigned want_ = 0;                // a bit for each byte of a key of 2 to 16 bytes, else 0
  std::array<char, 16> block_{};     // the key, its letters in lower case when folding
  std::array<char, 16> mask_{};      // 0x20 where a letter is folded
  std::size_t one_ = 0, other_ = 0;  // the two bytes looked for, one_ < other_
};

// One occurrence of a key in a text: its offset and its length (never 0);
// at is npos when there is none.
struct KeyMatch {
  std::size_t at = std::string_view::npos;
  std::size_t length = 0;
  bool found() const { return at != std::string_view::npos; }
};

// What the key routines look for: a fixed key (PlainKey), or in the engine a
// pattern. The routines below that take a finder use it for every search and
// for every length of an occurrence.
class KeyFinder {
 public:
  virtual ~KeyFinder() = default;
  // The first occurrence in s that starts at or after offset from. s is
  // always the whole line, so that a search that goes on along the line still
  // sees the bytes before from.
  virtual KeyMatch find(std::string_view s, std::size_t from) const = 0;
  // Appends what replaces the occurrence m of s: r itself, unless the finder
  // gives r a meaning of its own.
  virtual void appendReplacement(std::string& out, std::string_view s, KeyMatch m,
                                 std::string_view r) const;
};

// A fixed key, compared byte for byte or ignoring the case of A-Z only. An
// empty key is never found. The key's bytes must outlive the finder.
class PlainKey final : public KeyFinder {
 public:
  PlainKey(std::string_view key, bool caseSensitive) : key_(key), caseSensitive_(caseSensitive) {}
  KeyMatch find(std::string_view s, std::size_t from) const override;

 private:
  std::string_view key_;
  bool caseSensitive_;
};

// The key routines below, with a finder in place of the key: the same rules,
// each search and each length taken from the finder. A search that goes on
// after an occurrence goes on along the same line (s is never cut).
std::size_t KeyPos(const KeyFinder& k, std::string_view s);
std::string TextAfterKey(std::string_view s, const KeyFinder& k);
std::size_t NthKeyPos(std::string_view s, const KeyFinder& k, long long n);
std::size_t CountKeys(std::string_view s, const KeyFinder& k);
// Returns whether anything was replaced.
bool AppendReplaceAllKeys(std::string& out, std::string_view s, const KeyFinder& k,
                          std::string_view r);

// Everything right of the first occurrence of k (the key removed); s itself
// when k is absent.
std::string TextAfterKey(std::string_view s, std::string_view k);

// Position of the last byte of s equal to the one character k; 0 when k does
// not occur or is empty. Only the first byte of k is looked at.
std::size_t LastPosOfChar(std::string_view k, std::string_view s);

// With any set: smallest position whose byte occurs anywhere in q (q read as a
// set of bytes). With any clear: the key position of q in s. 0 for an empty s.
std::size_t FirstPosInSet(std::string_view q, std::string_view s, bool any);

// With any set: largest position whose byte is in the set q; 0 when no byte of
// s is in q. With any clear: the position of the last occurrence of q in s.
std::size_t LastPosInSet(std::string_view q, std::string_view s, bool any);

// Position of the n-th occurrence of k in s, where each search restarts one
// byte after the start of the previous match (overlapping matches count:
// "aa" in "aaa" is found at 1 and 2). 0 when n <= 0 or a search fails.
std::size_t NthKeyPos(std::string_view s, std::string_view k, long long n);

// Number of non-overlapping occurrences of k in s, left to right ("aa" in
// "aaa" counts 1). 0 when k is absent or empty.
std::size_t CountKeys(std::string_view s, std::string_view k);

// Every occurrence of k replaced by r, left to right, without overlap; the
// inserted r is never searched again. Case-blind matching folds A-Z only and
// the kept bytes keep their case. An empty k changes nothing.
std::string ReplaceAllKeys(std::string_view s, std::string_view k, std::string_view r,
                           bool caseSensitive);
// Same, appending the result to out.
void AppendReplaceAllKeys(std::string& out, std::string_view s, std::string_view k,
                          std::string_view r, bool caseSensitive);

// Set mode: s without every byte that occurs in q. Key mode: every occurrence
// of q deleted, searching again from the start after each deletion, so an
// occurrence formed by a deletion goes too. An empty q changes nothing.
std::string RemoveAll(std::string_view q, std::string_view s, bool setMode);

// s with n bytes deleted from position p. A position below 1 or past the end,
// or a count below 1, deletes nothing; a count past the end deletes to the end.
std::string DeleteRange(std::string_view s, long long p, long long n);

// Deletes the first begin marker b, the first end marker e after it and all
// bytes between them. The two markers are located independently: when the
// first e stands before the first b the line comes back unchanged.
std::string DeleteFirstMarkerPair(std::string_view s, char b, char e);

// Deletes the last end marker e, the nearest begin marker b before it and all
// bytes between them; unchanged when there is no such pair.
std::string DeleteLastMarkerPair(std::string_view s, char b, char e);

// Removes "<", ">" and everything between them. insideTag is the state carried
// from line to line: a "<" left open swallows the start of the next lines up to
// the next ">".
std::string StripTags(std::string_view s, bool& insideTag);
void AppendStripTags(std::string& out, std::string_view s, bool& insideTag);

// Removes underscore-backspace pairs (repeatedly), then every backspace along
// with the first non-backspace byte after it: "A\bA" gives "A", "_\bH" gives
// "H".
std::string StripOverstrikes(std::string_view s);

// True when s is empty or all its bytes are below 33 (space and controls).
bool IsBlankLine(std::string_view s);

// True when s holds a "<" or a ">" (a tag starts or ends in it).
bool HoldsTagBracket(std::string_view s);
// The offset of the first "<" or ">" in s, or s.size() when there is none.
std::size_t FindTagBracket(std::string_view s);

// Tab stops every w columns: after a tab the length is the next multiple of w.
// A width outside 2..16 gives no result (the caller reports
// kDetabRangeMessage). A text without tabs comes back unchanged.
std::optional<std::string> ExpandTabs(std::string_view s, int w);
// Same for a valid width, appending the expanded text to out.
void AppendExpandedTabs(std::string& out, std::string_view s, int w);
// Same, writing into [dst, dstEnd); returns the end of the text written, or
// nullptr when the room ran out (s.size() * w + 32 is always enough).
char* ExpandTabsInto(char* dst, char* dstEnd, std::string_view s, int w);

// Whole lines (each ended by CR LF, LF or a lone CR) written into dst as the
// line routines would write them one by one: tabs expanded with stops every w
// columns (2..16) from each line's start, the 26 letters from fold on ('a' or
// 'A') switched to the other case (fold 0: none), each line ended by term (1
// or 2 bytes), each cut after its first cap bytes (with tabs expanded). dst
// needs room for max(w, 2) bytes per byte of lines plus 32. Returns the end of
// what was written; the number of lines is added to count. stops, when given,
// has room for one more than the lines and gets where each line written ends
// (counted from dst).
char* ExpandLinesInto(char* dst, std::string_view lines, int w, char fold, std::size_t cap,
                      std::string_view term, std::size_t& count, std::size_t* stops = nullptr);

// The end of the last line break in s (after a CR LF's LF), or 0 when s holds
// none.
std::size_t EndOfLastLine(std::string_view s);

// Lower-cases s when lower is set, then upper-cases it when upper is set (upper
// wins); unchanged when neither is set.
std::string ApplyOutputCase(std::string_view s, bool upper, bool lower);

// s cut off at its first occurrence of k; s unchanged when k is absent.
std::string CutAtFirstKey(std::string_view s, std::string_view k);

// s cut off at the last occurrence of the one-character key k (the first p-1
// bytes); s unchanged when k does not occur.
std::string TextBeforeLastKey(std::string_view s, std::string_view k);

}  // namespace QuorlinUtils
