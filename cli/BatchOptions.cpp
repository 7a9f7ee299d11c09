// SPDX-License-Identifier: Apache-2.0
#include "cli/BatchOptions.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <thread>
#include <utility>
#include <variant>

#include <CLI/CLI.hpp>

#include "engine/RequestOptions.h"
#include "quorlin/Version.h"

namespace quorlin::batch {

namespace {

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

// The values of the options as given, before they are converted: the
// request's by the engine's table, the rest here.
struct Given {
  RequestValues request;
  std::string jobs, outputDir, range, context, recipe;
  bool inPlace = false, stats = false, dryRun = false, explain = false, list = false, help = false,
       version = false, facts = false, chain = false;
};

// Why a value is refused ("" when it is taken), in the words of the usage
// message.
using Check = std::string (*)(const std::string& value);

std::string CheckJobs(const std::string& v) {
  const std::optional<unsigned long long> n = ParseCount(v);
  if (n && *n <= kMostJobs) return {};
  return "'" + v + "' is no number of jobs (0 to " + std::to_string(kMostJobs) + ")";
}
std::string CheckRange(const std::string& v) {
  return ParseRange(v) ? std::string() : "'" + v + "' is no byte range START:END";
}

// The options of the program besides the request's (RequestOptionRows, shown
// first): how each is named and shown in the help, where its value goes, and
// what checks it. The help lists the options in this order; an option in the
// hidden group is left out (the steps quorlin-cluster runs on its workers),
// and one whose help is empty shares the line of the option before it. CLI11
// checks the values in this order too.
struct OptionRow {
  const char* names;  // as CLI11 takes them: "-j,--jobs"
  const char* group;  // "" hides the option
  const char* value;  // what the help shows after the names; "" for a flag's nothing
  const char* help;
  std::variant<std::string Given::*, bool Given::*> into;
  Check check = nullptr;
};

constexpr const char* kFiles = "Files and threads";
constexpr const char* kInformation = "Information";
constexpr const char* kHidden = "";

// clang-format off
const OptionRow kOptionRows[] = {
    {"-j,--jobs",           kFiles,   "N",    "threads to run on (default 1; 0: one per core)", &Given::jobs, CheckJobs},
    {"--in-place",          kFiles,   "",     "replace each FILE with its changed text", &Given::inPlace},
    {"-o",                  kFiles,   "DIR",  "write each FILE's changed text into DIR, same name", &Given::outputDir},
    {"--recipe",            kFiles,   "FILE", "run the steps of a recipe file instead of one request", &Given::recipe},
    {"--stats",             kInformation, "", "after the run, its figures on standard error", &Given::stats},
    {"--dry-run",           kInformation, "", "the figures only; no output is written", &Given::dryRun},
    {"--explain",           kInformation, "", "print what the request needs to be split, and exit", &Given::explain},
    {"--list",              kInformation, "", "print every test and action code with its caption", &Given::list},
    {"-h,--help",           kInformation, "", "this help", &Given::help},
    {"--version",           kInformation, "", "the program's name and version", &Given::version},
    {"--range",             kHidden,  "B:E",  "run the lines that start in the byte range", &Given::range, CheckRange},
    {"--context",           kHidden,  "C",    "the context the range starts from", &Given::context},
    {"--facts",             kHidden,  "",     "what the range tells the ranges after it", &Given::facts},
    {"--chain",             kHidden,  "",     "the context of each range from their facts", &Given::chain},
};
// clang-format on

// Options that cannot be given together besides the request's, in the order
// they are reported after those.
const std::pair<const char*, const char*> kExclusive[] = {
    {"--in-place", "-o"},
};

// One option bound to where its value goes: a row of the request's table or
// of kOptionRows.
struct BoundOption {
  const char* names;
  const char* group;
  const char* value;
  const char* help;
  std::string* text = nullptr;  // one of the two
  bool* flag = nullptr;
  std::function<std::string(const std::string&)> check;  // null: any value
};

// Every option of the program, in the order of the help: the request's, then
// the rest.
std::vector<BoundOption> AllOptions(Given& given) {
  std::vector<BoundOption> all;
  for (const RequestOptionRow& row : RequestOptionRows()) {
    const std::size_t i = Index(row.option);
    BoundOption b{row.names, row.group, row.value, row.help, nullptr, nullptr, nullptr};
    if (*row.value != '\0')
      b.text = &given.request.text[i];
    else
      b.flag = &given.request.flag[i];
    if (!CheckRequestValue(row.option, "").empty())
      b.check = [option = row.option](const std::string& v) {
        return CheckRequestValue(option, v);
      };
    all.push_back(std::move(b));
  }
  for (const OptionRow& row : kOptionRows) {
    BoundOption b{row.names, row.group, row.value, row.help, nullptr, nullptr, nullptr};
    if (const auto* text = std::get_if<std::string Given::*>(&row.into))
      b.text = &(given.**text);
    else
      b.flag = &(given.*std::get<bool Given::*>(row.into));
    if (row.check != nullptr) b.check = row.check;
    all.push_back(std::move(b));
  }
  return all;
}

// The options as CLI11 parses them, into given.
struct Parser {
  explicit Parser(Given& given) : rows(AllOptions(given)) {
    app.set_help_flag();
    app.allow_extras();  // unknown options are reported in our words
    for (const BoundOption& row : rows) {
      CLI::Option* opt;
      if (row.text != nullptr) {
        opt = app.add_option(row.names, *row.text)
                  ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
      } else {
        opt = app.add_flag(row.names, *row.flag)->disable_flag_override();
      }
      opt->group(row.group)->description(row.help);
      if (row.check) {
        opt->check(CLI::Validator(
            [this, check = row.check](const std::string& v) {
              std::string why = check(v);
              if (!why.empty() && refusal.empty()) refusal = why;
              return why;
            },
            row.value));
      }
      options.push_back(opt);
    }
    for (const auto& [a, b] : ExclusiveRequestOptions())
      option(RowOf(a).names)->excludes(option(RowOf(b).names));
    for (const auto& [a, b] : kExclusive) option(a)->excludes(option(b));
    app.add_option("files", positional);
  }
  CLI::Option* option(std::string_view names) const {
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (names == rows[i].names) return options[i];
    return nullptr;
  }
  // The first pair of options given together that may not be.
  std::string exclusion() const {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const auto& [a, b] : ExclusiveRequestOptions())
      pairs.emplace_back(RowOf(a).names, RowOf(b).names);
    for (const auto& [a, b] : kExclusive) pairs.emplace_back(a, b);
    for (const auto& [a, b] : pairs) {
      if (option(a)->count() == 0 || option(b)->count() == 0) continue;
      std::string why = a;
      why.append(" and ").append(b).append(" cannot be given together");
      return why;
    }
    return {};
  }
  // Parses args; the reason for the usage message when they are refused.
  std::string parse(const std::vector<std::string>& args);
  // The first argument that names no option.
  std::string unknown() const {
    for (const std::string& extra : app.remaining())
      if (extra != "--") return "unknown option '" + extra + "'";
    return {};
  }

  std::vector<BoundOption> rows;
  CLI::App app;
  std::vector<CLI::Option*> options;  // by row
  std::vector<std::string> positional;
  std::string refusal;  // the first value a check refused
};

std::string Parser::parse(const std::vector<std::string>& args) {
  // "--name=" gives the option an empty value (the parser would take the
  // next argument instead); "--flag=..." is refused.
  for (const std::string& a : args) {
    if (a == "--") break;
    const std::size_t eq = a.find('=');
    if (a.rfind("--", 0) != 0 || eq == std::string::npos) continue;
    const CLI::Option* opt = app.get_option_no_throw(a.substr(0, eq));
    if (opt != nullptr && opt->get_items_expected_max() == 0)
      return "option '" + a.substr(0, eq) + "' takes no value";
  }
  std::vector<std::string> words;
  bool optionsEnded = false;
  for (const std::string& a : args) {
    optionsEnded = optionsEnded || a == "--";
    if (!optionsEnded && a.rfind("--", 0) == 0 && a.size() > 2 && a.back() == '=') {
      words.push_back(a.substr(0, a.size() - 1));
      words.emplace_back();
    } else {
      words.push_back(a);
    }
  }
  // An unknown option is reported before a refused value, and a refused value
  // before options given together that may not be.
  try {
    std::vector<std::string> reversed(words.rbegin(), words.rend());
    app.parse(reversed);
  } catch (const CLI::ArgumentMismatch& e) {
    // A value option with nothing after it: the last argument.
    if (!words.empty() && app.get_option_no_throw(words.back()) != nullptr)
      return "option '" + words.back() + "' needs a value";
    return e.what();
  } catch (const CLI::ValidationError& e) {
    const std::string why = unknown();
    return !why.empty() ? why : !refusal.empty() ? refusal : e.what();
  } catch (const CLI::ExcludesError& e) {
    const std::string why = unknown();
    return !why.empty() ? why : !exclusion().empty() ? exclusion() : e.what();
  } catch (const CLI::ParseError& e) {
    return e.what();
  }
  return unknown();
}

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
  Given given;
  Parser parser(given);
  if (const std::string usage = parser.parse(args); !usage.empty()) return bad(usage);

  // The values the checks passed.
  auto gave = [&](std::string_view names) { return parser.option(names)->count() > 0; };
  for (const RequestOptionRow& row : RequestOptionRows())
    given.request.given[Index(row.option)] = gave(row.names);
  RequestFromValues made = MakeRequest(given.request);
  q = std::move(made.request);
  o.forcedTerminator = std::move(made.terminator);
  o.autoEncoding = made.autoEncoding;
  o.encodingGiven = gave(RowOf(RequestOption::Encoding).names);
  if (gave("-j,--jobs")) {
    const unsigned long long n = *ParseCount(given.jobs);
    o.jobs = n != 0 ? static_cast<unsigned>(n) : std::max(1U, std::thread::hardware_concurrency());
  }
  if (gave("--range")) o.range = ParseRange(given.range);
  o.recipe = given.recipe;
  o.inPlace = given.inPlace;
  o.outputDir = given.outputDir;
  o.stats = given.stats;
  o.dryRun = given.dryRun;
  o.explain = given.explain;
  o.list = given.list;
  o.help = given.help;
  o.version = given.version;
  o.context = given.context;
  o.facts = given.facts;
  o.chain = given.chain;

  const std::vector<std::string>& positional = parser.positional;
  const bool many = o.inPlace || gave("-o");
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
  if (!o.recipe.empty()) {
    for (const RequestOptionRow& row : RequestOptionRows())
      if (row.inRecipe && given.request.given[Index(row.option)])
        return bad(std::string("--recipe takes the request from its file: ") +
                   std::string(std::string_view(row.names).substr(
                       0, std::string_view(row.names).find(','))) +
                   " cannot be given with it");
  }
  if (o.range && (o.input == "-" || (!o.facts && o.output == "-")))
    return bad("--range needs an input file and, to run, an output file");

  r.messages = std::move(made.messages);
  if (!r.messages.empty()) r.status = ParseResult::Status::Refused;
  return r;
}

std::string HelpText() {
  std::string s =
      std::string(kUsageLine) +
      "\n"
      "       quorlin-batch [options] --in-place FILE...\n"
      "       quorlin-batch [options] -o DIR FILE...\n"
      "Streams a text through one line test and one change action.\n"
      "INPUT absent or \"-\": standard input; OUTPUT absent or \"-\": standard output.\n"
      "\n";
  // "-t,--test" with "N" is shown "  -t, --test N", a long name alone
  // indented as if a short one stood before it.
  auto shown = [](const BoundOption& row) {
    const std::string_view names = row.names;
    const std::size_t comma = names.find(',');
    std::string out;
    if (comma != std::string_view::npos)
      out = std::string(names.substr(0, comma)) + ", " + std::string(names.substr(comma + 1));
    else
      out = names.rfind("--", 0) == 0 ? "    " + std::string(names) : std::string(names);
    if (*row.value != '\0') out += std::string(" ") + row.value;
    return out;
  };
  Given unused;
  const std::vector<BoundOption> rows = AllOptions(unused);
  const std::size_t n = rows.size();
  for (std::size_t i = 0; i < n; ++i) {
    const BoundOption& row = rows[i];
    if (*row.group == '\0' || *row.help == '\0') continue;
    std::string left = "  " + shown(row);
    if (i + 1 < n && *rows[i + 1].help == '\0') left += ", " + std::string(rows[i + 1].names);
    left.resize(std::max<std::size_t>(left.size() + 1, 26), ' ');
    s += left + row.help + "\n";
  }
  return s + "\nExit status: 0 done, 1 file error, 2 bad usage or refused request.\n";
}

std::string StatsLine(const RunStats& f) {
  return "passed " + std::to_string(f.passed) + ", changed " + std::to_string(f.changed) +
         ", deleted " + std::to_string(f.deleted) + ", added " + std::to_string(f.added) +
         ", lines in " + std::to_string(f.linesIn) + ", lines out " + std::to_string(f.linesOut);
}

RunStats RecipeTotal(const std::vector<RunStats>& steps) {
  RunStats total;
  for (const RunStats& f : steps) total += f;
  if (!steps.empty()) {
    total.linesIn = steps.front().linesIn;
    total.linesOut = steps.back().linesOut;
  }
  return total;
}

std::vector<std::string> RecipeStatsLines(const std::vector<RunStats>& steps) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < steps.size(); ++i)
    lines.push_back("step " + std::to_string(i + 1) + ": " + StatsLine(steps[i]));
  lines.push_back("total: " + StatsLine(RecipeTotal(steps)));
  return lines;
}

std::string VersionText() {
  return std::string("quorlin-batch ") + kVersion + "\n" + kCopyright + "\n" + kLicenceLine + "\n";
}

std::string ListText() {
  // The names in a column as wide as the longest.
  std::size_t width = 0;
  for (const TestRow& t : TestRows()) width = std::max(width, t.name.size());
  for (const ActionRow& a : ActionRows()) width = std::max(width, a.name.size());
  std::string s = "Line tests:\n";
  auto add = [&](int code, std::string_view name, std::string_view caption) {
    std::string named(name);
    named.resize(width + 2, ' ');
    s += (code < 10 ? "   " : "  ") + std::to_string(code) + "  " + named + std::string(caption) +
         "\n";
  };
  for (const TestRow& t : TestRows()) add(Number(t.code), t.name, t.caption);
  s += "Change actions:\n";
  for (const ActionRow& a : ActionRows()) add(Number(a.code), a.name, a.caption);
  return s;
}

}  // namespace quorlin::batch
