// SPDX-License-Identifier: Apache-2.0
#include "cli/BatchRuns.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#include "cli/GuardedOutput.h"
#include "engine/BlockLines.h"
#include "engine/ChangeRun.h"
#include "engine/FileError.h"
#include "engine/Files.h"
#include "engine/ParallelRun.h"
#include "engine/Recipe.h"
#include "engine/Splitting.h"
#include "textutil/Utf8.h"

namespace quorlin::batch {

namespace {

// Bytes per chunk under -j; QUORLIN_CHUNK_BYTES sets another size (tests use
// tiny chunks so that every kind of boundary occurs).
std::size_t ChunkBytes() {
  const char* s = std::getenv("QUORLIN_CHUNK_BYTES");
  if (s != nullptr) {
    char* end = nullptr;
    const unsigned long long v = std::strtoull(s, &end, 10);
    if (end != s && *end == '\0' && v > 0) return static_cast<std::size_t>(v);
  }
  return ParallelOptions{}.chunkBytes;
}

// Where a dry run's output goes.
class DiscardingSink final : public LineSink {
 public:
  void write(std::string_view /*line*/) override {}
  void writeExpanded(std::string_view /*raw*/, int /*tabWidth*/) override {}
};

class DiscardingWriter final : public ByteWriter {
 public:
  void write(std::string_view /*bytes*/) override {}
};

// Why --encoding auto cannot serve an input that can be read only once.
constexpr const char* kAutoNeedsAFile =
    "--encoding auto reads the input twice: give a file, not a pipe";

// The request for one input: under --encoding auto in the encoding the
// input's bytes call for, as the editor decides it (ASCII takes the
// locale's). The input is read to its end from where it stands and put back
// there; nullopt when it cannot be (a pipe).
std::optional<ChangeRequest> RequestFor(const Options& o, std::FILE* in, const std::string& name) {
  if (!o.autoEncoding) return o.request;
  const long start = std::ftell(in);
  if (start < 0) return std::nullopt;
  QuorlinUtils::EncodingDetector detector;
  std::vector<char> block(std::size_t{1} << 20);
  for (std::size_t n; (n = std::fread(block.data(), 1, block.size(), in)) > 0;)
    detector.feed(std::string_view(block.data(), n));
  if (std::ferror(in) != 0) throw FileError(LastError(), name);
  if (std::fseek(in, start, SEEK_SET) != 0) return std::nullopt;
  ChangeRequest request = o.request;
  request.encoding = detector.result(QuorlinUtils::LocaleEncoding(
      std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG")));
  return request;
}

}  // namespace

FileRunResult RunFile(const Options& o, const std::string& input, const std::string& output,
                      unsigned jobs) {
  File inFile;
  std::FILE* in = stdin;
  std::string inName = "standard input";
  if (input != "-") {
    inFile = OpenForReading(input);
    in = inFile.get();
    inName = input;
  }
  const std::optional<ChangeRequest> request = RequestFor(o, in, inName);
  if (!request) return {false, {kAutoNeedsAFile}, {}, {}};
  const bool count = o.stats || o.dryRun;
  // Counting a sort or the removal of duplicates compares every line with
  // the one that stood at its place: that runs on one thread.
  if (count && NeedsOf(*request).wholeText) jobs = 1;
  std::optional<GuardedOutput> outFile;
  std::FILE* out = stdout;
  std::string outName = "standard output";
  if (!o.dryRun && output != "-") {
    outFile.emplace(output, input);
    out = outFile->get();
    outName = output;
  }

  FileRunResult result;
  if (!o.steps && jobs <= 1) {
    BlockLineReader reader(in, inName);
    if (o.dryRun) {
      DiscardingSink nowhere;
      const RunResult run = RunChange(*request, reader, nowhere, &result.figures);
      if (!run.completed) return {false, run.messages, {}, {}};
    } else {
      // Output lines end with the forced terminator, or with the input's first
      // one (LF when it has none), known by the time the first line is written.
      BlockLineWriter writer(out, outName, o.forcedTerminator);
      if (o.forcedTerminator.empty())
        writer.setTerminatorOnFirstWrite([&reader]() -> std::string_view {
          return reader.firstTerminator().empty() ? std::string_view("\n")
                                                  : reader.firstTerminator();
        });
      const RunResult run = RunChange(*request, reader, writer, count ? &result.figures : nullptr);
      if (!run.completed) return {false, run.messages, {}, {}};
      writer.finish();
    }
  } else {
    // Bytes in and out: a recipe, or a request on several threads.
    FileByteReader reader(in, inName);
    FileByteWriter writer(out, outName);
    DiscardingWriter nowhere;
    ByteWriter& to = o.dryRun ? static_cast<ByteWriter&>(nowhere) : writer;
    RunResult run;
    if (o.steps) {
      RecipeByteOptions ro;
      ro.jobs = jobs;
      ro.chunkBytes = ChunkBytes();
      run = RunRecipeBytes(WithEncoding(*o.steps, request->encoding), reader, to, ro,
                           count ? &result.steps : nullptr);
      result.figures = RecipeTotal(result.steps);
    } else {
      ParallelOptions po;
      po.jobs = jobs;
      po.chunkBytes = ChunkBytes();
      po.terminator = o.forcedTerminator;
      po.count = count;
      ParallelResult parallel = RunParallel(*request, reader, to, po);
      run = std::move(parallel.run);
      result.figures = parallel.figures;
    }
    if (!run.completed) return {false, run.messages, {}, {}};
    if (!o.dryRun) writer.finish();
  }
  if (outFile) outFile->commit();
  result.completed = true;
  return result;
}

int RunManyFiles(const Options& o) {
  namespace fs = std::filesystem;
  const std::size_t n = o.files.size();
  std::vector<std::string> targets(n);
  std::vector<std::string> failures(n);  // a failure found before running
  std::map<std::string, std::size_t> firstWith;
  for (std::size_t i = 0; i < n; ++i) {
    const std::string& file = o.files[i];
    if (o.inPlace) {
      targets[i] = file;
      std::error_code ec;
      const fs::file_status st = fs::status(file, ec);
      if (fs::exists(st) && !fs::is_regular_file(st))
        failures[i] = file + ": Not a plain file (a folder, device or pipe)";
    } else {
      targets[i] = (fs::path(o.outputDir) / fs::path(file).filename()).string();
    }
    // Two files may not share one output.
    std::error_code ec;
    const std::string key = fs::weakly_canonical(targets[i], ec).string();
    const auto [at, added] = firstWith.emplace(key, i);
    if (!added && failures[i].empty())
      failures[i] = file + ": " + targets[i] + " is the output of " + o.files[at->second] + " too";
  }

  // Files run side by side; fewer files than jobs share the jobs out.
  const unsigned workers = static_cast<unsigned>(std::min<std::size_t>(o.jobs, n));
  const unsigned jobsPerFile = std::max(1U, o.jobs / std::max(1U, workers));
  std::vector<std::optional<FileRunResult>> figures(n);  // of the files that completed
  std::atomic<std::size_t> next{0};
  std::mutex report;
  bool fileError = false, stopped = false;
  auto fail = [&](const std::string& line, bool isFileError) {
    const std::lock_guard lock(report);
    std::cerr << "quorlin-batch: " << line << '\n';
    (isFileError ? fileError : stopped) = true;
  };
  auto work = [&] {
    for (std::size_t i; (i = next++) < n;) {
      bool written = false;
      if (!failures[i].empty()) {
        fail(failures[i], true);
      } else {
        try {
          const FileRunResult r = RunFile(o, o.files[i], targets[i], jobsPerFile);
          for (const std::string& m : r.messages) fail(o.files[i] + ": " + m, false);
          if (r.completed) figures[i] = r;
          written = r.completed;
        } catch (const FileError& e) {
          fail(e.path() + ": " + e.text(), true);
        } catch (const std::bad_alloc&) {
          fail(o.files[i] + ": Not enough memory", true);
        }
      }
      if (!written && !o.dryRun) GiveUpOutput();
    }
  };
  // A stop names the files already written; a signal after the last is late.
  if (!o.dryRun) ExpectOutputs(n);
  std::vector<std::thread> threads;
  for (unsigned w = 1; w < workers; ++w) threads.emplace_back(work);
  work();
  for (std::thread& t : threads) t.join();
  if (o.stats || o.dryRun) {
    RunStats total;
    for (std::size_t i = 0; i < n; ++i) {
      if (!figures[i]) continue;
      for (const std::string& line : FigureLines(o, *figures[i]))
        std::cerr << o.files[i] << ": " << line << '\n';
      total += figures[i]->figures;
    }
    if (n > 1) std::cerr << "total: " << StatsLine(total) << '\n';
  }
  return fileError ? 1 : stopped ? 2 : 0;
}

std::vector<std::string> FigureLines(const Options& o, const FileRunResult& r) {
  if (o.steps) return RecipeStatsLines(r.steps);
  return {StatsLine(r.figures)};
}

int RunRangeStep(const Options& o) {
  // A recipe splits only when each piece may run it alone: its pieces need
  // no more than the text's first terminator.
  if (o.steps && !RecipeIndependent(*o.steps)) {
    std::cerr << "quorlin-batch: this recipe cannot be split: " << ExplainRecipe(*o.steps).back()
              << '\n';
    return 2;
  }
  const SplitNeeds needs = o.steps ? SplitNeeds{} : NeedsOf(o.request);
  if (o.chain) {
    std::vector<PieceFacts> facts;
    for (const std::string& token : o.chainFacts) {
      const std::optional<PieceFacts> f = DecodeFacts(token);
      if (!f) {
        std::cerr << "quorlin-batch: '" << token << "' are no range facts\n" << kUsageLine << '\n';
        return 2;
      }
      facts.push_back(*f);
    }
    for (const PieceContext& c : ChainContexts(needs, facts)) std::cout << EncodeContext(c) << '\n';
    return 0;
  }

  const File in = OpenForReading(o.input);
  const unsigned long long begin = LineStartFrom(in.get(), o.input, o.range->begin);
  const unsigned long long end = std::max(begin, LineStartFrom(in.get(), o.input, o.range->end));
  SeekTo(in.get(), o.input, begin);
  FileByteReader reader(in.get(), o.input, end - begin);
  if (o.facts) {
    std::cout << EncodeFacts(ScanText(reader, needs)) << '\n';
    return 0;
  }
  const std::optional<PieceContext> context = DecodeContext(o.context);
  if (!context) {
    std::cerr << "quorlin-batch: --range needs the --context of its range\n" << kUsageLine << '\n';
    return 2;
  }
  if (!o.steps && needs.wholeText) {
    std::cerr << "quorlin-batch: this request needs the whole text: " << ExplainSplit(o.request)
              << '\n';
    return 2;
  }
  const File rest = OpenForReading(o.input);
  // Under --encoding auto every range reads the whole input's encoding.
  const std::optional<ChangeRequest> request = RequestFor(o, rest.get(), o.input);
  if (!request) {
    std::cerr << "quorlin-batch: " << kAutoNeedsAFile << '\n';
    return 2;
  }
  SeekTo(rest.get(), o.input, end);
  FileByteReader after(rest.get(), o.input);
  // A dry run writes no piece.
  std::optional<GuardedOutput> out;
  std::optional<FileByteWriter> writer;
  DiscardingWriter nowhere;
  if (!o.dryRun) {
    out.emplace(o.output);
    writer.emplace(out->get(), o.output);
  }
  ParallelOptions po;
  po.jobs = o.jobs;
  po.chunkBytes = ChunkBytes();
  po.terminator =
      o.forcedTerminator.empty() ? std::string(context->terminator) : o.forcedTerminator;
  po.start = context->at;
  po.after = &after;
  po.count = o.stats || o.dryRun;
  ByteWriter& to = writer ? static_cast<ByteWriter&>(*writer) : nowhere;
  if (o.steps) {
    RecipeByteOptions ro;
    ro.jobs = o.jobs;
    ro.chunkBytes = po.chunkBytes;
    ro.inputTerminator = context->terminator;
    std::vector<RunStats> steps;
    const RunResult run = RunRecipeBytes(WithEncoding(*o.steps, request->encoding), reader, to, ro,
                                         po.count ? &steps : nullptr);
    if (!run.completed) {
      for (const std::string& m : run.messages) std::cerr << m << '\n';
      return 2;
    }
    if (writer) writer->finish();
    if (out) out->commit();
    // The script adds up the figures of the ranges, line by line.
    std::cout << EncodeContext({context->at, context->terminator}) << '\n';
    if (po.count)
      for (const std::string& line : RecipeStatsLines(steps)) std::cout << line << '\n';
    return 0;
  }
  const ParallelResult run = RunParallel(*request, reader, to, po);
  if (!run.run.completed) {
    for (const std::string& m : run.run.messages) std::cerr << m << '\n';
    return 2;
  }
  if (writer) writer->finish();
  if (out) out->commit();
  // The context the range leaves, then, when counted, its figures.
  std::cout << EncodeContext({run.end, context->terminator}) << '\n';
  if (po.count) std::cout << StatsLine(run.figures) << '\n';
  return 0;
}

}  // namespace quorlin::batch
