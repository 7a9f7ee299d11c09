// SPDX-License-Identifier: Apache-2.0
// Recipes: a cleanup of many change runs, saved as text and replayed on any
// text in one pass.
//
// The file is UTF-8 text. Its first line is "quorlin-recipe 1" (the format's
// version); "#" starts a comment; blank lines are ignored; "encoding utf8" (or
// "encoding cp1252") may stand once before the first step; every other line
// is one step: the request options of quorlin-batch, split into words as a
// POSIX shell splits them ('...', "...", backslash, and $'...' in which \xHH
// is the byte HH, \n, \r, \t, \\ and \' as in C). RecipeText writes every
// byte that is not printable ASCII (0x20-0x7E) as \xHH inside $'...', so
// every byte of a key round-trips; a character typed into the file is its
// UTF-8 bytes.
//
// Running a recipe gives, byte for byte, what running its steps one after
// another gives, each step's output the next one's input: each step ends its
// output lines with its forced terminator, else with its input's first line
// terminator (LF when its input has none). Consecutive steps that stream run
// chained block by block; a step that needs the whole text (sort, removal of
// duplicates) ends a chain and the next chain reads its output.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/ByteStreams.h"
#include "engine/ChangeRequest.h"
#include "engine/ChangeRun.h"
#include "engine/LineStream.h"

namespace quorlin {

struct RecipeStep {
  ChangeRequest request;   // validated when read; its encoding is the recipe's
  std::string terminator;  // "\r\n" or "\n" when the step forces it (--crlf, --lf), else ""
  // The comment lines before the step, each without its "#" and one blank
  // after it.
  std::vector<std::string> commentsBefore;
  int line = 0;  // the step's line in the file, from 1; 0 when made in memory
};

struct Recipe {
  Encoding encoding = Encoding::Windows1252;
  bool encodingGiven = false;  // the file has an "encoding" line
  std::vector<RecipeStep> steps;
  std::vector<std::string> commentsAfter;  // comment lines after the last step
};

// Why a recipe is refused: the line of the first fault (from 1; the number of
// lines for a fault of the whole file) and what is wrong, in the words a
// single run uses for a refused request.
struct RecipeFault {
  int line = 0;
  std::string message;
};

inline constexpr std::string_view kRecipeHeader = "quorlin-recipe 1";

// Reads and checks a whole recipe: the header, every line's words and options
// (only request options; an option quorlin-batch takes besides, such as -j or
// an input name, is refused), the numbers' field checks and ValidateRequest of
// every step. The first fault, or the recipe.
std::variant<Recipe, RecipeFault> ReadRecipe(std::string_view text);

// One step as request options (the same on a command line), each word
// quoted only when it must be, bytes that are not printable ASCII as $'\xHH'.
// Fields are written when filled (text fields when not empty); terminator as
// RecipeStep's; the request's encoding is not written (the recipe's line is).
std::string StepLine(const ChangeRequest& request, std::string_view terminator = {});

// The whole file: the header, "encoding utf8" when the recipe's encoding is
// UTF-8 (or "encoding cp1252" when it was given), then each step's comments
// and line, then the comments after them. ReadRecipe(RecipeText(r)) gives
// steps that run the same bytes as r's.
std::string RecipeText(const Recipe& recipe);

// Checks every step as a run checks it before its first line (ValidateRequest,
// and the numbers and key a run converts, which depend on the encoding): the
// first fault with its step's line, or none. ReadRecipe checks so in the
// recipe's own encoding; a caller that sets another (WithEncoding) checks
// again.
std::optional<RecipeFault> CheckRecipe(const Recipe& recipe);

// The recipe's steps with their encoding set to encoding (the recipe's own when
// encodingGiven, else the one a caller chose).
Recipe WithEncoding(Recipe recipe, Encoding encoding);

// How the lines of a line-level recipe run end. The first step reads the
// source's lines; the terminator its input's lines ended with matters where a
// step's output line holds a CR or LF of its own (a replacement text with a
// line break), which the next step reads as a break.
struct RecipeLineEnds {
  // The source's first line terminator ("\r\n", "\n" or "\r"; "" when the
  // text has no break), asked after the first line is read. Unset: "\n".
  std::function<std::string_view()> input;
  // Set before the first line is written to the sink: the terminator a
  // single run of the steps one after another ends the last output with.
  std::string output = "\n";
};

// Runs every step over source into sink: chains of streaming steps in one
// pass, block by block. stats (when given) gets one RunStats per step, the
// figures that step's single run over its input would count. Same stop and
// messages as the steps run one after another: a step that stops (actions
// 25/26 with bad positions, a number that is no integer) stops the recipe
// before anything is written to sink. FileError from source or sink
// propagates. The recipe has a step at least, and every step has passed
// ValidateRequest.
RunResult RunRecipe(const Recipe& recipe, LineSource& source, LineSink& sink,
                    std::vector<RunStats>* stats = nullptr, RecipeLineEnds* ends = nullptr);

// The same over bytes, in to out: in chunks of about chunkBytes on jobs
// threads when the steps need no line numbers, no next line and no line
// breaks of their own, else on one thread. With one job the chunks go through
// one worker in order, as the reading goes on beside it and the writing on the
// calling thread. Nothing is written to out when a step stops the run.
struct RecipeByteOptions {
  unsigned jobs = 1;
  std::size_t chunkBytes = std::size_t(1) << 20;
  // When in holds a piece of a longer text: that text's first line
  // terminator, which the first step's output lines end with unless it forces
  // one. Only for a recipe whose every step runs alone on a piece
  // (RecipeIndependent).
  std::string inputTerminator;
};
RunResult RunRecipeBytes(const Recipe& recipe, ByteReader& in, ByteWriter& out,
                         const RecipeByteOptions& options, std::vector<RunStats>* stats = nullptr);

// What --explain prints for a recipe: a line per step ("step N (line L): "
// and ExplainSplit's words), a line per chain of steps run in one pass and per
// whole-text step between them, and last the whole recipe's: "recipe:
// split=independent|context|whole-text steps=N chains=M: " and "in chunks on
// every thread" or "on one thread, " and why (the first step that needs
// more than its own line, or writes line breaks within its lines).
std::vector<std::string> ExplainRecipe(const Recipe& recipe);

// Whether each piece of a text may run the whole recipe alone (every step
// split=independent, none writing line breaks within its lines): the recipe
// then runs in chunks under -j and splits under quorlin-cluster.
bool RecipeIndependent(const Recipe& recipe);

}  // namespace quorlin
