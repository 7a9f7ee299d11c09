#include "engine/Actions.h"

#include <algorithm>

#include "textutil/QuorlinUtils.h"

namespace quorlin {

namespace QU = QuorlinUtils;

bool IsInlineAction(int kind) {
  switch (kind) {
    case 13: case 15: case 16: case 17: case 18: case 19: case 21: case 22: case 23: case 24:
    case 25: case 26: case 28: case 29: case 31: case 33: case 35: case 37: case 38: case 41:
      return true;
    default:
      return false;
  }
}

bool ActionUsesComparison(int kind) {
  switch (kind) {
    case 22: case 23: case 24: case 28: case 29: case 31: case 40:
      return true;
    default:
      return false;
  }
}

namespace {

std::string_view Assign(std::string& scratch, std::string s) {
  scratch = std::move(s);
  return scratch;
}

// Every occurrence of the test key replaced by r; the line itself (no copy)
// when the key does not occur.
std::string_view ReplaceKey(const ActionParams& p, std::string_view line, std::string_view cmpLine,
                            std::string_view r, std::string& scratch) {
  if (QU::KeyPos(p.cmpKey, cmpLine) == 0) return line;
  scratch.clear();
  QU::AppendReplaceAllKeys(scratch, line, p.testKey, r, p.caseSensitive);
  return scratch;
}

}  // namespace

std::string_view ApplyInlineAction(const ActionParams& p, std::string_view line,
                                   std::string_view cmpLine, std::string& scratch) {
  const long long L = static_cast<long long>(line.size());
  const std::string_view R = p.replacementKey;
  switch (p.kind) {
    case 15: {
      std::size_t b = 0, e = line.size();
      while (b < e && static_cast<unsigned char>(line[b]) < 33) ++b;
      while (e > b && static_cast<unsigned char>(line[e - 1]) < 33) --e;
      return line.substr(b, e - b);
    }
    case 16:
      return (p.lineLength > 0 && L > p.lineLength) ? line.substr(0, std::size_t(p.lineLength))
                                                     : line;
    case 17:
    case 18: {
      if (p.lineLength < 1 || L >= p.lineLength) return line;
      scratch.clear();
      const std::size_t pad = std::size_t(p.lineLength - L);
      if (p.kind == 17) scratch.append(pad, ' ');
      scratch.append(line);
      if (p.kind == 18) scratch.append(pad, ' ');
      return scratch;
    }
    case 19: {
      const long long P = p.replPos;
      if (P < 1 || P > L + 1) return line;
      scratch.assign(line.substr(0, std::size_t(P - 1)));
      scratch.append(R);
      scratch.append(line.substr(std::size_t(P - 1)));
      return scratch;
    }
    case 21:
      return R.empty() ? line : R;
    case 22:
      return ReplaceKey(p, line, cmpLine, {}, scratch);
    case 31:
      return ReplaceKey(p, line, cmpLine, R, scratch);
    case 23:
    case 24:
    case 28:
    case 29: {
      const std::size_t at = QU::KeyPos(p.cmpKey, cmpLine);
      if (at == 0) return line;
      const std::size_t keyEnd = at - 1 + p.cmpKey.size();  // bytes up to and with the key
      if (p.kind == 23) return line.substr(0, keyEnd);
      if (p.kind == 24) return line.substr(at - 1);
      scratch.clear();
      if (p.kind == 28) {
        scratch.append(R);
        scratch.append(line.substr(at - 1));
      } else {
        scratch.append(line.substr(0, keyEnd));
        scratch.append(R);
      }
      return scratch;
    }
    case 25: {
      const long long F = std::max(p.firstCharPos, 1LL);
      if (L < F) return line;
      const long long last = std::min(p.lastCharPos, L);
      if (last < F) return line;
      scratch.assign(line.substr(0, std::size_t(F - 1)));
      scratch.append(line.substr(std::size_t(last)));
      return scratch;
    }
    case 26: {
      const long long F = std::max(p.firstCharPos, 1LL);
      if (L < F) return {};
      const long long last = std::min(p.lastCharPos, L);
      if (last < F) return {};
      return line.substr(std::size_t(F - 1), std::size_t(last - F + 1));
    }
    case 33:
      if (R.size() < 2) return line;
      return Assign(scratch, QU::DeleteFirstMarkerPair(line, R[0], R[1]));
    case 37:
      if (R.size() < 2) return line;
      return Assign(scratch, QU::DeleteLastMarkerPair(line, R[0], R[1]));
    case 35:
      scratch.assign(line);
      scratch.append(R);
      return scratch;
    case 38:
      if (line.find_first_of(R) == std::string_view::npos) return line;
      return Assign(scratch, QU::RemoveAll(R, line, true));
    case 41:
      if (line.find('\b') == std::string_view::npos) return line;
      return Assign(scratch, QU::StripOverstrikes(line));
    default:  // 13, and any code without an in-line effect
      return line;
  }
}

}  // namespace quorlin
