#include "cli/BatchOptions.h"

#include <optional>
#include <utility>

#include "quorlin/Version.h"

namespace quorlin::batch {

namespace {

std::optional<int> ParseCode(const std::string& s) {
  if (s.empty() || s.size() > 3) return std::nullopt;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

struct NumericOption {
  const char* name;
  Field field;
};

constexpr NumericOption kNumeric[] = {
    {"--first-line", Field::FirstLineNum}, {"--last-line", Field::LastLineNum},
    {"--length", Field::LineLength},       {"--first-char", Field::FirstCharPos},
    {"--last-char", Field::LastCharPos},   {"--repl-pos", Field::ReplPos},
};

}  // namespace

ParseResult ParseOptions(const std::vector<std::string>& args) {
  ParseResult r;
  Options& o = r.options;
  ChangeRequest& q = o.request;
  auto bad = [&](const std::string& reason) {
    r.status = ParseResult::Status::BadUsage;
    r.messages.assign(1, reason);
    return r;
  };

  std::optional<std::string> numeric[6];
  std::vector<std::string> positional;
  bool lower = false, upper = false, crlf = false, lf = false, noMoreOptions = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (noMoreOptions || arg == "-" || arg.empty() || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      noMoreOptions = true;
      continue;
    }
    std::optional<std::string> inlineValue;
    if (arg.rfind("--", 0) == 0) {
      const std::size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        inlineValue = arg.substr(eq + 1);
        arg.resize(eq);
      }
    }
    auto value = [&]() -> std::optional<std::string> {
      if (inlineValue) return inlineValue;
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    auto flag = [&](bool& b) {
      if (inlineValue) return false;
      b = true;
      return true;
    };

    if (arg == "-h" || arg == "--help") {
      if (!flag(o.help)) return bad("option '" + arg + "' takes no value");
    } else if (arg == "--version") {
      if (!flag(o.version)) return bad("option '" + arg + "' takes no value");
    } else if (arg == "--list") {
      if (!flag(o.list)) return bad("option '" + arg + "' takes no value");
    } else if (arg == "--stats") {
      if (!flag(o.stats)) return bad("option '" + arg + "' takes no value");
    } else if (arg == "--dry-run") {
      if (!flag(o.dryRun)) return bad("option '" + arg + "' takes no value");
    } else if (arg == "--retain") {
      if (!flag(q.retainPassingOnly)) return bad("option '" + arg + "' takes no value");
    } else if (arg == "-c" || arg == "--case-sensitive") {
      if (!flag(q.caseSensitive)) return bad("option '" + arg + "' takes no value");
    } else if (arg == "--lower") {
      if (!flag(lower)) return bad("option '" + arg + "' takes no value");
    } else if (arg == "--upper") {
      if (!flag(upper)) return bad("option '" + arg + "' takes no value");
    } else if (arg == "--crlf") {
      if (!flag(crlf)) return bad("option '" + arg + "' takes no value");
    } else if (arg == "--lf") {
      if (!flag(lf)) return bad("option '" + arg + "' takes no value");
    } else if (arg == "-t" || arg == "--test" || arg == "-a" || arg == "--action") {
      const auto v = value();
      if (!v) return bad("option '" + arg + "' needs a value");
      const bool isTest = arg == "-t" || arg == "--test";
      const std::optional<int> code = ParseCode(*v);
      const bool known = code && (isTest ? FindTest(TestCode(*code)) != nullptr
                                         : FindAction(ActionCode(*code)) != nullptr);
      if (!known)
        return bad("'" + *v + "' is no " + (isTest ? "line test" : "change action") +
                   " code (see --list)");
      if (isTest)
        q.test = TestCode(*code);
      else
        q.action = ActionCode(*code);
    } else if (arg == "-k" || arg == "--key") {
      const auto v = value();
      if (!v) return bad("option '" + arg + "' needs a value");
      q[Field::TestKey] = {*v, TextFieldFilled(*v)};
    } else if (arg == "-r" || arg == "--repl") {
      const auto v = value();
      if (!v) return bad("option '" + arg + "' needs a value");
      q[Field::ReplacementKey] = {*v, TextFieldFilled(*v)};
    } else {
      std::size_t k = 0;
      const std::string name = arg == "-n" ? "--length" : arg;
      while (k < std::size(kNumeric) && name != kNumeric[k].name) ++k;
      if (k == std::size(kNumeric)) return bad("unknown option '" + arg + "'");
      const auto v = value();
      if (!v) return bad("option '" + arg + "' needs a value");
      numeric[k] = *v;
    }
  }

  if (lower && upper) return bad("--lower and --upper cannot be given together");
  if (crlf && lf) return bad("--crlf and --lf cannot be given together");
  if (positional.size() > 2) return bad("too many file names");
  if (!positional.empty()) o.input = positional[0];
  if (positional.size() > 1) o.output = positional[1];
  q.outputLowerCase = lower;
  q.outputUpperCase = upper;
  o.forcedTerminator = crlf ? "\r\n" : lf ? "\n" : "";

  // The field checks, in field order; 1st and last char are compared only when
  // both are given.
  for (std::size_t k = 0; k < std::size(kNumeric); ++k) {
    if (!numeric[k]) continue;
    const Field f = kNumeric[k].field;
    std::optional<std::string_view> firstChar;
    if (f == Field::LastCharPos && numeric[3] && !numeric[3]->empty())
      firstChar = q[Field::FirstCharPos].text;
    FieldCheckResult c = CheckNumericField(f, *numeric[k], firstChar);
    for (std::string& m : c.messages) r.messages.push_back(std::move(m));
    q[f] = {std::move(c.text), c.filled};
  }
  if (!r.messages.empty()) r.status = ParseResult::Status::Refused;
  return r;
}

std::string HelpText() {
  return std::string(kUsageLine) +
         "\n"
         "Streams a text through one line test and one change action.\n"
         "INPUT absent or \"-\": standard input; OUTPUT absent or \"-\": standard output.\n"
         "\n"
         "  -t, --test N            line test code 1-14 (default 1)\n"
         "  -a, --action N          change action code (default 13)\n"
         "  -k, --key TEXT          Test Key Text\n"
         "  -r, --repl TEXT         Replacement Key Text\n"
         "      --first-line N      1st Line Num\n"
         "      --last-line N       Last Line Num\n"
         "  -n, --length N          Linelength Num Chars\n"
         "      --first-char N      1st char position #\n"
         "      --last-char N       Last char position\n"
         "      --repl-pos N        Repl Pos\n"
         "      --retain            Retain only the lines that pass the Test\n"
         "  -c, --case-sensitive    Test Key case sensitive\n"
         "      --lower, --upper    output lower case, output upper case\n"
         "      --crlf, --lf        force the output line terminator\n"
         "      --stats             after the run, its figures on standard error\n"
         "      --dry-run           the figures only; no output is written\n"
         "      --list              print every test and action code with its caption\n"
         "  -h, --help              this help\n"
         "      --version           the program's name and version\n"
         "\n"
         "Exit status: 0 done, 1 file error, 2 bad usage or refused request.\n";
}

std::string StatsLine(const RunStats& f) {
  return "passed " + std::to_string(f.passed) + ", changed " + std::to_string(f.changed) +
         ", deleted " + std::to_string(f.deleted) + ", added " + std::to_string(f.added) +
         ", lines in " + std::to_string(f.linesIn) + ", lines out " + std::to_string(f.linesOut);
}

std::string VersionText() {
  return std::string("quorlin-batch ") + kVersion + "\n";
}

std::string ListText() {
  std::string s = "Line tests:\n";
  auto add = [&](int code, std::string_view caption) {
    s += (code < 10 ? "   " : "  ") + std::to_string(code) + "  " + std::string(caption) + "\n";
  };
  for (const TestRow& t : TestRows()) add(Number(t.code), t.caption);
  s += "Change actions:\n";
  for (const ActionRow& a : ActionRows()) add(Number(a.code), a.caption);
  return s;
}

}  // namespace quorlin::batch
