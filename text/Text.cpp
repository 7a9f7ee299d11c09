// SPDX-License-Identifier: Apache-2.0
#include "text/Text.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <unordered_set>
#include <utility>

#include "engine/LineBreaks.h"

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#define QUORLIN_BUFFERS_ON_DISK 1
#endif

namespace quorlin::text {
namespace {

// Pieces cut from a file or a large insertion end at a line break near this
// size: small enough that a scan of one piece takes microseconds, large
// enough that a 3M-line text has a few thousand nodes.
constexpr std::size_t kPieceTarget = std::size_t{64} * 1024;
// An insertion at least this large gets a buffer of its own.
constexpr std::size_t kOwnBufferAt = std::size_t{16} * 1024;

struct Piece {
  std::shared_ptr<const Buffer> buffer;
  const char* bytes;
  std::size_t length;
  std::size_t breaks;
};

std::size_t CountBreaks(const char* p, std::size_t n) {
  // Counted in runs of at most 255 bytes into one byte, a loop the compiler
  // turns into vector compares: several times faster than a count per byte.
  std::size_t count = 0;
  while (n > 0) {
    const std::size_t m = std::min<std::size_t>(n, 255);
    unsigned char run = 0;
    for (std::size_t i = 0; i < m; ++i) run = static_cast<unsigned char>(run + (p[i] == '\n'));
    count += run;
    p += m;
    n -= m;
  }
  return count;
}

std::uint32_t NextPriority() {
  thread_local std::uint64_t s = 0x9E3779B97F4A7C15ull;
  s ^= s << 13;
  s ^= s >> 7;
  s ^= s << 17;
  return std::uint32_t(s >> 32);
}

std::size_t Len(const NodePtr& n) {
  return n ? n->totalLength : 0;
}
std::size_t Breaks(const NodePtr& n) {
  return n ? n->totalBreaks : 0;
}

NodePtr Make(NodePtr left, NodePtr right, Piece piece, std::uint32_t priority) {
  auto n = std::make_shared<Node>();
  n->totalLength = Len(left) + piece.length + Len(right);
  n->totalBreaks = Breaks(left) + piece.breaks + Breaks(right);
  n->left = std::move(left);
  n->right = std::move(right);
  n->buffer = std::move(piece.buffer);
  n->bytes = piece.bytes;
  n->length = piece.length;
  n->breaks = piece.breaks;
  n->priority = priority;
  return n;
}

Piece PieceOf(const Node& n) {
  return {n.buffer, n.bytes, n.length, n.breaks};
}

NodePtr With(const Node& n, NodePtr left, NodePtr right) {
  return Make(std::move(left), std::move(right), PieceOf(n), n.priority);
}

// Breaks among the first cut bytes of a node's piece. A piece longer than
// kPieceTarget holds at most one break, at its end, so it is never scanned.
std::size_t BreaksBefore(const Node& n, std::size_t cut) {
  if (n.breaks == 0 || cut == 0) return 0;
  if (cut >= n.length) return n.breaks;
  if (n.breaks == 1 && n.bytes[n.length - 1] == '\n') return 0;
  if (cut <= n.length / 2) return CountBreaks(n.bytes, cut);
  return n.breaks - CountBreaks(n.bytes + cut, n.length - cut);
}

NodePtr Merge(const NodePtr& a, const NodePtr& b) {
  if (!a) return b;
  if (!b) return a;
  if (a->priority >= b->priority) return With(*a, a->left, Merge(a->right, b));
  return With(*b, Merge(a, b->left), b->right);
}

// l gets the first k bytes of t, r the rest.
void Split(NodePtr t, std::size_t k, NodePtr& l, NodePtr& r) {
  if (!t || k == 0) {
    l = nullptr;
    r = std::move(t);
    return;
  }
  if (k >= t->totalLength) {
    l = std::move(t);
    r = nullptr;
    return;
  }
  const std::size_t leftLength = Len(t->left);
  if (k <= leftLength) {
    NodePtr rest;
    Split(t->left, k, l, rest);
    r = With(*t, std::move(rest), t->right);
  } else if (k >= leftLength + t->length) {
    NodePtr rest;
    Split(t->right, k - leftLength - t->length, rest, r);
    l = With(*t, t->left, std::move(rest));
  } else {
    // Both halves keep the node's priority: each has one child of t's.
    const std::size_t cut = k - leftLength;
    const std::size_t before = BreaksBefore(*t, cut);
    l = Make(t->left, nullptr, {t->buffer, t->bytes, cut, before}, t->priority);
    r = Make(nullptr, t->right, {t->buffer, t->bytes + cut, t->length - cut, t->breaks - before},
             t->priority);
  }
}

// Cuts [p, p + n) of buffer into pieces at line breaks near kPieceTarget;
// a line longer than that is one piece.
void Cut(const std::shared_ptr<const Buffer>& buffer, const char* p, std::size_t n,
         std::vector<Piece>& out) {
  const char* const end = p + n;
  while (p < end) {
    const auto rest = std::size_t(end - p);
    std::size_t take = rest;
    std::size_t breaks = 0;
    bool counted = false;
    if (rest > kPieceTarget) {
      const std::size_t last = std::string_view(p, kPieceTarget).rfind('\n');
      if (last != std::string_view::npos) {
        take = last + 1;
      } else {
        const void* lf = std::memchr(p + kPieceTarget, '\n', rest - kPieceTarget);
        take = lf ? std::size_t(static_cast<const char*>(lf) - p) + 1 : rest;
        breaks = lf ? 1 : 0;
        counted = true;
      }
    }
    if (!counted) breaks = CountBreaks(p, take);
    out.push_back({buffer, p, take, breaks});
    p += take;
  }
}

// A balanced tree of the pieces; priorities fall with depth, so that it is a
// valid treap, with random low bits.
NodePtr Build(std::vector<Piece>& pieces, std::size_t lo, std::size_t hi, unsigned depth) {
  if (lo >= hi) return nullptr;
  const std::size_t mid = lo + (hi - lo) / 2;
  NodePtr left = Build(pieces, lo, mid, depth + 1);
  NodePtr right = Build(pieces, mid + 1, hi, depth + 1);
  const std::uint32_t level = 63 - std::min(depth, 63u);
  const std::uint32_t priority = (level << 26) | (NextPriority() & ((1u << 26) - 1));
  return Make(std::move(left), std::move(right), std::move(pieces[mid]), priority);
}

NodePtr TreeOf(const std::shared_ptr<const Buffer>& buffer) {
  std::vector<Piece> pieces;
  pieces.reserve(buffer->size() / kPieceTarget + 2);
  Cut(buffer, buffer->data(), buffer->size(), pieces);
  return Build(pieces, 0, pieces.size(), 0);
}

const Node* Last(const Node* t) {
  while (t && t->right) t = t->right.get();
  return t;
}

NodePtr ExtendLast(const NodePtr& t, std::size_t length, std::size_t breaks) {
  if (t->right) return With(*t, t->left, ExtendLast(t->right, length, breaks));
  return Make(t->left, nullptr, {t->buffer, t->bytes, t->length + length, t->breaks + breaks},
              t->priority);
}

// Turns each CR LF into "\n" and each lone CR into "\n", in place, from the
// first CR at firstCr on. Returns the new size.
std::size_t CompactBreaks(char* data, std::size_t size, char* firstCr) {
  char* const end = data + size;
  char* w = firstCr;
  const char* r = firstCr;
  while (r < end) {
    // r is at a CR.
    if (r + 1 < end && r[1] == '\n') {
      ++r;  // the LF goes with the bytes after it
    } else {
      *w++ = '\n';
      ++r;
    }
    const char* cr = static_cast<const char*>(std::memchr(r, '\r', std::size_t(end - r)));
    const char* stop = cr ? cr : end;
    if (w != r) std::memmove(w, r, std::size_t(stop - r));
    w += stop - r;
    r = stop;
  }
  return std::size_t(w - data);
}

#ifdef QUORLIN_BUFFERS_ON_DISK
// A file in folder that no name leads to: O_TMPFILE where the file system has
// it, else a fresh name removed at once.
int UnnamedFile(const std::string& folder) {
#ifdef O_TMPFILE
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
#endif
  std::string name = folder;
  if (!name.empty() && name.back() != '/') name += '/';
  name += "quorlin-history-XXXXXX";
  const int made = ::mkstemp(name.data());
  if (made >= 0) ::unlink(name.c_str());
  return made;
}

bool WriteAll(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, std::min<std::size_t>(n, std::size_t(1) << 24));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= std::size_t(w);
  }
  return true;
}
#endif

}  // namespace

Buffer::~Buffer() {
#ifdef QUORLIN_BUFFERS_ON_DISK
  if (mapped_) ::munmap(const_cast<char*>(data_), size_);
#endif
}

std::shared_ptr<const Buffer> Buffer::copyToDisk(const Buffer& from, const std::string& folder) {
#ifdef QUORLIN_BUFFERS_ON_DISK
  if (from.size() == 0) return nullptr;
  const int fd = UnnamedFile(folder);
  if (fd < 0) return nullptr;
  void* map = MAP_FAILED;
  if (WriteAll(fd, from.data(), from.size()))
    map = ::mmap(nullptr, from.size(), PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);  // the mapping keeps the file
  if (map == MAP_FAILED) return nullptr;
  std::shared_ptr<Buffer> b(new Buffer);
  b->data_ = static_cast<const char*>(map);
  b->size_ = from.size();
  b->mapped_ = true;
  return b;
#else
  (void)from;
  (void)folder;
  return nullptr;
#endif
}

Text Text::fromBytes(std::string_view bytes) {
  return adopt(std::string(bytes));
}

Text Text::adopt(std::string bytes, std::string* firstBreak) {
  char* const data = bytes.data();
  const std::size_t size = bytes.size();
  char* cr = static_cast<char*>(std::memchr(data, '\r', size));
  if (firstBreak) {
    const std::string_view found = FirstTerminator(bytes);
    firstBreak->assign(found.data(), found.size());
  }
  if (cr) bytes.resize(CompactBreaks(data, size, cr));
  if (bytes.empty()) return {};
  return Text(TreeOf(std::make_shared<const Buffer>(std::move(bytes))));
}

std::size_t Text::size() const {
  return Len(root_);
}
std::size_t Text::breaks() const {
  return Breaks(root_);
}

std::size_t Text::lineCount() const {
  const std::size_t n = size();
  return breaks() + (n > 0 && at(n - 1) != '\n' ? 1 : 0);
}

std::size_t Text::lineStart(std::size_t line) const {
  if (line == 0) return 0;
  std::size_t k = line;  // the k-th break (from 1); the line starts after it
  std::size_t base = 0;
  for (const Node* n = root_.get(); n;) {
    const std::size_t leftBreaks = Breaks(n->left);
    if (k <= leftBreaks) {
      n = n->left.get();
      continue;
    }
    k -= leftBreaks;
    base += Len(n->left);
    if (k <= n->breaks) {
      // A long piece's one break is its last byte: it is not searched for.
      if (n->length > kPieceTarget) return base + n->length;
      const char* p = n->bytes;
      const char* const end = n->bytes + n->length;
      for (;;) {
        p = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
        if (--k == 0) return base + std::size_t(p - n->bytes) + 1;
        ++p;
      }
    }
    k -= n->breaks;
    base += n->length;
    n = n->right.get();
  }
  return size();
}

std::size_t Text::lineEnd(std::size_t line) const {
  return line < breaks() ? lineStart(line + 1) - 1 : size();
}

std::size_t Text::lineAt(std::size_t offset) const {
  std::size_t count = 0;
  for (const Node* n = root_.get(); n;) {
    const std::size_t leftLength = Len(n->left);
    if (offset < leftLength) {
      n = n->left.get();
      continue;
    }
    count += Breaks(n->left);
    offset -= leftLength;
    if (offset < n->length) return count + BreaksBefore(*n, offset);
    count += n->breaks;
    offset -= n->length;
    n = n->right.get();
  }
  return count;
}

char Text::at(std::size_t offset) const {
  for (const Node* n = root_.get(); n;) {
    const std::size_t leftLength = Len(n->left);
    if (offset < leftLength) {
      n = n->left.get();
      continue;
    }
    offset -= leftLength;
    if (offset < n->length) return n->bytes[offset];
    offset -= n->length;
    n = n->right.get();
  }
  return '\0';
}

std::string Text::slice(std::size_t from, std::size_t to) const {
  std::string out;
  to = std::min(to, size());
  if (from >= to) return out;
  out.reserve(to - from);
  forEachChunk(from, to, [&](std::string_view c) {
    out.append(c);
    return true;
  });
  return out;
}

std::string_view Text::view(std::size_t from, std::size_t to, std::string& scratch) const {
  to = std::min(to, size());
  if (from >= to) return {};
  ChunkCursor cursor(*this, from);
  std::string_view first;
  cursor.next(first);
  if (first.size() >= to - from) return first.substr(0, to - from);
  scratch = slice(from, to);
  return scratch;
}

Text Text::insert(std::size_t at, std::string_view bytes, AppendChunks& chunks) const {
  if (bytes.empty()) return *this;
  if (bytes.size() >= kOwnBufferAt) return insert(at, bytes);
  NodePtr l, r;
  Split(root_, at, l, r);
  if (!chunks.chunk || chunks.used + bytes.size() > AppendChunks::kChunkSize) {
    chunks.chunk = std::make_shared<Buffer>(std::string(AppendChunks::kChunkSize, '\0'));
    chunks.used = 0;
  }
  char* const dst = chunks.chunk->writable() + chunks.used;
  std::memcpy(dst, bytes.data(), bytes.size());
  chunks.used += bytes.size();
  const std::size_t breaks = CountBreaks(bytes.data(), bytes.size());
  const Node* last = Last(l.get());
  if (last && last->buffer.get() == chunks.chunk.get() && last->bytes + last->length == dst) {
    l = ExtendLast(l, bytes.size(), breaks);
  } else {
    l = Merge(l, Make(nullptr, nullptr, {chunks.chunk, dst, bytes.size(), breaks}, NextPriority()));
  }
  return Text(Merge(l, r));
}

Text Text::insert(std::size_t at, std::string_view bytes) const {
  if (bytes.empty()) return *this;
  NodePtr l, r;
  Split(root_, at, l, r);
  NodePtr middle = TreeOf(std::make_shared<const Buffer>(std::string(bytes)));
  return Text(Merge(Merge(l, middle), r));
}

Text Text::erase(std::size_t from, std::size_t to) const {
  to = std::min(to, size());
  if (from >= to) return *this;
  NodePtr l, middle, r;
  Split(root_, from, l, middle);
  Split(std::move(middle), to - from, middle, r);
  return Text(Merge(l, r));
}

std::size_t Text::pieceCount() const {
  std::size_t count = 0;
  std::vector<const Node*> stack;
  if (root_) stack.push_back(root_.get());
  while (!stack.empty()) {
    const Node* n = stack.back();
    stack.pop_back();
    ++count;
    if (n->left) stack.push_back(n->left.get());
    if (n->right) stack.push_back(n->right.get());
  }
  return count;
}

std::vector<std::shared_ptr<const Buffer>> Text::buffers() const {
  std::vector<std::shared_ptr<const Buffer>> out;
  std::unordered_set<const Buffer*> seen;
  std::vector<const Node*> stack;
  if (root_) stack.push_back(root_.get());
  while (!stack.empty()) {
    const Node* n = stack.back();
    stack.pop_back();
    if (seen.insert(n->buffer.get()).second) out.push_back(n->buffer);
    if (n->left) stack.push_back(n->left.get());
    if (n->right) stack.push_back(n->right.get());
  }
  return out;
}

std::string Text::checkInvariants() const {
  std::vector<const Node*> stack;
  if (root_) stack.push_back(root_.get());
  while (!stack.empty()) {
    const Node* n = stack.back();
    stack.pop_back();
    const std::size_t at = Len(n->left);  // within the subtree
    auto failed = [&](const char* what) {
      return std::string(what) + " (a piece of " + std::to_string(n->length) + " bytes, " +
             std::to_string(n->breaks) + " breaks)";
    };
    if (n->length == 0) return failed("an empty piece");
    if (!n->buffer || n->bytes < n->buffer->data() ||
        n->bytes + n->length > n->buffer->data() + n->buffer->size())
      return failed("a piece outside its buffer");
    if (CountBreaks(n->bytes, n->length) != n->breaks)
      return failed("a piece miscounts its breaks");
    if (n->length > kPieceTarget && n->breaks > (n->bytes[n->length - 1] == '\n' ? 1u : 0u))
      return failed("a long piece with a break before its end");
    if (n->totalLength != at + n->length + Len(n->right) ||
        n->totalBreaks != Breaks(n->left) + n->breaks + Breaks(n->right))
      return failed("a subtree's totals are wrong");
    for (const NodePtr& child : {n->left, n->right}) {
      if (!child) continue;
      if (child->priority > n->priority) return failed("a child above its parent's priority");
      stack.push_back(child.get());
    }
  }
  return {};
}

// ---- BufferSwap ----

BufferSwap::BufferSwap(const Swaps& swaps) {
  for (const auto& [from, to] : swaps) {
    if (from != nullptr && to != nullptr && from->size() == to->size()) swaps_[from] = to;
  }
}

Text BufferSwap::apply(const Text& text) {
  return Text(node(text.root_));
}

NodePtr BufferSwap::node(const NodePtr& n) {
  if (!n) return n;
  const auto found = done_.find(n.get());
  if (found != done_.end()) return found->second;
  NodePtr left = node(n->left);
  NodePtr right = node(n->right);
  const auto swap = swaps_.find(n->buffer.get());
  NodePtr out = n;
  if (swap != swaps_.end() || left != n->left || right != n->right) {
    Piece piece = PieceOf(*n);
    if (swap != swaps_.end()) {
      piece.bytes = swap->second->data() + (n->bytes - n->buffer->data());
      piece.buffer = swap->second;
    }
    out = Make(std::move(left), std::move(right), std::move(piece), n->priority);
  }
  done_.emplace(n.get(), out);
  return out;
}

// ---- ChunkCursor ----

ChunkCursor::ChunkCursor(Text text, std::size_t from) : text_(std::move(text)) {
  descend(text_.root_.get(), from);
}

void ChunkCursor::descend(const Node* n, std::size_t skip) {
  // The stack holds the nodes whose piece is still to come, nearest on top.
  while (n) {
    const std::size_t leftLength = Len(n->left);
    if (skip < leftLength) {
      stack_.push_back(n);
      n = n->left.get();
    } else if (skip < leftLength + n->length) {
      stack_.push_back(n);
      skipFirst_ = skip - leftLength;
      return;
    } else {
      skip -= leftLength + n->length;
      n = n->right.get();
    }
  }
}

bool ChunkCursor::next(std::string_view& chunk) {
  if (stack_.empty()) return false;
  const Node* n = stack_.back();
  stack_.pop_back();
  chunk = std::string_view(n->bytes + skipFirst_, n->length - skipFirst_);
  skipFirst_ = 0;
  for (const Node* c = n->right.get(); c; c = c->left.get()) stack_.push_back(c);
  return true;
}

}  // namespace quorlin::text
