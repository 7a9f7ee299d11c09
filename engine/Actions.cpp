// SPDX-License-Identifier: Apache-2.0
#include "engine/Actions.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/KeyPattern.h"
#include "textutil/QuorlinUtils.h"
#include "textutil/Utf8.h"

namespace quorlin {

namespace QU = QuorlinUtils;

namespace {

std::string_view Assign(std::string& scratch, std::string s) {
  scratch = std::move(s);
  return scratch;
}

// Every occurrence of the test key replaced by r, found in the line itself
// (folding A-Z unless case-sensitive, as the comparison line would); the line
// itself (no copy) when the key does not occur.
std::string_view ReplaceKey(const ActionParams& p, std::string_view line, std::string_view r,
                            std::string& scratch) {
  if (p.pattern == nullptr && p.testKey.empty()) return line;
  scratch.clear();
  const bool any =
      p.pattern != nullptr
          ? QU::AppendReplaceAllKeys(scratch, line, *p.pattern, r)
          : QU::AppendReplaceAllKeys(scratch, line, QU::PlainKey(p.testKey, p.caseSensitive), r);
  return any ? std::string_view(scratch) : line;
}

// A line's length and a character position's byte offset, in the run's
// characters: bytes, or UTF-8 characters.
long long Length(const ActionParams& p, std::string_view line) {
  return static_cast<long long>(p.utf8 ? QU::CountUtf8Chars(line) : line.size());
}
std::size_t ByteOffset(const ActionParams& p, std::string_view line, long long chars) {
  const auto n = static_cast<std::size_t>(chars);
  return p.utf8 ? QU::Utf8Skip(line, n) : n;
}

// The UTF-8 characters of some bytes, one view each.
std::vector<std::string_view> Utf8Chars(std::string_view bytes) {
  std::vector<std::string_view> chars;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t n = QU::Utf8CharLength(bytes, i);
    chars.push_back(bytes.substr(i, n));
    i += n;
  }
  return chars;
}

// The line without characters first..last (1-based, within the line).
std::string_view WithoutChars(const std::vector<std::string_view>& chars, std::string_view line,
                              std::size_t first, std::size_t last, std::string& scratch) {
  const auto offset = [&](std::size_t i) {
    return i < chars.size() ? std::size_t(chars[i].data() - line.data()) : line.size();
  };
  scratch.assign(line.substr(0, offset(first - 1)));
  scratch.append(line.substr(offset(last)));
  return scratch;
}

// Actions 33 and 37 on UTF-8 characters, as their byte forms work on bytes:
// the markers b and e are the first two characters of the replacement key.
std::string_view DeleteMarkersUtf8(bool first, std::string_view line, std::string_view r,
                                   std::string& scratch) {
  const std::vector<std::string_view> keys = Utf8Chars(r);
  if (keys.size() < 2) return line;
  const std::string_view b = keys[0], e = keys[1];
  const std::vector<std::string_view> chars = Utf8Chars(line);
  const std::size_t n = chars.size();
  // 1-based positions of the first and the last character equal to c within
  // [from, to), 0 when there is none.
  const auto firstOf = [&](std::string_view c, std::size_t from, std::size_t to) -> std::size_t {
    for (std::size_t i = from; i < to; ++i)
      if (chars[i] == c) return i + 1;
    return 0;
  };
  const auto lastOf = [&](std::string_view c, std::size_t to) -> std::size_t {
    for (std::size_t i = to; i > 0; --i)
      if (chars[i - 1] == c) return i;
    return 0;
  };
  std::size_t B = 0, E = 0;
  if (first) {
    B = firstOf(b, 0, n);
    E = firstOf(e, 0, n);
    if (b == e) {
      const std::size_t next = firstOf(e, B, n);
      E = next == 0 ? B : next;
    }
  } else {
    E = lastOf(e, n);
    B = lastOf(b, n);
    if (b == e) B = E > 0 ? lastOf(b, E - 1) : 0;
    if (B > E) B = E > 1 ? lastOf(b, E - 1) : 0;
  }
  if (B == 0 || E <= B) return line;
  return WithoutChars(chars, line, B, E, scratch);
}

// Action 38 on UTF-8 characters: every character that occurs in r removed.
std::string_view DeleteCharSetUtf8(std::string_view line, std::string_view r,
                                   std::string& scratch) {
  const std::vector<std::string_view> set = Utf8Chars(r);
  scratch.clear();
  bool removed = false;
  for (std::size_t i = 0; i < line.size();) {
    const std::string_view c = line.substr(i, QU::Utf8CharLength(line, i));
    if (std::find(set.begin(), set.end(), c) == set.end()) {
      scratch.append(c);
    } else {
      removed = true;
    }
    i += c.size();
  }
  return removed ? std::string_view(scratch) : line;
}

// Action 41 on UTF-8 characters: a backspace takes the whole character after
// it.
std::string_view StripOverstrikesUtf8(std::string_view line, std::string& scratch) {
  const std::string t = QU::RemoveAll("_\b", line, false);
  scratch.clear();
  bool skip = false;
  for (std::size_t i = 0; i < t.size();) {
    const std::size_t n = QU::Utf8CharLength(t, i);
    const bool backspace = t[i] == '\b';
    if (backspace) skip = true;
    if (!skip) scratch.append(t, i, n);
    if (!backspace) skip = false;
    i += n;
  }
  return scratch;
}

// The first occurrence of the key: its 1-based position (0 when none) and
// its length.
std::pair<std::size_t, std::size_t> FirstKey(const ActionParams& p, std::string_view line,
                                             std::string_view cmpLine) {
  if (p.pattern != nullptr) {
    const QU::KeyMatch m = p.pattern->find(line, 0);
    return {m.found() ? m.at + 1 : 0, m.length};
  }
  return {QU::KeyPos(p.cmpKey, cmpLine), p.cmpKey.size()};
}

}  // namespace

std::string_view ApplyInlineAction(const ActionParams& p, std::string_view line,
                                   std::string_view cmpLine, std::string& scratch) {
  // The line's length in characters, counted only by the actions that need it.
  const auto L = [&] { return Length(p, line); };
  const std::string_view R = p.replacementKey;
  switch (p.kind) {
    case ActionCode::Trim: {
      std::size_t b = 0, e = line.size();
      while (b < e && static_cast<unsigned char>(line[b]) < 33) ++b;
      while (e > b && static_cast<unsigned char>(line[e - 1]) < 33) --e;
      return line.substr(b, e - b);
    }
    case ActionCode::Truncate:
      return p.lineLength > 0 ? line.substr(0, ByteOffset(p, line, p.lineLength)) : line;
    case ActionCode::PadFront:
    case ActionCode::PadEnd: {
      if (p.lineLength < 1 || L() >= p.lineLength) return line;
      scratch.clear();
      const auto pad = std::size_t(p.lineLength - L());
      if (p.kind == ActionCode::PadFront) scratch.append(pad, ' ');
      scratch.append(line);
      if (p.kind == ActionCode::PadEnd) scratch.append(pad, ' ');
      return scratch;
    }
    case ActionCode::InsertAtPos: {
      const long long P = p.replPos;
      if (P < 1 || P > L() + 1) return line;
      const std::size_t at = ByteOffset(p, line, P - 1);
      scratch.assign(line.substr(0, at));
      scratch.append(R);
      scratch.append(line.substr(at));
      return scratch;
    }
    case ActionCode::ReplaceLine:
      return R.empty() ? line : R;
    case ActionCode::DeleteKey:
      return ReplaceKey(p, line, {}, scratch);
    case ActionCode::ReplaceKey:
      return ReplaceKey(p, line, R, scratch);
    case ActionCode::DeleteRightOfKey:
    case ActionCode::DeleteLeftOfKey:
    case ActionCode::ReplaceLeftOfKey:
    case ActionCode::ReplaceRightOfKey: {
      const auto [at, keyLength] = FirstKey(p, line, cmpLine);
      if (at == 0) return line;
      const std::size_t keyEnd = at - 1 + keyLength;  // bytes up to and with the key
      if (p.kind == ActionCode::DeleteRightOfKey) return line.substr(0, keyEnd);
      if (p.kind == ActionCode::DeleteLeftOfKey) return line.substr(at - 1);
      scratch.clear();
      if (p.kind == ActionCode::ReplaceLeftOfKey) {
        scratch.append(R);
        scratch.append(line.substr(at - 1));
      } else {
        scratch.append(line.substr(0, keyEnd));
        scratch.append(R);
      }
      return scratch;
    }
    case ActionCode::DeleteRange: {
      const long long F = std::max(p.firstCharPos, 1LL);
      if (L() < F) return line;
      const long long last = std::min(p.lastCharPos, L());
      if (last < F) return line;
      scratch.assign(line.substr(0, ByteOffset(p, line, F - 1)));
      scratch.append(line.substr(ByteOffset(p, line, last)));
      return scratch;
    }
    case ActionCode::KeepRange: {
      const long long F = std::max(p.firstCharPos, 1LL);
      if (L() < F) return {};
      const long long last = std::min(p.lastCharPos, L());
      if (last < F) return {};
      const std::size_t from = ByteOffset(p, line, F - 1);
      return line.substr(from, ByteOffset(p, line, last) - from);
    }
    case ActionCode::DeleteFirstMarkers:
      if (p.utf8) return DeleteMarkersUtf8(true, line, R, scratch);
      if (R.size() < 2) return line;
      return Assign(scratch, QU::DeleteFirstMarkerPair(line, R[0], R[1]));
    case ActionCode::DeleteLastMarkers:
      if (p.utf8) return DeleteMarkersUtf8(false, line, R, scratch);
      if (R.size() < 2) return line;
      return Assign(scratch, QU::DeleteLastMarkerPair(line, R[0], R[1]));
    case ActionCode::Append:
      scratch.assign(line);
      scratch.append(R);
      return scratch;
    case ActionCode::DeleteCharSet:
      if (line.find_first_of(R) == std::string_view::npos) return line;
      if (p.utf8) return DeleteCharSetUtf8(line, R, scratch);
      return Assign(scratch, QU::RemoveAll(R, line, true));
    case ActionCode::StripOverstrikes:
      if (line.find('\b') == std::string_view::npos) return line;
      if (p.utf8) return StripOverstrikesUtf8(line, scratch);
      return Assign(scratch, QU::StripOverstrikes(line));
    default:  // NoChange, and every code that is not in-line
      return line;
  }
}

}  // namespace quorlin
