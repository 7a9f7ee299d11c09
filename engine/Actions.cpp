// SPDX-License-Identifier: Apache-2.0
#include "engine/Actions.h"

#include <algorithm>
#include <utility>

#include "engine/KeyPattern.h"
#include "textutil/QuorlinUtils.h"

namespace quorlin {

namespace QU = QuorlinUtils;

namespace {

std::string_view Assign(std::string& scratch, std::string s) {
  scratch = std::move(s);
  return scratch;
}

// Every occurrence of the test key replaced by r; the line itself (no copy)
// when the key does not occur.
std::string_view ReplaceKey(const ActionParams& p, std::string_view line, std::string_view cmpLine,
                            std::string_view r, std::string& scratch) {
  if (p.pattern != nullptr) {
    scratch.clear();
    return QU::AppendReplaceAllKeys(scratch, line, *p.pattern, r) ? std::string_view(scratch)
                                                                  : line;
  }
  if (QU::KeyPos(p.cmpKey, cmpLine) == 0) return line;
  scratch.clear();
  QU::AppendReplaceAllKeys(scratch, line, p.testKey, r, p.caseSensitive);
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
  const auto L = static_cast<long long>(line.size());
  const std::string_view R = p.replacementKey;
  switch (p.kind) {
    case ActionCode::Trim: {
      std::size_t b = 0, e = line.size();
      while (b < e && static_cast<unsigned char>(line[b]) < 33) ++b;
      while (e > b && static_cast<unsigned char>(line[e - 1]) < 33) --e;
      return line.substr(b, e - b);
    }
    case ActionCode::Truncate:
      return (p.lineLength > 0 && L > p.lineLength) ? line.substr(0, std::size_t(p.lineLength))
                                                    : line;
    case ActionCode::PadFront:
    case ActionCode::PadEnd: {
      if (p.lineLength < 1 || L >= p.lineLength) return line;
      scratch.clear();
      const auto pad = std::size_t(p.lineLength - L);
      if (p.kind == ActionCode::PadFront) scratch.append(pad, ' ');
      scratch.append(line);
      if (p.kind == ActionCode::PadEnd) scratch.append(pad, ' ');
      return scratch;
    }
    case ActionCode::InsertAtPos: {
      const long long P = p.replPos;
      if (P < 1 || P > L + 1) return line;
      scratch.assign(line.substr(0, std::size_t(P - 1)));
      scratch.append(R);
      scratch.append(line.substr(std::size_t(P - 1)));
      return scratch;
    }
    case ActionCode::ReplaceLine:
      return R.empty() ? line : R;
    case ActionCode::DeleteKey:
      return ReplaceKey(p, line, cmpLine, {}, scratch);
    case ActionCode::ReplaceKey:
      return ReplaceKey(p, line, cmpLine, R, scratch);
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
      if (L < F) return line;
      const long long last = std::min(p.lastCharPos, L);
      if (last < F) return line;
      scratch.assign(line.substr(0, std::size_t(F - 1)));
      scratch.append(line.substr(std::size_t(last)));
      return scratch;
    }
    case ActionCode::KeepRange: {
      const long long F = std::max(p.firstCharPos, 1LL);
      if (L < F) return {};
      const long long last = std::min(p.lastCharPos, L);
      if (last < F) return {};
      return line.substr(std::size_t(F - 1), std::size_t(last - F + 1));
    }
    case ActionCode::DeleteFirstMarkers:
      if (R.size() < 2) return line;
      return Assign(scratch, QU::DeleteFirstMarkerPair(line, R[0], R[1]));
    case ActionCode::DeleteLastMarkers:
      if (R.size() < 2) return line;
      return Assign(scratch, QU::DeleteLastMarkerPair(line, R[0], R[1]));
    case ActionCode::Append:
      scratch.assign(line);
      scratch.append(R);
      return scratch;
    case ActionCode::DeleteCharSet:
      if (line.find_first_of(R) == std::string_view::npos) return line;
      return Assign(scratch, QU::RemoveAll(R, line, true));
    case ActionCode::StripOverstrikes:
      if (line.find('\b') == std::string_view::npos) return line;
      return Assign(scratch, QU::StripOverstrikes(line));
    default:  // NoChange, and every code that is not in-line
      return line;
  }
}

}  // namespace quorlin
