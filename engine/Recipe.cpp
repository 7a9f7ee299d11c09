// SPDX-License-Identifier: Apache-2.0
#include "engine/Recipe.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "engine/RequestOptions.h"
#include "engine/RunPlan.h"
#include "textutil/Utf8.h"

namespace quorlin {

namespace {

// ---------------------------------------------------------------------------
// Reading: a line's words as a POSIX shell splits them.

struct Words {
  std::vector<std::string> words;
  std::string fault;  // why the line cannot be split; empty when it can
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The escapes of $'...' from the backslash at i; advances i past them.
std::string DollarEscape(std::string_view s, std::size_t& i, std::string& out) {
  if (i + 1 >= s.size()) return "a $'...' word is not closed";
  const char c = s[i + 1];
  i += 2;
  switch (c) {
    case '\\':
      out += '\\';
      return {};
    case '\'':
      out += '\'';
      return {};
    case '"':
      out += '"';
      return {};
    case '?':
      out += '?';
      return {};
    case 'a':
      out += '\a';
      return {};
    case 'b':
      out += '\b';
      return {};
    case 'e':
    case 'E':
      out += '\x1b';
      return {};
    case 'f':
      out += '\f';
      return {};
    case 'n':
      out += '\n';
      return {};
    case 'r':
      out += '\r';
      return {};
    case 't':
      out += '\t';
      return {};
    case 'v':
      out += '\v';
      return {};
    case 'x': {
      int v = 0, n = 0;
      for (; n < 2 && i < s.size() && HexDigit(s[i]) >= 0; ++n, ++i) v = v * 16 + HexDigit(s[i]);
      if (n == 0) return "\\x needs a hexadecimal digit";
      out += static_cast<char>(v);
      return {};
    }
    default:
      if (c >= '0' && c <= '7') {
        int v = c - '0';
        for (int n = 1; n < 3 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++n, ++i)
          v = v * 8 + (s[i] - '0');
        out += static_cast<char>(v & 0xFF);
        return {};
      }
      return std::string("unknown escape \\") + c + " in $'...'";
  }
}

// Characters a shell would give a meaning of its own when not quoted.
bool ShellSpecial(char c) {
  return std::strchr("|&;<>()$`*?[", c) != nullptr;
}

Words SplitWords(std::string_view s) {
  Words r;
  std::string word;
  bool inWord = false;
  auto quoteFault = [&](char c) {
    r.fault = std::string("quote the character ") + c + " (write it in '...')";
    return r;
  };
  for (std::size_t i = 0; i < s.size();) {
    const char c = s[i];
    if (c == ' ' || c == '\t') {
      if (inWord) r.words.push_back(std::move(word));
      word.clear();
      inWord = false;
      ++i;
    } else if (c == '#' && !inWord) {
      break;  // a comment to the end of the line
    } else if (c == '\'') {
      const std::size_t close = s.find('\'', i + 1);
      if (close == std::string_view::npos) return r.fault = "a quote ' is not closed", r;
      word.append(s.substr(i + 1, close - i - 1));
      inWord = true;
      i = close + 1;
    } else if (c == '$' && i + 1 < s.size() && s[i + 1] == '\'') {
      inWord = true;
      for (i += 2;;) {
        if (i >= s.size()) return r.fault = "a $'...' word is not closed", r;
        if (s[i] == '\'') break;
        if (s[i] != '\\') {
          word += s[i++];
          continue;
        }
        if (std::string why = DollarEscape(s, i, word); !why.empty()) return r.fault = why, r;
      }
      ++i;
    } else if (c == '"') {
      inWord = true;
      for (++i;; ++i) {
        if (i >= s.size()) return r.fault = "a quote \" is not closed", r;
        const char d = s[i];
        if (d == '"') break;
        if (d == '$' || d == '`') return quoteFault(d);
        if (d == '\\' && i + 1 < s.size() && std::strchr("$`\"\\", s[i + 1]) != nullptr) ++i;
        word += s[i];
      }
      ++i;
    } else if (c == '\\') {
      if (i + 1 >= s.size()) return r.fault = "a step cannot go on on the next line", r;
      word += s[i + 1];
      inWord = true;
      i += 2;
    } else if (ShellSpecial(c) || (c == '~' && !inWord)) {
      return quoteFault(c);
    } else {
      word += c;
      inWord = true;
      ++i;
    }
  }
  if (inWord) r.words.push_back(std::move(word));
  return r;
}

// quorlin-batch's options that are not part of a request.
constexpr std::string_view kRunOptions[] = {
    "-j",     "--jobs", "-o",     "--in-place", "--recipe", "--stats",   "--dry-run", "--explain",
    "--list", "-h",     "--help", "--version",  "--range",  "--context", "--facts",   "--chain",
};

bool IsRunOption(std::string_view name) {
  return std::find(std::begin(kRunOptions), std::end(kRunOptions), name) != std::end(kRunOptions);
}

// The row named name ("--key" or "-k"); null when none is.
const RequestOptionRow* RowNamed(std::string_view name) {
  for (const RequestOptionRow& row : RequestOptionRows()) {
    const std::string_view names = row.names;
    const std::size_t comma = names.find(',');
    if (names.substr(0, comma) == name ||
        (comma != std::string_view::npos && names.substr(comma + 1) == name))
      return &row;
  }
  return nullptr;
}

// The words of one step into values, as quorlin-batch takes its options:
// "--name VALUE", "--name=VALUE", "-n VALUE", "-nVALUE", flags together
// ("-cE"). Why they are refused, or "".
std::string StepValues(const std::vector<std::string>& words, RequestValues& v) {
  auto take = [&](const RequestOptionRow& row, std::string_view shown,
                  std::optional<std::string> value, std::size_t& i) -> std::string {
    if (!row.inRecipe)
      return "the encoding of a recipe is a line of its own before the steps: encoding utf8";
    const std::size_t at = Index(row.option);
    v.given[at] = true;
    if (*row.value == '\0') {
      if (value) return "option '" + std::string(shown) + "' takes no value";
      v.flag[at] = true;
      return {};
    }
    if (!value) {
      if (i + 1 >= words.size()) return "option '" + std::string(shown) + "' needs a value";
      value = words[++i];
    }
    if (std::string why = CheckRequestValue(row.option, *value); !why.empty()) return why;
    v.text[at] = std::move(*value);
    return {};
  };
  auto unknown = [](std::string_view name) {
    std::string s = IsRunOption(name) ? "'" : "unknown option '";
    s.append(name).push_back('\'');
    if (IsRunOption(name)) s += " is not part of a request: give it on the command line";
    return s;
  };
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w.size() > 2 && w.rfind("--", 0) == 0) {
      const std::size_t eq = w.find('=');
      const std::string name = w.substr(0, eq);
      const RequestOptionRow* row = RowNamed(name);
      if (row == nullptr) return unknown(name);
      std::optional<std::string> value;
      if (eq != std::string::npos) value = w.substr(eq + 1);
      if (std::string why = take(*row, name, value, i); !why.empty()) return why;
    } else if (w.size() > 1 && w[0] == '-' && w[1] != '-') {
      for (std::size_t j = 1; j < w.size(); ++j) {
        const std::string name = std::string("-") + w[j];
        const RequestOptionRow* row = RowNamed(name);
        if (row == nullptr) return unknown(name);
        std::optional<std::string> value;
        if (*row->value != '\0' && j + 1 < w.size()) value = w.substr(j + 1);
        if (std::string why = take(*row, name, value, i); !why.empty()) return why;
        if (*row->value != '\0') break;
      }
    } else {
      return "'" + w + "' is no option: a recipe's input and output are given on the command line";
    }
  }
  for (const auto& [a, b] : ExclusiveRequestOptions())
    if (v.given[Index(a)] && v.given[Index(b)])
      return std::string(RowOf(a).names) + " and " + RowOf(b).names + " cannot be given together";
  return {};
}

std::string Joined(const std::vector<std::string>& messages) {
  std::string s;
  for (const std::string& m : messages) s += (s.empty() ? "" : "; ") + m;
  return s;
}

// ---------------------------------------------------------------------------
// Writing.

bool PlainWordByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::strchr("_@%+=:,./-", c) != nullptr;
}

// word as one shell word: itself when nothing in it needs quoting, else in
// '...', or in $'...' when it holds a byte that is not printable ASCII.
std::string Quoted(std::string_view word) {
  if (!word.empty() && std::all_of(word.begin(), word.end(), PlainWordByte))
    return std::string(word);
  const bool printable = std::all_of(word.begin(), word.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F;
  });
  std::string s;
  if (printable) {
    s = "'";
    for (const char c : word) s += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return s + "'";
  }
  s = "$'";
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : word) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\\' || c == '\'') {
      s += '\\';
      s += c;
    } else if (b >= 0x20 && b < 0x7F) {
      s += c;
    } else {
      s += "\\x";
      s += kHex[b >> 4];
      s += kHex[b & 15];
    }
  }
  return s + "'";
}

}  // namespace

std::variant<Recipe, RecipeFault> ReadRecipe(std::string_view text) {
  Recipe recipe;
  std::vector<std::string> comments;
  int lineNo = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte-order mark
  auto fault = [&](std::string message) { return RecipeFault{lineNo, std::move(message)}; };
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!QuorlinUtils::IsValidUtf8(line))
      return fault("the line is not UTF-8 text: write other bytes as $'\\xHH'");
    if (lineNo == 1) {
      const Words head = SplitWords(line);
      const std::vector<std::string>& w = head.words;
      if (!head.fault.empty() || w.size() != 2 || w[0] != "quorlin-recipe")
        return fault("not a recipe: the first line must be \"" + std::string(kRecipeHeader) + "\"");
      if (w[1] != "1") {
        const bool later =
            !w[1].empty() && w[1].size() < 6 &&
            std::all_of(w[1].begin(), w[1].end(), [](char c) { return c >= '0' && c <= '9'; }) &&
            w[1] != "0";
        return fault(later ? "the recipe is of format version " + w[1] +
                                 "; this program reads version 1"
                           : "'" + w[1] + "' is no recipe format version");
      }
      continue;
    }
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) continue;
    if (line[first] == '#') {
      std::string_view c = line.substr(first + 1);
      if (!c.empty() && c.front() == ' ') c.remove_prefix(1);
      comments.emplace_back(c);
      continue;
    }
    Words words = SplitWords(line);
    if (!words.fault.empty()) return fault(words.fault);
    if (words.words.empty()) continue;  // a comment after blanks
    if (words.words[0] == "encoding") {
      if (!recipe.steps.empty()) return fault("the encoding line must come before the steps");
      if (recipe.encodingGiven) return fault("the encoding is given twice");
      if (words.words.size() != 2 || (words.words[1] != "utf8" && words.words[1] != "cp1252"))
        return fault(R"(the encoding line is "encoding utf8" or "encoding cp1252")");
      recipe.encodingGiven = true;
      recipe.encoding = words.words[1] == "utf8" ? Encoding::Utf8 : Encoding::Windows1252;
      continue;
    }
    RequestValues values;
    if (std::string why = StepValues(words.words, values); !why.empty()) return fault(why);
    RequestFromValues made = MakeRequest(values);
    if (!made.messages.empty()) return fault(Joined(made.messages));
    made.request.encoding = recipe.encoding;
    std::vector<std::string> refused = ValidateRequest(made.request);
    if (refused.empty()) RunPlan::make(made.request, refused);
    if (!refused.empty()) return fault(Joined(refused));
    recipe.steps.push_back(RecipeStep{std::move(made.request), std::move(made.terminator),
                                      std::move(comments), lineNo});
    comments.clear();
  }
  if (lineNo == 0) return RecipeFault{1, "not a recipe: the file is empty"};
  if (recipe.steps.empty()) return fault("the recipe has no step");
  recipe.commentsAfter = std::move(comments);
  return recipe;
}

std::string StepLine(const ChangeRequest& request, std::string_view terminator) {
  const RequestValues v = ValuesOf(request, terminator);
  std::string s;
  for (const RequestOptionRow& row : RequestOptionRows()) {
    const std::size_t at = Index(row.option);
    if (!v.given[at] || !row.inRecipe) continue;
    const std::string_view names = row.names;
    const std::size_t comma = names.find(',');
    const std::string_view shortName = names.substr(0, comma);
    const std::string_view longName =
        comma == std::string_view::npos ? names : names.substr(comma + 1);
    if (!s.empty()) s += ' ';
    if (*row.value == '\0') {
      s += shortName;
    } else if (!v.text[at].empty() && v.text[at][0] == '-') {
      // A value that starts like an option goes with its option's long name.
      s += Quoted(std::string(longName) + "=" + v.text[at]);
    } else {
      s += std::string(shortName) + " " + Quoted(v.text[at]);
    }
  }
  return s;
}

std::string RecipeText(const Recipe& recipe) {
  std::string s = std::string(kRecipeHeader) + "\n";
  if (recipe.encoding == Encoding::Utf8)
    s += "encoding utf8\n";
  else if (recipe.encodingGiven)
    s += "encoding cp1252\n";
  auto comment = [&](const std::string& c) {
    // A comment is one line: a break in it starts another comment line.
    std::size_t from = 0;
    for (std::size_t brk; (brk = c.find_first_of("\r\n", from)) != std::string::npos;
         from = brk + 1)
      s += "# " + c.substr(from, brk - from) + "\n";
    s += "# " + c.substr(from) + "\n";
  };
  for (const RecipeStep& step : recipe.steps) {
    for (const std::string& c : step.commentsBefore) comment(c);
    s += StepLine(step.request, step.terminator) + "\n";
  }
  for (const std::string& c : recipe.commentsAfter) comment(c);
  return s;
}

std::optional<RecipeFault> CheckRecipe(const Recipe& recipe) {
  for (const RecipeStep& step : recipe.steps) {
    std::vector<std::string> messages = ValidateRequest(step.request);
    if (messages.empty()) RunPlan::make(step.request, messages);
    if (!messages.empty()) return RecipeFault{step.line, Joined(messages)};
  }
  return std::nullopt;
}

Recipe WithEncoding(Recipe recipe, Encoding encoding) {
  if (!recipe.encodingGiven) recipe.encoding = encoding;
  for (RecipeStep& step : recipe.steps) step.request.encoding = recipe.encoding;
  return recipe;
}

}  // namespace quorlin
