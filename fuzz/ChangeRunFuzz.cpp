// SPDX-License-Identifier: Apache-2.0
// Fuzz target: the first bytes choose a change request (its Test Key at times
// a pattern), the rest is the text.
// The run goes through the engine twice, on lines held in memory and through
// the block reader and writer with small blocks (from a file or a pipe), and
// both must give the same result, byte for byte.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/BlockLines.h"
#include "engine/ChangeRequest.h"
#include "engine/ChangeRun.h"
#include "engine/Files.h"
#include "engine/LineList.h"
#include "engine/LineStream.h"

namespace {

using namespace quorlin;

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : next_(data), end_(data + size) {}
  std::uint8_t byte() { return next_ < end_ ? *next_++ : 0; }
  std::string text(std::size_t maxLength) {
    const std::size_t n =
        std::min<std::size_t>(byte() % (maxLength + 1), std::size_t(end_ - next_));
    std::string s(reinterpret_cast<const char*>(next_), n);
    next_ += n;
    return s;
  }
  std::string_view rest() const {
    return std::string_view(reinterpret_cast<const char*>(next_), std::size_t(end_ - next_));
  }

 private:
  const std::uint8_t* next_;
  const std::uint8_t* end_;
};

// A number field's text: mostly small numbers, sometimes text that is no
// number or lies out of range.
std::string FieldText(std::uint8_t b) {
  switch (b >> 6) {
    case 0:
      return std::to_string(b % 8);
    case 1:
      return std::to_string(b % 64);
    case 2:
      return std::to_string(b * 5);
    default:
      return b % 2 ? "x1" : "-" + std::to_string(b % 4);
  }
}

// A pattern made of the key's bytes: as they are (often no valid pattern:
// then the request is refused), as a literal, or inside one of the
// constructs that matter to the searches (anchors, alternation, repetition,
// groups, classes, and patterns that may match empty text).
std::string PatternOf(const std::string& key, std::uint8_t how) {
  std::string literal;
  for (const char c : key) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= '0' && b <= '9') || ((b | 0x20) >= 'a' && (b | 0x20) <= 'z')) {
      literal += c;
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      literal += {'\\', 'x', kHex[b >> 4], kHex[b & 15]};
    }
  }
  static constexpr const char* kForms[] = {
      "@",  "@",     "(@)", "^@",    "@$",    "\\b@", "@|\\s", "(?:@)+",
      "@*", "(@)?x", "[@]", "[^@]+", "\\w+@", "@.*$", "(?i)@", "(@)|(\\d)",
  };
  const std::string form = kForms[how % std::size(kForms)];
  if (how >= 120) return key;  // as typed
  std::string pattern;
  for (const char c : form) pattern += c == '@' ? literal : std::string(1, c);
  return pattern;
}

ChangeRequest ReadRequest(Input& in) {
  ChangeRequest q;
  q.test = TestRows()[in.byte() % TestRows().size()].code;
  q.action = ActionRows()[in.byte() % ActionRows().size()].code;
  const std::uint8_t options = in.byte();
  q.retainPassingOnly = options & 1;
  q.caseSensitive = options & 2;
  q.outputLowerCase = options & 4;
  q.outputUpperCase = (options & 12) == 8;
  const std::uint8_t filled = in.byte();
  q[Field::TestKey].filled = filled & 1;
  q[Field::ReplacementKey].filled = filled & 2;
  for (std::size_t i = Index(Field::FirstLineNum); i < kFieldCount; ++i) {
    const std::size_t bit = i - Index(Field::FirstLineNum);
    q.fields[i] = {FieldText(in.byte()), (filled & (4 << bit)) != 0};
  }
  for (const Field f : {Field::TestKey, Field::ReplacementKey}) {
    q[f].text = in.text(6);
    if (q[f].text.empty()) q[f].filled = false;
  }
  const std::uint8_t pattern = in.byte();
  if (pattern & 1) {
    q.keyIsPattern = true;
    q[Field::TestKey].text = PatternOf(q[Field::TestKey].text, pattern >> 1);
    // Groups in replacements, sometimes.
    if (pattern & 2 && q[Field::ReplacementKey].filled) q[Field::ReplacementKey].text += "<\\0\\1>";
  }
  return q;
}

class JoinSink final : public LineSink {
 public:
  explicit JoinSink(std::string_view terminator) : terminator_(terminator) {}
  void write(std::string_view line) override {
    bytes.append(line);
    bytes.append(terminator_);
    ++lines;
  }
  std::string bytes;
  std::size_t lines = 0;

 private:
  std::string terminator_;
};

std::FILE* MemoryFile(std::string_view bytes) {
  const int fd = ::memfd_create("quorlin-fuzz", MFD_CLOEXEC);
  if (fd < 0) std::abort();
  for (std::size_t at = 0; at < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
    if (n <= 0) std::abort();
    at += std::size_t(n);
  }
  ::lseek(fd, 0, SEEK_SET);
  return ::fdopen(fd, "w+b");
}

std::string ReadAll(std::FILE* f) {
  std::string bytes;
  ::lseek(::fileno(f), 0, SEEK_SET);
  char block[4096];
  for (ssize_t n; (n = ::read(::fileno(f), block, sizeof block)) > 0;) bytes.append(block, n);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  const ChangeRequest q = ReadRequest(in);
  const std::uint8_t how = in.byte();
  const std::size_t readBlock = 16 + how % 48, writeBlock = 64 + how % 32;
  const bool fromPipe = how & 0x80;
  const std::string_view text = in.rest();
  if (!ValidateRequest(q).empty()) return 0;

  // In memory: the text split as the pane splits it, the figures counted
  // (which must not change what is written, compared below).
  LineList lines;
  const std::string_view first =
      ForEachLine(text, [&](std::string_view line) { lines.push_back(line); });
  const std::string terminator = first.empty() ? "\n" : std::string(first);
  LineListSource source(lines);
  JoinSink sink(terminator);
  RunStats figures;
  const RunResult expected = RunChange(q, source, sink, &figures);
  if (expected.completed &&
      (figures.linesIn != lines.size() || figures.linesOut != sink.lines ||
       figures.linesOut != figures.linesIn - figures.deleted + figures.added ||
       figures.changed + figures.deleted > figures.linesIn || figures.passed > figures.linesIn))
    std::abort();

  // Through the block reader and writer, the terminator taken from the input
  // as the batch program takes it.
  std::FILE* out = MemoryFile("");
  std::FILE* inFile = nullptr;
  std::thread feeder;
  if (fromPipe && text.size() < 65536) {
    int fds[2];
    if (::pipe(fds) != 0) std::abort();
    feeder = std::thread([fd = fds[1], text] {
      for (std::size_t at = 0; at < text.size();) {
        const ssize_t n = ::write(fd, text.data() + at, text.size() - at);
        if (n <= 0) break;
        at += std::size_t(n);
      }
      ::close(fd);
    });
    inFile = ::fdopen(fds[0], "rb");
  } else {
    inFile = MemoryFile(text);
  }
  RunResult actual;
  std::string written;
  {
    BlockLineReader reader(inFile, "in", readBlock);
    BlockLineWriter writer(out, "out", "\n", writeBlock);
    writer.setTerminatorOnFirstWrite([&reader]() -> std::string_view {
      return reader.firstTerminator().empty() ? std::string_view("\n") : reader.firstTerminator();
    });
    actual = RunChange(q, reader, writer);
    if (actual.completed) writer.finish();
  }
  if (feeder.joinable()) feeder.join();
  written = ReadAll(out);
  std::fclose(inFile);
  std::fclose(out);

  if (actual.completed != expected.completed || actual.messages != expected.messages) std::abort();
  if (actual.completed && written != sink.bytes) {
    std::fprintf(stderr, "test %d action %d: %zu bytes through blocks, %zu in memory\n",
                 Number(q.test), Number(q.action), written.size(), sink.bytes.size());
    std::abort();
  }
  return 0;
}
