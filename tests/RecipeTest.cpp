// SPDX-License-Identifier: Apache-2.0
// Recipes: read and written back, refused with the line of their first fault,
// and run in one pass to the bytes, stop and figures of their steps run one
// after another as single runs of quorlin-batch, on one thread and on several
// in chunks so small that every kind of boundary occurs.
#include <cstdio>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "engine/BlockLines.h"
#include "engine/ChangeRun.h"
#include "engine/LineBreaks.h"
#include "engine/Recipe.h"
#include "engine/Splitting.h"
#include "tests/support/Generator.h"
#include "tests/support/RunHarness.h"

namespace {

using namespace quorlin;
using namespace quorlin::testing;

struct Outcome {
  bool completed = false;
  std::vector<std::string> messages;
  std::string bytes;
  std::vector<RunStats> figures;
  bool operator==(const Outcome&) const = default;
};

// What quorlin-batch does for one step: blocks read from and written to
// files, lines ended with the forced terminator or the input's first.
bool RunSingle(const RecipeStep& step, std::string& text, RunStats& figures,
               std::vector<std::string>& messages) {
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), in);
  std::rewind(in);
  bool completed = false;
  {
    BlockLineReader reader(in, "in", 64);
    BlockLineWriter writer(out, "out", step.terminator, 64);
    if (step.terminator.empty())
      writer.setTerminatorOnFirstWrite([&reader]() -> std::string_view {
        return reader.firstTerminator().empty() ? "\n" : reader.firstTerminator();
      });
    const RunResult run = RunChange(step.request, reader, writer, &figures);
    completed = run.completed;
    messages = run.messages;
    if (completed) writer.finish();
  }
  if (completed) text = ReadBack(out);
  std::fclose(in);
  std::fclose(out);
  return completed;
}

Outcome OneAfterAnother(const Recipe& recipe, std::string text) {
  Outcome o;
  o.figures.resize(recipe.steps.size());
  for (std::size_t i = 0; i < recipe.steps.size(); ++i)
    if (!RunSingle(recipe.steps[i], text, o.figures[i], o.messages)) return {false, o.messages};
  return {true, {}, text, o.figures};
}

// Without figures asked for, lines a step leaves alone go on many at once.
Outcome RunBytes(const Recipe& recipe, const std::string& text, unsigned jobs, Rng& rng,
                 bool figures = true) {
  TextReader in(text, rng);
  TextWriter out;
  RecipeByteOptions options;
  options.jobs = jobs;
  options.chunkBytes = std::size_t(rng.range(1, 40));
  Outcome o;
  const RunResult run = RunRecipeBytes(recipe, in, out, options, figures ? &o.figures : nullptr);
  if (!run.completed) return {false, run.messages};
  return {true, {}, out.text, o.figures};
}

// The line-level run the window makes: the text's lines in, the lines out
// ended with the terminator the run names.
Outcome RunLinesOf(const Recipe& recipe, const std::string& text) {
  PieceLines source(text);
  VectorSink sink;
  RecipeLineEnds ends;
  ends.input = [&text] { return FirstTerminator(text); };
  Outcome o;
  const RunResult run = RunRecipe(recipe, source, sink, &o.figures, &ends);
  if (!run.completed) return {false, run.messages};
  for (const std::string& line : sink.lines) o.bytes += line + ends.output;
  o.completed = true;
  return o;
}

// Texts of words the recipes look for, blank lines, tags across lines and
// repeated lines, ended with one terminator throughout or a mix.
std::string Text(Rng& rng) {
  // clang-format off
  static const std::vector<std::string> kWords = {
      "alpha", "key", "KEY", "DEBUG", "<b>", "x</b>", "<i", "tail>", "\t", "  ", "42",
      "\xe9t\xe9", "\xc3\xa9t\xc3\xa9"};  // stray bytes under UTF-8, and characters
  // clang-format on
  static const char* const kBreaks[] = {"\n", "\r\n", "\r"};
  const int kind = rng.below(4);
  std::vector<std::string> made;
  std::string text;
  for (int i = rng.range(0, 40); i > 0; --i) {
    std::string line;
    if (rng.chance(20)) {
      // blank
    } else if (rng.chance(15) && !made.empty()) {
      line = rng.pick(made);
    } else {
      for (int w = rng.range(1, 5); w > 0; --w)
        line += rng.pick(kWords) + (rng.chance(50) ? " " : "");
    }
    made.push_back(line);
    text += line;
    if (i > 1 || rng.chance(70)) text += kBreaks[kind < 3 ? kind : rng.below(3)];
  }
  return text;
}

Recipe Read(const std::string& text) {
  std::variant<Recipe, RecipeFault> r = ReadRecipe(text);
  if (const auto* fault = std::get_if<RecipeFault>(&r))
    ADD_FAILURE() << "line " << fault->line << ": " << fault->message << "\n" << text;
  return std::get_if<Recipe>(&r) != nullptr ? std::get<Recipe>(r) : Recipe();
}

std::vector<std::string> StepLines(const Recipe& r) {
  std::vector<std::string> lines;
  for (const RecipeStep& step : r.steps) lines.push_back(StepLine(step.request, step.terminator));
  return lines;
}

TEST(Recipe, RunsAsItsStepsOneAfterAnother) {
  struct Row {
    const char* name;
    const char* steps;
  };
  const Row rows[] = {
      {"streaming chain",
       "-a no-change\n-t contains-key -k DEBUG -a delete-line\n-a strip-tags\n"
       "-a replace-key -k key -r 'KEY!'\n-a truncate -n 12\n"},
      {"line numbers after a deletion",
       "-t blank -a delete-line\n-t line-range --first-line 3 --last-line 7 -a append -r ' #'\n"},
      {"tags and the line before after earlier steps, in chunks",
       "-a strip-tags\n-t after-blank -a delete-line\n-t second-blank -a replace-line -r X\n"
       "-a strip-tags -t has-tag\n"},
      {"line before after a join",
       "-t contains-key -k alpha -a join-next\n-t after-blank -a delete-line\n"
       "-t second-blank -a replace-line -r X\n"},
      {"tags across lines, then a sort",
       "-a strip-tags\n-a trim\n-a sort --first-char 2\n-t blank -a delete-line --crlf\n"},
      {"duplicates between chains",
       "--upper\n-a remove-duplicates\n-a join-next\n-a sort\n-a split-at-length -n 5\n"
       "-t line-range --first-line 2 --last-line 4 -a delete-line\n"},
      {"line breaks written within lines",
       "-a replace-key -k key -r $'\\n'\n-t blank -a delete-line\n"
       "-a add-line-after -r $'a\\rb' --lf\n-a join-next\n"},
      {"line breaks written within lines by steps that stream alone",
       "-t contains-key -k key -a replace-key -k key -r $'\\n'\n-a append -r ';'\n"},
      {"tabs written by a step, expanded by the next",
       "-a replace-key -k key -r $'\\t'\n-a truncate -n 9\n-a add-line-after -r $'\\t.'\n"
       "-a pad-end -n 12\n"},
      {"cuts and keys in turn",
       "-a replace-key -k 2 -r @\n-a truncate -n 7\n-t contains-key -k key -a delete-line\n"
       "-a replace-key -k l -r ll\n-a truncate -n 9\n-t contains-key -k ll -a append -r ';'\n"},
      {"a stop after a step that may delete every line",
       "-t lacks-key -k alpha -a delete-line\n-a delete-range --first-char 0 --last-char 0\n"},
      {"characters, not bytes, cut and expanded under UTF-8",
       "encoding utf8\n-a no-change\n-a truncate -n 6\n-a replace-key -k key -r $'\\t'\n"
       "-a truncate -n 9\n"},
      {"forced terminators in turn",
       "--crlf\n-a pad-end -n 6 --lf\n-a split-before-key -k a -c\n-t shorter-than -n 3 -a "
       "delete-line\n"},
  };
  for (const Row& row : rows) {
    const Recipe recipe = Read(std::string(kRecipeHeader) + "\n" + row.steps);
    // Written back, the recipe reads as the same steps.
    EXPECT_EQ(StepLines(Read(RecipeText(recipe))), StepLines(recipe)) << row.name;
    Rng rng(7);
    for (int t = 0; t < 25; ++t) {
      const std::string text = Text(rng);
      const Outcome expected = OneAfterAnother(recipe, text);
      EXPECT_EQ(RunBytes(recipe, text, 1, rng), expected) << row.name << ", text " << t;
      EXPECT_EQ(RunBytes(recipe, text, unsigned(rng.range(2, 4)), rng), expected)
          << row.name << ", text " << t << ", several threads";
      EXPECT_EQ(RunLinesOf(recipe, text), expected) << row.name << ", text " << t << ", lines";
      Outcome bare = expected;
      bare.figures.clear();
      EXPECT_EQ(RunBytes(recipe, text, unsigned(rng.range(1, 3)), rng, false), bare)
          << row.name << ", text " << t << ", no figures";
    }
  }
}

TEST(Recipe, RefusedWithTheLineOfItsFirstFault) {
  struct Row {
    const char* name;
    std::string text;
    int line;
    std::string message;
  };
  const std::string head = "quorlin-recipe 1\n# a cleanup\n";
  const Row rows[] = {
      {"a later version", "quorlin-recipe 2\n-a trim\n", 1,
       "the recipe is of format version 2; this program reads version 1"},
      {"no header", "-a trim\n", 1, "not a recipe: the first line must be \"quorlin-recipe 1\""},
      {"no step", head + "\n", 3, "the recipe has no step"},
      {"an unknown option", head + "-a trim\n-a trim --frob\n", 4, "unknown option '--frob'"},
      {"a name that is no code", head + "-t contains -k x\n", 3,
       "'contains' is no line test code (see --list)"},
      {"a field out of range", head + "-a truncate -n 2000\n", 3,
       "Valid range for LineLength Number of Characters is 0 to 1024"},
      {"a request it refuses", head + "-a trim\n-a truncate\n", 4,
       "Fill In LineLength Number of Characters"},
      {"an option of the run", head + "-a trim -j 2\n", 3,
       "'-j' is not part of a request: give it on the command line"},
      {"a file name", head + "-a trim in.txt\n", 3,
       "'in.txt' is no option: a recipe's input and output are given on the command line"},
      {"the encoding in a step", head + "-a trim --encoding utf8\n", 3,
       "the encoding of a recipe is a line of its own before the steps: encoding utf8"},
      {"the encoding after a step", head + "-a trim\nencoding utf8\n", 4,
       "the encoding line must come before the steps"},
      {"options that exclude each other", head + "--lower --upper\n", 3,
       "--lower and --upper cannot be given together"},
      {"a quote not closed", head + "-k 'x -a delete-key\n", 3, "a quote ' is not closed"},
      {"a character the shell would read", head + "-k a|b -a delete-key\n", 3,
       "quote the character | (write it in '...')"},
      {"a key that is no UTF-8 in a UTF-8 recipe",
       head + "encoding utf8\n-t contains-key -k $'\\xE9' -a delete-line\n", 4,
       "Test Key Text is not valid UTF-8"},
      {"bytes that are not UTF-8", head + "-k \xe9 -a delete-key\n", 3,
       "the line is not UTF-8 text: write other bytes as $'\\xHH'"},
  };
  for (const Row& row : rows) {
    const std::variant<Recipe, RecipeFault> r = ReadRecipe(row.text);
    const auto* fault = std::get_if<RecipeFault>(&r);
    ASSERT_NE(fault, nullptr) << row.name;
    EXPECT_EQ(fault->line, row.line) << row.name;
    EXPECT_EQ(fault->message, row.message) << row.name;
  }
}

TEST(Recipe, EveryByteOfTheFieldsRoundTrips) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += char(c);
  const std::string texts[] = {all, "-starts like an option", R"(it's "quoted" \ $HOME `x`)",
                               "\xc3\xa9t\xc3\xa9", " "};
  for (const std::string& key : texts) {
    Recipe recipe;
    RecipeStep step;
    step.request = Req{.action = 31, .key = key, .repl = std::string(key.rbegin(), key.rend())};
    step.terminator = "\r\n";
    step.commentsBefore = {"replace it", "twice\nover"};
    recipe.steps.push_back(step);
    const std::string file = RecipeText(recipe);
    const Recipe back = Read(file);
    ASSERT_EQ(back.steps.size(), 1U) << file;
    EXPECT_EQ(back.steps[0].request[Field::TestKey].text, key) << file;
    EXPECT_EQ(back.steps[0].request[Field::ReplacementKey].text,
              std::string(key.rbegin(), key.rend()));
    EXPECT_EQ(back.steps[0].terminator, "\r\n");
    EXPECT_EQ(back.steps[0].commentsBefore,
              (std::vector<std::string>{"replace it", "twice", "over"}));
  }
}

}  // namespace
