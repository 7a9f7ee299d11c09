// SPDX-License-Identifier: Apache-2.0
#include "cli/BatchOptions.h"

#include <algorithm>
#include <charconv>
#include <thread>
#include <utility>

#include <CLI/CLI.hpp>

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

std::optional<unsigned long long> ParseCount(std::string_view s) {
  unsigned long long v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return v;
}

std::optional<ByteRange> ParseRange(const std::string& s) {
  const std::size_t colon = s.find(':');
  if (colon == std::string::npos) return std::nullopt;
  const auto begin = ParseCount(std::string_view(s).substr(0, colon));
  const auto end = ParseCount(std::string_view(s).substr(colon + 1));
  if (!begin || !end || *end < *begin) return std::nullopt;
  return ByteRange{*begin, *end};
}

constexpr unsigned kMostJobs = 1024;

// The numeric fields by their options, in the order they are checked.
struct NumericOption {
  const char* names;
  Field field;
};
constexpr NumericOption kNumeric[] = {
    {"--first-line", Field::FirstLineNum}, {"--last-line", Field::LastLineNum},
    {"-n,--length", Field::LineLength},    {"--first-char", Field::FirstCharPos},
    {"--last-char", Field::LastCharPos},   {"--repl-pos", Field::ReplPos},
};

}  // namespace

ParseResult ParseOptions(const std::vector<std::string>& given) {
  ParseResult r;
  Options& o = r.options;
  ChangeRequest& q = o.request;
  auto bad = [&](const std::string& reason) {
    r.status = ParseResult::Status::BadUsage;
    r.messages.assign(1, reason);
    return r;
  };

  CLI::App app;
  app.set_help_flag();
  app.allow_extras();  // unknown options are reported below, in our words
  auto text = [&](const char* names, std::string& into) {
    return app.add_option(names, into)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  };
  auto flag = [&](const char* names, bool& into) {
    return app.add_flag(names, into)->disable_flag_override();
  };
  std::string test, action, key, repl, jobs, range;
  std::string numeric[std::size(kNumeric)];
  bool lower = false, upper = false, crlf = false, lf = false;
  std::vector<std::string> positional;
  CLI::Option* testOpt = text("-t,--test", test);
  CLI::Option* actionOpt = text("-a,--action", action);
  CLI::Option* keyOpt = text("-k,--key", key);
  CLI::Option* replOpt = text("-r,--repl", repl);
  CLI::Option* numericOpt[std::size(kNumeric)];
  for (std::size_t i = 0; i < std::size(kNumeric); ++i)
    numericOpt[i] = text(kNumeric[i].names, numeric[i]);
  CLI::Option* jobsOpt = text("-j,--jobs", jobs);
  CLI::Option* dirOpt = text("-o", o.outputDir);
  flag("--retain", q.retainPassingOnly);
  flag("-c,--case-sensitive", q.caseSensitive);
  flag("--lower", lower);
  flag("--upper", upper);
  flag("--crlf", crlf);
  flag("--lf", lf);
  flag("--in-place", o.inPlace);
  flag("--list", o.list);
  flag("--stats", o.stats);
  flag("--dry-run", o.dryRun);
  flag("--explain", o.explain);
  flag("-h,--help", o.help);
  flag("--version", o.version);
  CLI::Option* rangeOpt = text("--range", range);
  text("--context", o.context);
  flag("--facts", o.facts);
  flag("--chain", o.chain);
  app.add_option("files", positional);

  // "--name=" gives the option an empty value (the parser would take the
  // next argument instead); "--flag=..." is refused as before.
  std::vector<std::string> args;
  for (const std::string& a : given) {
    if (a == "--") break;
    const std::size_t eq = a.find('=');
    if (a.rfind("--", 0) != 0 || eq == std::string::npos) continue;
    const CLI::Option* opt = app.get_option_no_throw(a.substr(0, eq));
    if (opt != nullptr && opt->get_items_expected_max() == 0)
      return bad("option '" + a.substr(0, eq) + "' takes no value");
  }
  bool optionsEnded = false;
  for (const std::string& a : given) {
    optionsEnded = optionsEnded || a == "--";
    if (!optionsEnded && a.rfind("--", 0) == 0 && a.size() > 2 && a.back() == '=') {
      args.push_back(a.substr(0, a.size() - 1));
      args.emplace_back();
    } else {
      args.push_back(a);
    }
  }
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::ArgumentMismatch& e) {
    // A value option with nothing after it: the last argument.
    if (!args.empty() && app.get_option_no_throw(args.back()) != nullptr)
      return bad("option '" + args.back() + "' needs a value");
    return bad(e.what());
  } catch (const CLI::ParseError& e) {
    return bad(e.what());
  }
  for (const std::string& extra : app.remaining())
    if (extra != "--") return bad("unknown option '" + extra + "'");

  auto code = [&](const std::string& v, bool isTest) -> std::optional<int> {
    const std::optional<int> c = ParseCode(v);
    const bool known =
        c && (isTest ? FindTest(TestCode(*c)) != nullptr : FindAction(ActionCode(*c)) != nullptr);
    return known ? c : std::nullopt;
  };
  if (testOpt->count() > 0) {
    const auto c = code(test, true);
    if (!c) return bad("'" + test + "' is no line test code (see --list)");
    q.test = TestCode(*c);
  }
  if (actionOpt->count() > 0) {
    const auto c = code(action, false);
    if (!c) return bad("'" + action + "' is no change action code (see --list)");
    q.action = ActionCode(*c);
  }
  if (keyOpt->count() > 0) q[Field::TestKey] = {key, TextFieldFilled(key)};
  if (replOpt->count() > 0) q[Field::ReplacementKey] = {repl, TextFieldFilled(repl)};
  if (jobsOpt->count() > 0) {
    const auto n = ParseCount(jobs);
    if (!n || *n > kMostJobs)
      return bad("'" + jobs + "' is no number of jobs (0 to " + std::to_string(kMostJobs) + ")");
    o.jobs =
        *n != 0 ? static_cast<unsigned>(*n) : std::max(1U, std::thread::hardware_concurrency());
  }
  if (rangeOpt->count() > 0) {
    o.range = ParseRange(range);
    if (!o.range) return bad("'" + range + "' is no byte range START:END");
  }

  if (lower && upper) return bad("--lower and --upper cannot be given together");
  if (crlf && lf) return bad("--crlf and --lf cannot be given together");
  const bool many = o.inPlace || dirOpt->count() > 0;
  if (o.inPlace && dirOpt->count() > 0) return bad("--in-place and -o cannot be given together");
  if (o.chain) {
    o.chainFacts = positional;
  } else if (many) {
    if (positional.empty())
      return bad(std::string(o.inPlace ? "--in-place" : "-o DIR") + " needs at least one file");
    if (std::find(positional.begin(), positional.end(), "-") != positional.end())
      return bad("standard input cannot be one of many files");
    o.files = positional;
  } else {
    if (positional.size() > 2) return bad("too many file names");
    if (!positional.empty()) o.input = positional[0];
    if (positional.size() > 1) o.output = positional[1];
  }
  if (o.range && (o.input == "-" || (!o.facts && o.output == "-")))
    return bad("--range needs an input file and, to run, an output file");
  q.outputLowerCase = lower;
  q.outputUpperCase = upper;
  o.forcedTerminator = crlf ? "\r\n" : lf ? "\n" : "";

  // The field checks, in field order; 1st and last char are compared only when
  // both are given.
  for (std::size_t k = 0; k < std::size(kNumeric); ++k) {
    if (numericOpt[k]->count() == 0) continue;
    const Field f = kNumeric[k].field;
    std::optional<std::string_view> firstChar;
    if (f == Field::LastCharPos && numericOpt[3]->count() > 0 && !numeric[3].empty())
      firstChar = q[Field::FirstCharPos].text;
    FieldCheckResult c = CheckNumericField(f, numeric[k], firstChar);
    for (std::string& m : c.messages) r.messages.push_back(std::move(m));
    q[f] = {std::move(c.text), c.filled};
  }
  if (!r.messages.empty()) r.status = ParseResult::Status::Refused;
  return r;
}

std::string HelpText() {
  return std::string(kUsageLine) +
         "\n"
         "       quorlin-batch [options] --in-place FILE...\n"
         "       quorlin-batch [options] -o DIR FILE...\n"
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
         "  -j, --jobs N            threads to run on (default 1; 0: one per core)\n"
         "      --in-place          replace each FILE with its changed text\n"
         "  -o DIR                  write each FILE's changed text into DIR, same name\n"
         "      --stats             after the run, its figures on standard error\n"
         "      --dry-run           the figures only; no output is written\n"
         "      --explain           print what the request needs to be split, and exit\n"
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
  return std::string("quorlin-batch ") + kVersion + "\n" + kCopyright + "\n" + kLicenceLine + "\n";
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
