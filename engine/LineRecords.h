// SPDX-License-Identifier: Apache-2.0
// Lines handed from one step of a run to the next in memory. The sink writes
// each line with its terminator into a buffer and notes where the line ends,
// so that the next step reads the lines back without looking for their
// breaks again, and knows without a look that a line holds no tab when the
// step that wrote it writes none.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ByteBuffer.h"
#include "engine/KeyPattern.h"
#include "engine/LineStream.h"
#include "textutil/QuorlinUtils.h"

namespace quorlin {

// Appends each of count stops moved by shift (added modulo 2^64).
inline void AppendStops(std::vector<std::size_t>& to, const std::size_t* stops, std::size_t count,
                        std::size_t shift) {
  const std::size_t at = to.size();
  to.resize(at + count);
  std::size_t* const moved = to.data() + at;
  for (std::size_t i = 0; i < count; ++i) moved[i] = stops[i] + shift;
}

// Output lines, each followed by the terminator, into a buffer; with stops,
// the offset where each line ends is added to them.
class RecordingSink final : public LineSink {
 public:
  // terminator may change until the first line is written.
  RecordingSink(ByteBuffer& out, const std::string& terminator,
                std::vector<std::size_t>* stops = nullptr)
      : out_(out), term_(terminator), stops_(stops) {}
  void write(std::string_view line) override {
    const std::size_t n = line.size() + term_.size();
    char* d = out_.room(n);
    if (!line.empty()) std::memcpy(d, line.data(), line.size());
    std::memcpy(d + line.size(), term_.data(), term_.size());
    if (stops_ != nullptr) stops_->push_back(out_.size() + line.size());
    out_.commit(n);
  }
  void writeExpanded(std::string_view raw, int tabWidth) override {
    out_.appendExpanded(raw, tabWidth);
    if (stops_ != nullptr) stops_->push_back(out_.size());
    out_.append(term_);
  }
  bool takesLines() const override { return !term_.empty(); }
  std::size_t writeLines(std::string_view lines, const LineShape& shape,
                         std::size_t& count) override;
  std::string_view takeBackLastLine() override {
    if (stops_ != nullptr) stops_->pop_back();
    return TakeBackLastLine(out_, term_.size());
  }
  const std::string& terminator() const { return term_; }
  // Lines that another sink recorded and that need no change: their bytes
  // copied, their stops (counted from linesAt in that sink's buffer) moved.
  void copyRecorded(std::string_view lines, const std::size_t* stops, std::size_t count,
                    std::size_t linesAt) {
    const std::size_t from = out_.size();
    out_.append(lines);
    if (stops_ != nullptr) AppendStops(*stops_, stops, count, from - linesAt);
  }

 private:
  ByteBuffer& out_;
  const std::string& term_;
  std::vector<std::size_t>* stops_;
};

// The lines a RecordingSink wrote with stops, none of which holds a CR or LF.
class RecordedLines final : public LineSource {
 public:
  // bytes: the lines, each followed by a terminator of terminatorLength
  // bytes; stops: where each ends; tabs: whether a line may hold a tab;
  // keys: where the key is watched, when that outlives these lines.
  RecordedLines(std::string_view bytes, const std::vector<std::size_t>& stops,
                std::size_t terminatorLength, bool tabs, KeyWatch* keys = nullptr)
      : data_(bytes), stops_(stops), termLength_(terminatorLength), tabs_(tabs), keys_(keys) {}
  bool next(std::string_view& line) override {
    LineFacts facts;
    return next(line, facts);
  }
  bool next(std::string_view& line, LineFacts& facts) override {
    const std::size_t start = pos_;
    if (!takeLine(line)) return false;
    const std::size_t stop = start + line.size();
    facts.hasTab = tabs_ && std::memchr(line.data(), '\t', line.size()) != nullptr;
    facts.hasHigh = -1;
    facts.hasKey = -1;
    if (keyWatch().active()) {
      facts.hasKey = keyFrom(start) < stop ? 1 : 0;
    }
    if (pattern_.active()) facts.hasKey = pattern_.holds(data_, start, stop, facts.hasTab);
    return true;
  }
  // The next line, without what next() tells of it.
  bool takeLine(std::string_view& line) {
    if (i_ == stops_.size()) return false;
    const std::size_t stop = stops_[i_++];
    line = data_.substr(pos_, stop - pos_);
    pos_ = stop + termLength_;
    return true;
  }
  void watchKey(std::string_view key, bool caseBlind) override {
    keyWatch().set(key, caseBlind);
    nextKey_ = kStale;
  }
  void watchPattern(const KeyPattern* pattern) override { pattern_ = PatternWatch(pattern); }
  bool givesLines() const override { return true; }
  // The lines whose stops end before the limit, with their terminators.
  std::string_view nextLines(bool untilKey, bool untilBracket) override {
    if (i_ == stops_.size() || pattern_.active() || (untilKey && !keyWatch().active())) return {};
    std::size_t limit = data_.size();
    if (untilKey) {
      limit = std::min(keyFrom(pos_), limit);
    }
    if (untilBracket) {
      const std::string_view rest = data_.substr(pos_, limit - pos_);
      limit = pos_ + QuorlinUtils::FindTagBracket(rest);
    }
    // The first line that ends at or after the limit: mostly a few lines on.
    // Each stop is passed once in the whole run, so a plain walk costs less
    // than a search, whose branches no processor foresees.
    const std::size_t* const stops = stops_.data();
    std::size_t j = i_;
    while (j < stops_.size() && stops[j] < limit) ++j;
    if (j == i_) return {};
    const std::size_t cut = stops_[j - 1] + termLength_;
    const std::string_view lines = data_.substr(pos_, cut - pos_);
    lastFirst_ = i_;
    lastAt_ = pos_;
    i_ = j;
    pos_ = cut;
    return lines;
  }
  // Passes the next line when it holds the key watched for; whether it did.
  bool skipKeyLine() {
    if (i_ == stops_.size() || !keyWatch().active() || pattern_.active()) return false;
    std::string_view line;
    return keyFrom(pos_) < stops_[i_] && takeLine(line);
  }
  // The lines the last nextLines handed out: their stops, how many, where
  // they start, whether they may hold a tab, and their terminator.
  const std::size_t* lastStops() const { return stops_.data() + lastFirst_; }
  std::size_t lastCount() const { return i_ - lastFirst_; }
  std::size_t lastAt() const { return lastAt_; }
  bool mayHoldTabs() const { return tabs_; }
  std::string_view terminator() const {
    return stops_.empty() ? std::string_view() : data_.substr(stops_[0], termLength_);
  }

 private:
  // The next occurrence of the watched key at or after start, searched once
  // per occurrence rather than once per line.
  std::size_t keyFrom(std::size_t start) {
    if (nextKey_ == kStale || nextKey_ < start) nextKey_ = keyWatch().find(data_, start);
    return nextKey_;
  }

  static constexpr std::size_t kStale = std::string_view::npos - 1;
  std::string_view data_;
  const std::vector<std::size_t>& stops_;
  std::size_t termLength_;
  bool tabs_;
  std::size_t i_ = 0, pos_ = 0;
  std::size_t lastFirst_ = 0, lastAt_ = 0;
  std::size_t nextKey_ = kStale;
  KeyWatch ownKey_;
  KeyWatch* keys_;  // null: ownKey_
  KeyWatch& keyWatch() { return keys_ != nullptr ? *keys_ : ownKey_; }
  PatternWatch pattern_;
};

}  // namespace quorlin
