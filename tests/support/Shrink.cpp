// SPDX-License-Identifier: Apache-2.0
#include "tests/support/Shrink.h"

#include <sstream>

namespace quorlin::testing {

std::string Show(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 32 || b > 126) {
      static const char* hex = "0123456789ABCDEF";
      out += "\\x";
      out += hex[b >> 4];
      out += hex[b & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Show(const Lines& lines) {
  std::string out = "{";
  for (std::size_t i = 0; i < lines.size(); ++i) out += (i ? ", " : "") + Show(lines[i]);
  return out + "}";
}

std::string Show(const ChangeRequest& r) {
  std::ostringstream out;
  out << "test " << Number(r.test) << ", action " << Number(r.action);
  const char* names[] = {"key",        "repl",      "firstLine", "lastLine",
                         "lineLength", "firstChar", "lastChar",  "replPos"};
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    const Parameter& p = r.fields[i];
    if (p.filled || !p.text.empty())
      out << ", " << names[i] << ' ' << Show(p.text) << (p.filled ? "" : " (not filled)");
  }
  if (r.retainPassingOnly) out << ", retain";
  if (r.caseSensitive) out << ", case-sensitive";
  if (r.outputLowerCase) out << ", lower";
  if (r.outputUpperCase) out << ", upper";
  return out.str();
}

std::string Show(const refimpl::Outcome& o) {
  std::ostringstream out;
  out << (o.completed ? "completed" : "stopped") << ", messages " << Show(o.messages) << ", lines "
      << Show(o.lines);
  return out.str();
}

void Shrink(ChangeRequest& r, Lines& lines,
            const std::function<bool(const ChangeRequest&, const Lines&)>& fails) {
  for (bool progress = true; progress;) {
    progress = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      Lines t = lines;
      t.erase(t.begin() + static_cast<std::ptrdiff_t>(i));
      if (fails(r, t)) lines = t, --i, progress = true;
    }
    for (auto& line : lines) {
      for (std::size_t j = 0; j < line.size(); ++j) {
        const std::string keep = line;
        line.erase(j, 1);
        if (fails(r, lines))
          --j, progress = true;
        else
          line = keep;
      }
    }
    for (const Field f : {Field::TestKey, Field::ReplacementKey}) {
      for (std::size_t j = 0; j < r[f].text.size(); ++j) {
        ChangeRequest t = r;
        t[f].text.erase(j, 1);
        t[f].filled = !t[f].text.empty();
        if (fails(t, lines)) r = t, --j, progress = true;
      }
    }
    for (bool ChangeRequest::*option :
         {&ChangeRequest::retainPassingOnly, &ChangeRequest::caseSensitive,
          &ChangeRequest::outputLowerCase, &ChangeRequest::outputUpperCase}) {
      if (!(r.*option)) continue;
      ChangeRequest t = r;
      t.*option = false;
      if (fails(t, lines)) r = t, progress = true;
    }
  }
}

}  // namespace quorlin::testing
