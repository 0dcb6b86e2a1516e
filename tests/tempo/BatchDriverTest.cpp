// Batch driver and its texts: result fields, tempo conversion, display rounding, and
// the run policies for reloads and stop requests.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tempo/BatchDriver.h"
#include "tempo/TempoText.h"

namespace tempo {
namespace {

struct PeriodCase {
  int periodMs;
  const char* shown;
};

class PeriodToDisplay : public ::testing::TestWithParam<PeriodCase> {};

// 60000 / V, worked by hand: 461 -> 130.1518..., 305 -> 196.7213..., 768 -> 78.125
// exactly (a halfway case that must round up).
TEST_P(PeriodToDisplay, ShowsTwoDecimalsRoundedHalfUp) {
  EXPECT_EQ(FormatTempo(TempoFromPeriod(GetParam().periodMs)), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(WorkedValues, PeriodToDisplay,
                         ::testing::Values(PeriodCase{500, "120.00"}, PeriodCase{1000, "60.00"},
                                           PeriodCase{461, "130.15"}, PeriodCase{305, "196.72"},
                                           PeriodCase{1200, "50.00"}, PeriodCase{768, "78.13"},
                                           PeriodCase{960, "62.50"}));

TEST(TempoText, FormatRoundsTheFloatsExactValueNotItsDecimalSpelling) {
  EXPECT_EQ(FormatTempo(0.0f), "0.00");
  // 0.125 and 2.375 are exact binary halves: they round up.
  EXPECT_EQ(FormatTempo(0.125f), "0.13");
  EXPECT_EQ(FormatTempo(2.375f), "2.38");
  // 1.005f is stored as 1.00499999523..., below the halfway point.
  EXPECT_EQ(FormatTempo(1.005f), "1.00");
  EXPECT_EQ(FormatTempo(99.999f), "100.00");
}

TEST(TempoText, FieldsSplitAtBarsAndMissingFieldsReadEmpty) {
  EXPECT_EQ(ResultField("1000|500", 1), "1000");
  EXPECT_EQ(ResultField("1000|500", 2), "500");
  EXPECT_EQ(ResultField("1000|500", 3), "");
  EXPECT_EQ(ResultField("", 1), "");
  EXPECT_EQ(ResultField("", 2), "");
  EXPECT_EQ(ResultField("501", 2), "");
}

TEST(TempoText, FieldValuesFollowTheDigitsUpToTheFirstOtherCharacter) {
  EXPECT_EQ(FieldPeriodMs("0"), std::nullopt);
  EXPECT_EQ(FieldPeriodMs(""), std::nullopt);
  EXPECT_EQ(FieldPeriodMs("000"), std::nullopt);  // zero has no tempo
  EXPECT_EQ(FieldPeriodMs("x12"), std::nullopt);
  EXPECT_EQ(FieldPeriodMs("500"), 500);
  EXPECT_EQ(FieldPeriodMs("461ms"), 461);
  EXPECT_EQ(FieldPeriodMs("99999999999999999999"), 1'000'000'000);
}

// A track list in memory, recording every write and status text in order.
class FakeList : public BatchHost {
 public:
  explicit FakeList(std::vector<std::string> paths) : rows_(std::move(paths)) { cells_.assign(rows_.size(), {"", ""}); }

  int RowCount() override { return static_cast<int>(rows_.size()); }
  std::string RowPath(int row) override { return row < RowCount() ? rows_[static_cast<size_t>(row)] : std::string(); }
  bool WriteTempi(int row, uint64_t generation, const std::string& primary, const std::string& alternative) override {
    if (generation != generation_) return false;
    cells_[static_cast<size_t>(row)] = {primary, alternative};
    log.push_back("write " + std::to_string(row) + " " + primary + " " + alternative);
    return true;
  }
  void SetStatus(const std::string& text) override { log.push_back("status " + text); }
  uint64_t ListGeneration() override { return generation_; }
  bool StopRequested() override { return stop; }

  void Reload(std::vector<std::string> paths) {
    rows_ = std::move(paths);
    cells_.assign(rows_.size(), {"", ""});
    ++generation_;
  }
  const std::pair<std::string, std::string>& Cells(size_t row) const { return cells_[row]; }

  std::vector<std::string> log;
  bool stop = false;

 private:
  std::vector<std::string> rows_;
  std::vector<std::pair<std::string, std::string>> cells_;
  uint64_t generation_ = 7;
};

// Answers from a table keyed by path and pass; an optional hook runs inside a call.
class ScriptedAnalyser : public TrackAnalyser {
 public:
  std::string Analyse(const std::string& path, int withGainStage) override {
    calls.push_back(path + "#" + std::to_string(withGainStage));
    if (during) during(path, withGainStage);
    auto it = answers.find({path, withGainStage});
    return it == answers.end() ? std::string() : it->second;
  }
  std::map<std::pair<std::string, int>, std::string> answers;
  std::vector<std::string> calls;
  std::function<void(const std::string&, int)> during;
};

TEST(RunBatch, EmptyListEndsAtOnceWithoutTouchingAnything) {
  FakeList list({});
  ScriptedAnalyser analyser;
  EXPECT_EQ(RunBatch(list, analyser), 0);
  EXPECT_TRUE(list.log.empty());
  EXPECT_TRUE(analyser.calls.empty());
}

TEST(RunBatch, FillsRowsAndStatusInOrder) {
  FakeList list({"C:\\a\\one.mp3", "C:\\b\\two.wav", "C:\\c\\bad.mp3"});
  ScriptedAnalyser analyser;
  analyser.answers[{"C:\\a\\one.mp3", 0}] = "1000|500";
  analyser.answers[{"C:\\b\\two.wav", 0}] = "500|0";
  // bad.mp3 gives no analysis at all on both passes.
  EXPECT_EQ(RunBatch(list, analyser), 0);
  EXPECT_EQ(list.Cells(0), std::make_pair(std::string("60.00"), std::string("120.00")));
  EXPECT_EQ(list.Cells(1), std::make_pair(std::string("120.00"), std::string("0.00")));
  EXPECT_EQ(list.Cells(2), std::make_pair(std::string("0.00"), std::string("0.00")));
  const std::vector<std::string> expected = {
      "status Calculating one.mp3", "write 0 60.00 120.00", "status one.mp3 done",
      "status Calculating two.wav", "write 1 120.00 0.00",  "status two.wav done",
      "status Calculating bad.mp3", "write 2 0.00 0.00",    "status bad.mp3 done"};
  EXPECT_EQ(list.log, expected);
  const std::vector<std::string> calls = {"C:\\a\\one.mp3#0", "C:\\b\\two.wav#0", "C:\\c\\bad.mp3#0",
                                          "C:\\c\\bad.mp3#1"};
  EXPECT_EQ(analyser.calls, calls);
}

TEST(RunBatch, RetryResultAloneDecidesAndItsSecondFieldIsIgnoredWithoutAFirst) {
  FakeList list({"x.mp3", "y.mp3"});
  ScriptedAnalyser analyser;
  analyser.answers[{"x.mp3", 0}] = "0|500";  // field 2 is never read when field 1 is 0
  analyser.answers[{"x.mp3", 1}] = "768|0";
  analyser.answers[{"y.mp3", 0}] = "0|0";
  analyser.answers[{"y.mp3", 1}] = "0|461";
  RunBatch(list, analyser);
  EXPECT_EQ(list.Cells(0), std::make_pair(std::string("78.13"), std::string("0.00")));
  EXPECT_EQ(list.Cells(1), std::make_pair(std::string("0.00"), std::string("0.00")));
}

TEST(RunBatch, ReloadDuringAnalysisDiscardsTheResultAndStartsOverOnTheNewList) {
  FakeList list({"old0.mp3", "old1.mp3", "old2.mp3"});
  ScriptedAnalyser analyser;
  analyser.answers[{"old0.mp3", 0}] = "500|0";
  analyser.answers[{"old1.mp3", 0}] = "1000|0";
  analyser.answers[{"new0.mp3", 0}] = "461|0";
  analyser.answers[{"new1.mp3", 0}] = "305|0";
  bool reloaded = false;
  analyser.during = [&](const std::string& path, int) {
    if (path == "old1.mp3" && !reloaded) {
      reloaded = true;
      list.Reload({"new0.mp3", "new1.mp3"});
    }
  };
  RunBatch(list, analyser);
  // old1's 100.00 must land nowhere; the new list is analysed from its first row.
  EXPECT_EQ(list.Cells(0), std::make_pair(std::string("130.15"), std::string("0.00")));
  EXPECT_EQ(list.Cells(1), std::make_pair(std::string("196.72"), std::string("0.00")));
  for (const auto& line : list.log) EXPECT_EQ(line.find("100.00"), std::string::npos) << line;
}

TEST(RunBatch, ReloadBetweenRowsAlsoStartsOver) {
  ScriptedAnalyser analyser;
  analyser.answers[{"a.mp3", 0}] = "500|0";
  analyser.answers[{"c.mp3", 0}] = "1000|0";
  bool reloaded = false;
  // Reload right after the first row was written, before the next row is read.
  struct Hooked : FakeList {
    using FakeList::FakeList;
    std::function<void()> afterWrite;
    bool WriteTempi(int row, uint64_t g, const std::string& p, const std::string& a) override {
      const bool ok = FakeList::WriteTempi(row, g, p, a);
      if (afterWrite) afterWrite();
      return ok;
    }
  } hooked({"a.mp3", "b.mp3"});
  hooked.afterWrite = [&] {
    if (!reloaded) {
      reloaded = true;
      hooked.Reload({"c.mp3"});
    }
  };
  RunBatch(hooked, analyser);
  EXPECT_EQ(hooked.Cells(0), std::make_pair(std::string("60.00"), std::string("0.00")));
  const std::vector<std::string> calls = {"a.mp3#0", "c.mp3#0"};
  EXPECT_EQ(analyser.calls, calls);
}

TEST(RunBatch, StopRequestEndsTheRunWithoutWritingTheResultInFlight) {
  FakeList list({"a.mp3", "b.mp3"});
  ScriptedAnalyser analyser;
  analyser.answers[{"a.mp3", 0}] = "500|0";
  analyser.during = [&](const std::string&, int) { list.stop = true; };
  EXPECT_EQ(RunBatch(list, analyser), 0);
  const std::vector<std::string> expected = {"status Calculating a.mp3"};
  EXPECT_EQ(list.log, expected);
  EXPECT_EQ(analyser.calls.size(), 1u);
}

// The whole result reaches a host that takes it: the tempi as numbers, every pass in
// order with the row it was asked for, and the engine's code beside each pass.
class ResultList : public FakeList {
 public:
  using FakeList::FakeList;
  bool WriteResult(int row, uint64_t, const TrackTempi& tempi) override {
    results.emplace_back(row, tempi);
    return true;
  }
  std::vector<std::pair<int, TrackTempi>> results;
};

class RowAnalyser : public ScriptedAnalyser {
 public:
  PassResult AnalyseRow(int row, const std::string& path, int withGainStage) override {
    rows.push_back(row);
    return {Analyse(path, withGainStage), path == "gone.wav" ? 2 : 0};
  }
  std::vector<int> rows;
};

TEST(RunBatch, WholeResultGoesToTheHostWithTheRowOfEveryPass) {
  ResultList list({"one.mp3", "quiet.wav", "gone.wav"});
  RowAnalyser analyser;
  analyser.answers[{"one.mp3", 0}] = "1000|500";
  analyser.answers[{"quiet.wav", 0}] = "0|0";
  analyser.answers[{"quiet.wav", 1}] = "750|0";
  EXPECT_EQ(RunBatch(list, analyser), 0);
  EXPECT_EQ(analyser.rows, (std::vector<int>{0, 1, 1, 2, 2}));
  ASSERT_EQ(list.results.size(), 3u);
  for (const std::string& entry : list.log)
    EXPECT_NE(entry.rfind("write", 0), 0u) << "WriteTempi was called: " << entry;
  const TrackTempi& one = list.results[0].second;
  EXPECT_EQ(one.primaryBpm, 60.0f);
  EXPECT_EQ(one.alternativeBpm, 120.0f);
  ASSERT_EQ(one.passes.size(), 1u);
  const TrackTempi& quiet = list.results[1].second;
  EXPECT_EQ(quiet.primaryBpm, 80.0f);
  ASSERT_EQ(quiet.passes.size(), 2u);
  EXPECT_EQ(quiet.passes[0].text, "0|0");
  EXPECT_EQ(quiet.passes[1].text, "750|0");
  const TrackTempi& gone = list.results[2].second;
  EXPECT_EQ(gone.primaryBpm, 0.0f);
  ASSERT_EQ(gone.passes.size(), 2u);
  EXPECT_EQ(gone.passes[0].engineError, 2);
  EXPECT_TRUE(gone.passes[1].text.empty());
}

TEST(TempoText, ShownTempoIsTheDisplayedValue) {
  for (float bpm : {78.125f, 69.996f, 127.5f, 127.49f, 0.0f, 1234.565f}) {
    EXPECT_EQ(ShownTempo(bpm), std::stod(FormatTempo(bpm))) << bpm;
  }
  EXPECT_TRUE(FindsBeat("500|0"));
  EXPECT_FALSE(FindsBeat("0|500"));
  EXPECT_FALSE(FindsBeat(""));
}

}  // namespace
}  // namespace tempo
