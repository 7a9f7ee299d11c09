// SPDX-License-Identifier: Apache-2.0
// Text: the document's bytes as an immutable value, with a line index.
//
// Lines are separated by "\n" and nothing else: a text never holds a CR (a
// file's CR LF and lone CR become "\n" when it is adopted). A final "\n" gives
// no empty last line. Offsets count bytes from 0, a line break counting one.
//
// Shape: a piece tree. The bytes live in immutable buffers (a file's bytes as
// read, typed text in append-only chunks, a paste in a buffer of its own); a
// balanced tree (a treap) holds the pieces in order, each node knowing the
// bytes and line breaks of its subtree. Why this over the alternatives:
//  - A file is adopted by one read and one memchr-speed pass that cuts it
//    into pieces of about 64 KB at line breaks and counts their breaks: no
//    copy per line and no index entry per line (a 3M-line text has ~2,900
//    nodes, not 3M offsets).
//  - An edit splits at most one piece and copies one path of the tree:
//    O(log n) in the number of pieces, never O(text), and never a copy of a
//    long line's bytes (a 100 MB line is one piece that edits only cut).
//  - Nodes and buffers are never changed once shared, so a Text is a cheap
//    snapshot (one pointer) that another thread may read while the window
//    edits, and the text before an edit or a change run stays whole for as
//    long as something holds it (undo).
// A gap buffer would need the whole text moved to edit far away and copied to
// snapshot; blocks of lines would copy a block per edit and could not hold a
// 100 MB line without copying it.
//
// Finding a line's start or the line of an offset descends the tree and then
// scans at most one piece; pieces with many breaks are at most ~64 KB, and a
// longer piece holds at most one break, at its end. checkInvariants() checks
// this and the rest of the tree's shape.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorlin::text {

// Immutable bytes that pieces point into: in memory, or in a file on disk
// mapped read-only. An append-only chunk is written past its used part only,
// where no piece points yet.
class Buffer {
 public:
  explicit Buffer(std::string bytes)
      : bytes_(std::move(bytes)), data_(bytes_.data()), size_(bytes_.size()) {}
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  ~Buffer();

  const char* data() const { return data_; }
  std::size_t size() const { return size_; }
  char* writable() { return bytes_.data(); }  // an in-memory buffer only
  bool onDisk() const { return mapped_; }

  // A copy of the bytes in a file of folder (created owner-only and removed
  // at once, so that nothing is left behind), mapped read-only: the bytes
  // then take page cache the system may drop and read again, not the
  // program's memory. nullptr where that cannot be done (a write error, a
  // system without mapped files).
  static std::shared_ptr<const Buffer> copyToDisk(const Buffer& from, const std::string& folder);

 private:
  Buffer() = default;
  std::string bytes_;
  const char* data_ = nullptr;
  std::size_t size_ = 0;
  bool mapped_ = false;
};

struct Node;
using NodePtr = std::shared_ptr<const Node>;

// What an edit did: bytes [offset, offset + removed) of the text before were
// replaced by bytes [offset, offset + inserted) of the text after.
struct Change {
  std::size_t offset = 0;
  std::size_t removed = 0;
  std::size_t inserted = 0;

  // What became of a line that was bytes [start, start + length) of the
  // text before (its break not counted): it lies before the change, after
  // it (moved by inserted - removed), holds it (when the change neither
  // removed nor inserted a line break: oneLine), or the change reached
  // across one of its ends.
  enum class Line { Before, After, Within, Gone };
  Line lineFate(std::size_t start, std::size_t length, bool oneLine) const {
    if (start + length < offset) return Line::Before;
    if (start > offset + removed) return Line::After;
    return oneLine ? Line::Within : Line::Gone;
  }
};

// Carries what is kept about lines (records with members start and length, a
// line of the text before change each) over to the text after it: records of
// lines before the change stay, those after it move with their lines, the
// one whose line holds the change goes to within(record), which updates it
// and says whether to keep it, and those the change reached across are
// dropped.
template <class Record, class Within>
void FollowChange(std::vector<Record>& records, const Change& c, bool oneLine, Within&& within) {
  std::size_t kept = 0;
  for (Record& r : records) {
    switch (c.lineFate(r.start, r.length, oneLine)) {
      case Change::Line::Before:
        break;
      case Change::Line::After:
        r.start = r.start - c.removed + c.inserted;
        break;
      case Change::Line::Within:
        if (!within(r)) continue;
        break;
      case Change::Line::Gone:
        continue;
    }
    if (&records[kept] != &r) records[kept] = std::move(r);
    ++kept;
  }
  records.resize(kept);
}

// Bytes typed one insertion after another go into shared chunks, so that
// consecutive insertions grow one piece instead of adding one each.
class AppendChunks {
 public:
  static constexpr std::size_t kChunkSize = std::size_t{64} * 1024;
  std::shared_ptr<Buffer> chunk;
  std::size_t used = 0;
};

class Text {
 public:
  Text() = default;

  // A text holding a copy of bytes, which hold no CR.
  static Text fromBytes(std::string_view bytes);
  // A file's bytes, taken over without a copy: CR LF and a lone CR become
  // "\n" in place. firstBreak (if given) receives the first line break met
  // ("\r\n", "\n", "\r"), or "" when there is none.
  static Text adopt(std::string bytes, std::string* firstBreak = nullptr);

  std::size_t size() const;
  bool empty() const { return size() == 0; }
  std::size_t breaks() const;  // the number of "\n"
  // Lines of the document: a last line that is empty does not count.
  std::size_t lineCount() const;
  // Lines as shown: breaks() + 1 (an empty text shows one empty line).
  std::size_t shownLines() const { return breaks() + 1; }

  // The offset where line (0-based, at most breaks()) starts, and where it
  // ends (the offset of its "\n", or size() for the last one).
  std::size_t lineStart(std::size_t line) const;
  std::size_t lineEnd(std::size_t line) const;
  // The line holding offset (at most size()): the number of breaks before it.
  std::size_t lineAt(std::size_t offset) const;

  char at(std::size_t offset) const;
  // Bytes [from, to) copied out.
  std::string slice(std::size_t from, std::size_t to) const;
  // Bytes [from, to) as one view: into the text when they lie in one piece,
  // otherwise copied into scratch.
  std::string_view view(std::size_t from, std::size_t to, std::string& scratch) const;
  std::string_view line(std::size_t i, std::string& scratch) const {
    return view(lineStart(i), lineEnd(i), scratch);
  }

  // Calls f(std::string_view) for the bytes of [from, to), piece by piece, in
  // order; f returns false to stop.
  template <class F>
  void forEachChunk(std::size_t from, std::size_t to, F&& f) const;

  // The text with bytes (holding no CR) put in at offset. A large insertion
  // gets a buffer of its own; a small one goes into chunks, growing the piece
  // before offset when that piece ends where the chunk's used part does.
  Text insert(std::size_t at, std::string_view bytes, AppendChunks& chunks) const;
  Text insert(std::size_t at, std::string_view bytes) const;
  Text erase(std::size_t from, std::size_t to) const;

  // Same text object (the same tree), not merely the same bytes.
  bool sameAs(const Text& o) const { return root_ == o.root_; }
  std::size_t pieceCount() const;

  // Every buffer the text's pieces lie in, each once.
  std::vector<std::shared_ptr<const Buffer>> buffers() const;

  // The tree's shape, checked node by node (a walk over every byte, for
  // tests and debugging): every piece holds at least one byte, lies within
  // its buffer and counts its own line breaks; a piece longer than the
  // pieces a file is cut into holds at most one break, at its end; every
  // node's totals are those of its subtree; no node has a lower priority
  // than a child (the treap's balance order). An empty string when all
  // holds, else what failed first.
  std::string checkInvariants() const;

 private:
  explicit Text(NodePtr root) : root_(std::move(root)) {}

  NodePtr root_;
  friend class ChunkCursor;
  friend class BufferSwap;
};

// Puts buffers in the place of others, byte for byte equal to them (a buffer
// and its copy on disk), throughout texts that share parts: texts that were
// the same object stay the same object, and parts without a replaced buffer
// stay shared with the texts they came from.
class BufferSwap {
 public:
  using Swaps = std::vector<std::pair<const Buffer*, std::shared_ptr<const Buffer>>>;
  explicit BufferSwap(const Swaps& swaps);
  Text apply(const Text& text);

 private:
  NodePtr node(const NodePtr& n);
  std::unordered_map<const Buffer*, std::shared_ptr<const Buffer>> swaps_;
  std::unordered_map<const Node*, NodePtr> done_;
};

struct Node {
  NodePtr left, right;
  std::shared_ptr<const Buffer> buffer;  // keeps bytes alive
  const char* bytes = nullptr;           // the piece
  std::size_t length = 0;
  std::size_t breaks = 0;
  std::size_t totalLength = 0;  // of the subtree
  std::size_t totalBreaks = 0;
  std::uint32_t priority = 0;
};

// Reads a text's pieces in order from an offset; holds the text alive.
class ChunkCursor {
 public:
  explicit ChunkCursor(Text text, std::size_t from = 0);
  // The next piece's bytes (from the starting offset on), or false at the end.
  bool next(std::string_view& chunk);

 private:
  void descend(const Node* n, std::size_t skip);
  Text text_;
  std::vector<const Node*> stack_;
  std::size_t skipFirst_ = 0;
};

template <class F>
void Text::forEachChunk(std::size_t from, std::size_t to, F&& f) const {
  if (from >= to) return;
  ChunkCursor cursor(*this, from);
  std::size_t left = to - from;
  std::string_view chunk;
  while (left > 0 && cursor.next(chunk)) {
    if (chunk.size() > left) chunk = chunk.substr(0, left);
    left -= chunk.size();
    if (!f(chunk)) return;
  }
}

}  // namespace quorlin::text
