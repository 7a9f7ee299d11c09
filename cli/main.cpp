// SPDX-License-Identifier: Apache-2.0
// quorlin-batch: the change engine without a window, for scripts and pipelines.
#include <clocale>
#include <cstdio>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/BatchOptions.h"
#include "cli/BatchRuns.h"
#include "cli/GuardedOutput.h"
#include "engine/FileError.h"
#include "engine/Files.h"
#include "engine/Recipe.h"
#include "engine/Splitting.h"

namespace {

using namespace quorlin;

void PrintLines(const std::vector<std::string>& lines) {
  for (const std::string& l : lines) std::cerr << l << '\n';
}

// The recipe o names, read and checked before any input is read; its first
// fault on standard error (exit status 2) when it has one.
int ReadRecipeFile(batch::Options& o) {
  const File file = OpenForReading(o.recipe);
  std::string text;
  char block[1 << 16];
  for (std::size_t n; (n = std::fread(block, 1, sizeof block, file.get())) > 0;)
    text.append(block, n);
  if (std::ferror(file.get()) != 0) throw FileError(LastError(), o.recipe);
  std::variant<Recipe, RecipeFault> read = ReadRecipe(text);
  auto refuse = [&o](const RecipeFault& fault) {
    std::cerr << "quorlin-batch: " << o.recipe << ":" << fault.line << ": " << fault.message
              << '\n';
    return 2;
  };
  if (const auto* fault = std::get_if<RecipeFault>(&read)) return refuse(*fault);
  Recipe& recipe = *std::get_if<Recipe>(&read);
  if (recipe.encodingGiven && o.encodingGiven) {
    std::cerr << "quorlin-batch: " << o.recipe
              << ": the recipe gives its encoding: --encoding cannot be given with it\n"
              << batch::kUsageLine << '\n';
    return 2;
  }
  o.steps = WithEncoding(std::move(recipe), o.request.encoding);
  if (const std::optional<RecipeFault> fault = CheckRecipe(*o.steps)) return refuse(*fault);
  return 0;
}

int Run(batch::Options& o) {
  const std::vector<std::string> refused = ValidateRequest(o.request);
  if (!refused.empty()) {
    PrintLines(refused);
    return 2;
  }
  if (!o.recipe.empty()) {
    if (const int status = ReadRecipeFile(o); status != 0) return status;
    if (o.explain) {
      for (const std::string& line : ExplainRecipe(*o.steps)) std::cout << line << '\n';
      return 0;
    }
  }
  if (o.explain) {
    std::cout << ExplainSplit(o.request) << '\n';
    return 0;
  }
  if (o.chain || o.range) return batch::RunRangeStep(o);
  if (!o.files.empty()) return batch::RunManyFiles(o);
  const batch::FileRunResult r = batch::RunFile(o, o.input, o.output, o.jobs);
  if (!r.completed) {
    PrintLines(r.messages);
    return 2;  // the temporary output file is gone; the target is untouched
  }
  if (o.stats || o.dryRun)
    for (const std::string& line : batch::FigureLines(o, r)) std::cerr << line << '\n';
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Test 12 takes its decimal separator and digits from the user's locale.
  std::setlocale(LC_ALL, "");
  batch::HandleEndingSignals();
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  const std::vector<std::string> args(argv + 1, argv + argc);
  batch::ParseResult parsed = batch::ParseOptions(args);
  switch (parsed.status) {
    case batch::ParseResult::Status::BadUsage:
      std::cerr << "quorlin-batch: " << parsed.messages.front() << '\n'
                << batch::kUsageLine << '\n';
      return 2;
    case batch::ParseResult::Status::Refused:
      PrintLines(parsed.messages);
      return 2;
    case batch::ParseResult::Status::Ok:
      break;
  }
  if (parsed.options.help) {
    std::cout << batch::HelpText();
    return 0;
  }
  if (parsed.options.version) {
    std::cout << batch::VersionText();
    return 0;
  }
  if (parsed.options.list) {
    std::cout << batch::ListText();
    return 0;
  }
  try {
    return Run(parsed.options);
  } catch (const FileError& e) {
    std::cerr << e.text() << '\n' << e.path() << '\n';
    return 1;
  } catch (const std::bad_alloc&) {
    std::cerr << "Not enough memory\n";
    return 1;
  }
}
