// The parts of temposcout-cli without the engine: option parsing, the records of each
// format, path lists, and the order and failures of the writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "cli/Interrupt.h"
#include "cli/Options.h"
#include "cli/PathList.h"
#include "cli/Progress.h"
#include "cli/ResultFormat.h"
#include "cli/ResultWriter.h"
#include "platform/FileReplace.h"
#include "tests/TestHelpers.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>
#endif

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace {

using namespace cli;

TEST(ParseCommandLineTest, ReadsOptionsAnywhereAndPathsInOrder) {
  const CommandLine line = ParseCommandLine(
      {"a.wav", "--format", "csv", "-r", "--range=70-140", "--files-from", "-", "-0", "--", "--raw", "-"});
  ASSERT_EQ(line.action, CommandAction::kRun) << line.error;
  EXPECT_EQ(line.options.format, OutputFormat::kCsv);
  EXPECT_TRUE(line.options.recursive);
  EXPECT_TRUE(line.options.nulSeparated);
  EXPECT_FALSE(line.options.raw);
  ASSERT_TRUE(line.options.range);
  EXPECT_EQ(line.options.range->maxBpm, 140.0);
  EXPECT_EQ(line.options.filesFrom, "-");
  EXPECT_EQ(line.options.paths, (std::vector<std::string>{"a.wav", "--raw", "-"}));

  EXPECT_EQ(line.options.jobs, 0u) << "one per processor unless given";
  EXPECT_EQ(ParseCommandLine({"-j", "3", "a"}).options.jobs, 3u);
  EXPECT_EQ(ParseCommandLine({"a", "--jobs=1"}).options.jobs, 1u);
  EXPECT_EQ(ParseCommandLine({"a", "--jobs=64"}).options.jobs, 64u);

  EXPECT_FALSE(line.options.minConfidence) << "the default unless given";
  EXPECT_EQ(ParseCommandLine({"--write-tag", "--min-confidence", "0.75", "a"}).options.minConfidence, 0.75);
  EXPECT_EQ(ParseCommandLine({"--write-tag", "a"}).action, CommandAction::kRun) << "no range needed";
  EXPECT_TRUE(ParseCommandLine({"--confidence", "a"}).options.confidence);

  EXPECT_EQ(ParseCommandLine({"x.wav", "-h"}).action, CommandAction::kHelp);
  EXPECT_EQ(ParseCommandLine({"--version"}).action, CommandAction::kVersion);
  EXPECT_EQ(ParseCommandLine({"--files-from", "list"}).action, CommandAction::kRun);
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{{},
                                                                                   {"--quiet"},
                                                                                   {"--nope", "a"},
                                                                                   {"--range", "a"},
                                                                                   {"--format=", "a"},
                                                                                   {"a", "--files-from"},
                                                                                   {"--jobs", "0", "a"},
                                                                                   {"-j", "-1", "a"},
                                                                                   {"--jobs=", "a"},
                                                                                   {"--jobs=2x", "a"},
                                                                                   {"--jobs=1.5", "a"},
                                                                                   {"--jobs=99999999999", "a"},
                                                                                   {"--jobs=65", "a"},
                                                                                   {"a", "-j"},
                                                                                   {"--extensions=", "a"},
                                                                                   {"--extensions", "mp3,,wav", "a"},
                                                                                   {"--extensions", "mp3,txt", "a"},
                                                                                   {"--min-confidence=0.5", "a"},
                                                                                   {"--write-tag", "--min-confidence=1.5", "a"},
                                                                                   {"--write-tag", "--min-confidence=-1", "a"},
                                                                                   {"--write-tag", "--min-confidence=x", "a"}}) {
    const CommandLine parsed = ParseCommandLine(bad);
    EXPECT_EQ(parsed.action, CommandAction::kUsageError);
    EXPECT_FALSE(parsed.error.empty());
  }
}

// What a command line sets, in short: jobs, the switches on, the CSV kind, the paths.
std::string Summary(const CommandLine& line) {
  const Options& o = line.options;
  if (line.action != CommandAction::kRun) return "error: " + line.error;
  std::string text = "j" + std::to_string(o.jobs) + (o.recursive ? " r" : "") + (o.quiet ? " q" : "") +
                     (o.nulSeparated ? " 0" : "") + (o.format == OutputFormat::kCsv ? " csv" : "");
  text += o.spreadsheet == Spreadsheet::kComma ? " excel" : o.spreadsheet == Spreadsheet::kSemicolon ? " excel;" : "";
  for (const std::string& path : o.paths) text += " [" + path + "]";
  return text;
}

TEST(ParseCommandLineTest, ShortOptionsBundleAndTakeValuesAsGetoptDoes) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-j4", "a"}, "j4 [a]"},
      {{"-j", "4", "a"}, "j4 [a]"},
      {{"a", "--jobs=4"}, "j4 [a]"},
      {{"-rq", "a"}, "j0 r q [a]"},
      {{"-qrj12", "a"}, "j12 r q [a]"},
      {{"-qj", "2", "a", "-r0"}, "j2 r q 0 [a]"},
      {{"--files-from", "-r", "a"}, "j0 [a]"},  // a value that looks like an option
      {{"-", "-r"}, "j0 r [-]"},
      {{"--excel", "semicolon"}, "j0 csv excel [semicolon]"},  // a value only after "="
      {{"--excel=semicolon", "--format=csv", "a"}, "j0 csv excel; [a]"},
      {{"-x", "a"}, "error: unknown option '-x'"},
      {{"-rx", "a"}, "error: unknown option '-x'"},
      {{"-j4x"}, "error: invalid number of jobs '4x' (a whole number from 1 to 64)"},
      {{"--nope=3", "a"}, "error: unknown option '--nope'"},
      {{"a", "-qj"}, "error: option '-j' needs a value"},
      {{"a", "--jobs"}, "error: option '--jobs' needs a value"},
      {{"--raw=yes", "a"}, "error: option '--raw' takes no value"},
      {{"--excel=tab", "a"}, "error: unknown spreadsheet separator 'tab' (--excel or --excel=semicolon)"},
      {{"--format", "tsv", "--excel", "a"}, "error: --excel writes CSV"},
  };
  for (const auto& [arguments, expected] : cases) EXPECT_EQ(Summary(ParseCommandLine(arguments)), expected);
  EXPECT_EQ(ParseCommandLine({"-rh"}).action, CommandAction::kHelp);
}

TEST(ParseCommandLineTest, ExtensionsLimitTheFolderScansToKnownOnes) {
  const std::vector<std::string_view> all(tracklist::kAudioExtensions.begin(), tracklist::kAudioExtensions.end());
  EXPECT_EQ(ParseCommandLine({"a"}).options.extensions, all);
  const std::vector<std::pair<std::string, std::vector<std::string_view>>> cases = {
      {"mp3,wav", {".mp3", ".wav"}},
      {"FLAC,.m4a,flac", {".flac", ".m4a"}},
      {"opus", {".opus"}},
  };
  for (const auto& [value, extensions] : cases) {
    const CommandLine line = ParseCommandLine({"--extensions", value, "a"});
    EXPECT_EQ(line.action, CommandAction::kRun) << value << ": " << line.error;
    EXPECT_EQ(line.options.extensions, extensions) << value;
  }
  EXPECT_NE(std::string(UsageText()).find("--extensions"), std::string::npos);
  EXPECT_NE(std::string(UsageText()).find("mp3,mp2,wav,flac,"), std::string::npos);
}

TEST(EscapeTest, TsvFieldsStayOneFieldOfOneLine) {
  EXPECT_EQ(EscapeTsvField("a\tb\nc\rd\\e", false), "a\\tb\\nc\\rd\\\\e");
  EXPECT_EQ(EscapeTsvField("C:\\x\\new.wav", true), "C:\\x\\new.wav");
  EXPECT_EQ(EscapeTsvField("plain \xC3\xA9.wav", false), "plain \xC3\xA9.wav");
  // No byte a terminal acts on: ESC starts escape sequences, BEL rings, DEL erases.
  EXPECT_EQ(EscapeTsvField("\x1B[2Jx\x07\x7F\x01.wav", false), "\\x1B[2Jx\\x07\\x7F\\x01.wav");
}

TEST(EscapeTest, RecordsForATerminalShowControlsButKeepTabsAndTheLineEnd) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\tb\n", "a\tb\n"},
      {"\"x\ny\x1B[31m\",1\r\n", "\"x\\x0Ay\\x1B[31m\",1\r\n"},
      {"no end\r", "no end\\x0D"},
      {"", ""},
  };
  for (const auto& [record, shown] : cases) {
    const std::string_view lineEnd = record.size() >= 2 && record.substr(record.size() - 2) == "\r\n" ? "\r\n" : "\n";
    EXPECT_EQ(TerminalSafe(record, lineEnd), shown) << record;
  }
}

TEST(EscapeTest, CsvFieldsAreQuotedOnlyWhenNeeded) {
  EXPECT_EQ(QuoteCsvField("plain.wav"), "plain.wav");
  EXPECT_EQ(QuoteCsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(QuoteCsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(QuoteCsvField("two\nlines"), "\"two\nlines\"");
  EXPECT_EQ(QuoteCsvField("cr\r"), "\"cr\r\"");
  EXPECT_EQ(QuoteCsvField(""), "");
}

TEST(EscapeTest, JsonStringsEscapeControlsAndKeepOnlyValidUtf8) {
  EXPECT_EQ(JsonString("q\"b\\"), "\"q\\\"b\\\\\"");
  EXPECT_EQ(JsonString(std::string("\x01\t\n\x1f\x7f", 5)), "\"\\u0001\\u0009\\u000a\\u001f\\u007f\"");
  EXPECT_EQ(JsonString("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5"), "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5\"");
  // A Latin-1 byte, a cut sequence, an overlong slash and a surrogate: each bad byte
  // becomes U+FFFD.
  EXPECT_EQ(JsonString("a\xE9z"), "\"a\xEF\xBF\xBDz\"");
  EXPECT_EQ(JsonString("\xE2\x82"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(JsonString("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

TrackResult SampleResult() {
  TrackResult result;
  result.path = "dir/a,\"b\"\t.wav";
  result.tempi.primaryBpm = 120.0f;
  result.tempi.alternativeBpm = 60.0f;
  result.tempi.passes = {{"500|1000"}};
  return result;
}

TEST(FormatRecordTest, DefaultTsvKeepsThreeColumns) {
  const std::string record = FormatRecord(OutputFormat::kTsv, Columns{}, SampleResult());
  const std::string body = record.substr(0, record.find_first_of("\r\n"));
  EXPECT_EQ(body, "dir/a,\"b\"" + EscapeTsvField("\t", false) + ".wav\t120.00\t60.00");
  EXPECT_EQ(FormatHeader(OutputFormat::kTsv, Columns{}), "");
}

TEST(FormatRecordTest, CsvHasHeaderQuotingAndCrlf) {
  const Columns columns{.range = true, .raw = true, .status = false};
  EXPECT_EQ(FormatHeader(OutputFormat::kCsv, columns),
            "path,primary,alternative,bpm,confidence,pass1,pass2,status,reason\r\n");
  TrackResult result = SampleResult();
  result.status = TrackStatus::kNoBeat;
  result.reason = "no beat, found";
  EXPECT_EQ(FormatRecord(OutputFormat::kCsv, columns, result),
            "\"dir/a,\"\"b\"\"\t.wav\",120.00,60.00,,,500|1000,,no-beat,\"no beat, found\"\r\n");
}

TEST(FormatRecordTest, JsonLineHoldsEveryField) {
  TrackResult result = SampleResult();
  result.tempi.passes = {{""}, {"0|0"}};
  result.status = TrackStatus::kUnreadable;
  result.reason = "gone";
  const std::string line = FormatRecord(OutputFormat::kJsonl, Columns{.range = true}, result);
  EXPECT_EQ(line.substr(0, line.find_first_of("\r\n")),
            "{\"path\":\"dir/a,\\\"b\\\"\\u0009.wav\",\"primary\":120.00,\"alternative\":60.00,\"bpm\":null,"
            "\"confidence\":null,\"raw\":[\"\",\"0|0\"],\"status\":\"unreadable\",\"reason\":\"gone\"}");
  // JSON Lines carries bpm and confidence without any option.
  EXPECT_EQ(FormatRecord(OutputFormat::kJsonl, Columns{}, result), line);
}

// Every column of the table appears in the CSV header with every option on, in the usage
// text, and (unless carried under another's key) as a JSON Lines key, in table order.
TEST(ResultColumnsTest, TableFeedsEveryFormatAndTheUsageText) {
  const Columns all{.range = true, .confidence = true, .raw = true, .status = true, .tag = true};
  const std::string header = FormatHeader(OutputFormat::kCsv, all);
  const std::string json = FormatRecord(OutputFormat::kJsonl, all, SampleResult());
  const std::string usage = ColumnsUsageText();
  size_t headerAt = 0;
  size_t jsonAt = 0;
  for (const ResultColumn& column : ResultColumns()) {
    headerAt = header.find(column.name, headerAt);
    EXPECT_NE(headerAt, std::string::npos) << column.name;
    EXPECT_NE(usage.find(column.name), std::string::npos) << column.name;
    if (column.jsonKey != nullptr) {
      jsonAt = json.find("\"" + std::string(column.jsonKey) + "\":", jsonAt);
      EXPECT_NE(jsonAt, std::string::npos) << column.jsonKey;
    }
  }
  for (size_t start = 0; start < usage.size();) {
    const size_t end = usage.find('\n', start);
    EXPECT_LE(end - start, 88u) << usage.substr(start, end - start);
    start = end + 1;
  }
}

TEST(EscapeTest, SpreadsheetFieldsGuardFormulasAndQuoteTheSeparator) {
  const std::vector<std::tuple<std::string, char, std::string>> cases = {
      {"plain.wav", ',', "plain.wav"},
      {"a;b,c", ';', "\"a;b,c\""},
      {"a,b", ';', "a,b"},
      {"say \"hi\"", ';', "\"say \"\"hi\"\"\""},
      {"=HYPERLINK(\"x\")", ',', "\"'=HYPERLINK(\"\"x\"\")\""},
      {"-", ',', "\"'-\""},
      {"@SUM(A1)", ',', "\"'@SUM(A1)\""},
      {"\tx", ',', "\"'\tx\""},
      {"a=b", ',', "a=b"},
  };
  for (const auto& [text, separator, expected] : cases) EXPECT_EQ(SpreadsheetField(text, separator), expected) << text;
}

// A file left out as already tagged has no tempi, and its tag's value in tag_existing.
TEST(FormatRecordTest, SkippedTaggedHasNoTempi) {
  TrackResult result;
  result.path = "a.mp3";
  result.status = TrackStatus::kSkippedTagged;
  result.tag = {"skipped-tagged", "", "128", ""};
  const std::string json = FormatRecord(OutputFormat::kJsonl, Columns{.range = true, .tag = true}, result);
  EXPECT_EQ(json.substr(0, json.find_first_of("\r\n")),
            "{\"path\":\"a.mp3\",\"primary\":null,\"alternative\":null,\"bpm\":null,\"confidence\":null,\"raw\":[],"
            "\"status\":\"skipped-tagged\",\"reason\":null,\"tag\":\"skipped-tagged\",\"tag_bpm\":null,"
            "\"tag_existing\":\"128\",\"tag_error\":null}");
}

// The whole-track estimate in each format and with each option: which columns TSV
// carries, and how values, an estimate without a value and no estimate at all read.
struct EstimateCase {
  const char* name;
  OutputFormat format;
  Columns columns;
  std::optional<float> bpm;
  std::optional<double> confidence;
  std::string expected;  // the record after path, primary and alternative, without its line end
};

class EstimateColumnsTest : public ::testing::TestWithParam<EstimateCase> {};

TEST_P(EstimateColumnsTest, ShowsBpmAndConfidence) {
  const EstimateCase& c = GetParam();
  TrackResult result = SampleResult();
  result.path = "a.wav";
  result.bpm = c.bpm;
  result.confidence = c.confidence;
  const std::string record = FormatRecord(c.format, c.columns, result);
  const std::string body = record.substr(0, record.find_first_of("\r\n"));
  const std::string start = c.format == OutputFormat::kJsonl ? "{\"path\":\"a.wav\",\"primary\":120.00,\"alternative\":60.00"
                            : c.format == OutputFormat::kCsv ? "a.wav,120.00,60.00"
                                                             : "a.wav\t120.00\t60.00";
  ASSERT_EQ(body.substr(0, start.size()), start) << body;
  EXPECT_EQ(body.substr(start.size()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EstimateColumnsTest,
    ::testing::Values(
        EstimateCase{"tsv_plain", OutputFormat::kTsv, {}, 127.125f, 0.8, ""},
        EstimateCase{"tsv_range", OutputFormat::kTsv, {.range = true}, 127.125f, 0.8, "\t127.13"},
        EstimateCase{"tsv_confidence", OutputFormat::kTsv, {.confidence = true}, 127.125f, 0.8, "\t127.13\t0.800"},
        EstimateCase{"tsv_rounds", OutputFormat::kTsv, {.confidence = true}, 60.0f, 0.12345, "\t60.00\t0.123"},
        EstimateCase{"tsv_none", OutputFormat::kTsv, {.confidence = true}, std::nullopt, 0.0, "\t\t0.000"},
        EstimateCase{"tsv_unread", OutputFormat::kTsv, {.confidence = true}, std::nullopt, std::nullopt, "\t\t"},
        EstimateCase{"csv", OutputFormat::kCsv, {}, 99.5f, 1.0, ",99.50,1.000,ok,"},
        EstimateCase{"csv_none", OutputFormat::kCsv, {}, std::nullopt, 0.0, ",,0.000,ok,"},
        EstimateCase{"jsonl", OutputFormat::kJsonl, {}, 99.5f, 0.25,
                     ",\"bpm\":99.50,\"confidence\":0.250,\"raw\":[\"500|1000\"],\"status\":\"ok\",\"reason\":null}"},
        EstimateCase{"jsonl_unread", OutputFormat::kJsonl, {}, std::nullopt, std::nullopt,
                     ",\"bpm\":null,\"confidence\":null,\"raw\":[\"500|1000\"],\"status\":\"ok\",\"reason\":null}"}),
    [](const ::testing::TestParamInfo<EstimateCase>& param) { return std::string(param.param.name); });

struct StatusCase {
  std::vector<std::string> passes;
  float primaryBpm;
  TrackStatus expected;
};

class StatusOfTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusOfTest, FollowsThePassesAndThePrimary) {
  tempo::TrackTempi tempi;
  for (const std::string& text : GetParam().passes) tempi.passes.push_back({text});
  tempi.primaryBpm = GetParam().primaryBpm;
  EXPECT_EQ(StatusOf(tempi), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, StatusOfTest,
                         ::testing::Values(StatusCase{{"500|0"}, 120.0f, TrackStatus::kOk},
                                           StatusCase{{"0|0", "750|0"}, 80.0f, TrackStatus::kOk},
                                           StatusCase{{"0|0", "0|0"}, 0.0f, TrackStatus::kNoBeat},
                                           StatusCase{{"", "0|0"}, 0.0f, TrackStatus::kNoBeat},
                                           StatusCase{{"", ""}, 0.0f, TrackStatus::kUnreadable},
                                           StatusCase{{}, 0.0f, TrackStatus::kUnreadable}));

TEST(SplitPathListTest, HandlesLineEndsAndNulSeparators) {
  EXPECT_EQ(SplitPathList("a\nb c\r\n\n\r\nd", false), (std::vector<std::string>{"a", "b c", "d"}));
  EXPECT_EQ(SplitPathList(std::string("a\nb\0c\r\0\0", 9), true), (std::vector<std::string>{"a\nb", "c\r"}));
  EXPECT_TRUE(SplitPathList("", false).empty());
}

TEST(ReadPathListTest, ANulByteInALineIsAnInvalidLineUnlessNulSeparated) {
  testaudio::ScratchDir dir;
  const std::string list = dir.File("list");
  const std::string text("a.mp3\nb.mp3\0.wav\nc.mp3\n", 24);
  testaudio::WriteFile(list, testaudio::Bytes(text.begin(), text.end()));
  std::vector<std::string> paths;
  std::string error;
  EXPECT_FALSE(ReadPathList(list, false, paths, error));
  EXPECT_NE(error.find("invalid line 2"), std::string::npos) << error;
  EXPECT_TRUE(paths.empty());
  error.clear();
  EXPECT_TRUE(ReadPathList(list, true, paths, error)) << error;
  EXPECT_EQ(paths, (std::vector<std::string>{"a.mp3\nb.mp3", ".wav\nc.mp3\n"}));
}

TEST(ProgressTest, TextsUseAPointAndCountEverything) {
  EXPECT_EQ(FormatTenths(12.34), "12.3");
  EXPECT_EQ(FormatTenths(0.05), "0.1");
  EXPECT_EQ(ProgressText(5, 20, 2.0), "5/20 files, 2.0 s, 2.5 files/s, about 6 s left");
  EXPECT_EQ(ProgressText(0, 20, 2.0), "0/20 files, 2.0 s, 0.0 files/s");
  RunCounts counts{.files = 4, .analysed = 3, .noBeat = 1, .unreadable = 1, .foldersNotListed = 2, .skippedTagged = 0, .tags = {}};
  EXPECT_EQ(SummaryText(RunCounts{.files = 9, .analysed = 2, .skippedTagged = 7, .tags = {}}, 0.5),
            "9 files: 2 analysed (0 without a beat), 0 unreadable, 7 skipped as already tagged, 0.5 s");
  EXPECT_EQ(SummaryText(counts, 1.25),
            "4 files: 3 analysed (1 without a beat), 1 unreadable, 2 folders not listed, 1.3 s");
  counts.tags = tags::TagCounts{.dryRun = true, .written = 2, .skipped = 1, .failed = 0};
  EXPECT_EQ(SummaryText(counts, 1.25),
            "4 files: 3 analysed (1 without a beat), 1 unreadable, 2 folders not listed, "
            "tags: 2 would be written, 1 skipped, 0 failed, 1.3 s");
  counts.tags->dryRun = false;
  EXPECT_NE(SummaryText(counts, 1.25).find("tags: 2 written, 1 skipped"), std::string::npos);
}

// The time left at the pace so far: seconds rounded up, then minutes, then hours.
TEST(ProgressTest, TimeLeftFollowsThePaceSoFar) {
  const std::vector<std::tuple<size_t, size_t, double, std::string>> cases = {
      {0, 10, 5.0, ""},
      {10, 10, 5.0, ""},
      {1, 2, 0.2, "about 1 s left"},
      {3, 4, 176.9, "about 59 s left"},
      {1, 2, 59.5, "about 1 min left"},
      {12, 200, 11.5, "about 3 min left"},
      {1, 60, 60.9, "about 1 h 00 min left"},
      {1, 62, 60.0, "about 1 h 01 min left"},
      {1, 100, 100.0, "about 2 h 45 min left"},
  };
  for (const auto& [done, total, elapsed, expected] : cases) {
    EXPECT_EQ(TimeLeftText(done, total, elapsed), expected) << done << "/" << total << " in " << elapsed;
  }
}

// The step before each record (where tags are written) sees the results in list order,
// and what it reports goes into the record.
TEST(ResultWriterTest, StepBeforeEachRecordRunsInListOrder) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  ResultWriter writer(file, OutputFormat::kJsonl, Columns{.tag = true});
  std::vector<size_t> order;
  writer.SetBeforeWrite([&](size_t index, TrackResult& result) {
    order.push_back(index);
    result.tag =
        index == 1 ? tags::TagReport{} : tags::TagReport{"failed", "9" + std::to_string(index), "", "why \"not\""};
  });
  for (size_t index : {2, 1, 0}) {
    TrackResult result;
    result.path = std::to_string(index);
    writer.EmitResult(index, result);
  }
  writer.Finish();
  EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2}));
  std::rewind(file);
  char text[1024] = {};
  const std::string written(text, std::fread(text, 1, sizeof text - 1, file));
  std::fclose(file);
  EXPECT_NE(written.find("\"path\":\"0\",\"primary\":0.00,\"alternative\":0.00,\"bpm\":null,\"confidence\":null,\"raw\":[],\"status\":\"ok\","
                         "\"reason\":null,\"tag\":\"failed\",\"tag_bpm\":90,\"tag_existing\":null,"
                         "\"tag_error\":\"why \\\"not\\\"\"}"),
            std::string::npos)
      << written;
  EXPECT_NE(written.find("\"tag\":null,\"tag_bpm\":null,\"tag_existing\":null,\"tag_error\":null}"), std::string::npos)
      << written;
  // TSV and CSV: four more columns, empty for a file that was not touched.
  TrackResult untouched;
  EXPECT_EQ(FormatHeader(OutputFormat::kCsv, Columns{.tag = true}),
            "path,primary,alternative,bpm,confidence,status,reason,tag,tag_bpm,tag_existing,tag_error\r\n");
  EXPECT_EQ(FormatRecord(OutputFormat::kTsv, Columns{.tag = true}, untouched),
            "\t0.00\t0.00\t\t\t\t" + std::string(LineEnd(OutputFormat::kTsv)));
}

// On a terminal shared with the progress line: the line is cleared before each write, and
// a name's control characters are shown, not obeyed.
TEST(ResultWriterTest, OnATerminalClearsTheProgressFirstAndShowsControls) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  ResultWriter writer(file, OutputFormat::kCsv, Columns{});
  int clears = 0;
  writer.SetTerminal([&clears] { ++clears; });
  writer.Start();
  TrackResult result;
  result.path = "a\nb\x1B[2J.wav";
  writer.EmitResult(0, result);
  writer.Finish();
  EXPECT_EQ(clears, 2) << "the header and the record, not the empty final write";
  std::rewind(file);
  char text[512] = {};
  const std::string written(text, std::fread(text, 1, sizeof text - 1, file));
  std::fclose(file);
  EXPECT_NE(written.find("\r\n\"a\\x0Ab\\x1B[2J.wav\",0.00,0.00,,,ok,\r\n"), std::string::npos) << written;
}

TEST(ResultWriterTest, WritesResultsInListOrderWhateverOrderTheyArrive) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  ResultWriter writer(file, OutputFormat::kCsv, Columns{});
  writer.Start();
  auto result = [](const char* path) {
    TrackResult r;
    r.path = path;
    return r;
  };
  writer.EmitResult(2, result("c"));
  writer.EmitResult(1, result("b"));
  writer.EmitResult(0, result("a"));
  writer.EmitResult(3, result("d"));
  writer.Finish();
  EXPECT_EQ(writer.state(), ResultWriter::State::kWriting);
  std::rewind(file);
  char text[512] = {};
  const size_t length = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  const std::string expected =
      "path,primary,alternative,bpm,confidence,status,reason\r\n"
      "a,0.00,0.00,,,ok,\r\nb,0.00,0.00,,,ok,\r\nc,0.00,0.00,,,ok,\r\nd,0.00,0.00,,,ok,\r\n";
  EXPECT_EQ(std::string(text, length), expected);
}

#ifndef _WIN32
TEST(ResultWriterTest, TellsAFullDiskFromAReaderThatLeft) {
  std::FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  ResultWriter fullWriter(full, OutputFormat::kTsv, Columns{});
  fullWriter.Start();
  fullWriter.EmitResult(0, SampleResult());
  EXPECT_EQ(fullWriter.state(), ResultWriter::State::kFailed);
  EXPECT_FALSE(fullWriter.FailureText().empty());
  std::fclose(full);

  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);
  const auto previous = std::signal(SIGPIPE, SIG_IGN);
  std::FILE* pipeFile = fdopen(ends[1], "w");
  ResultWriter pipeWriter(pipeFile, OutputFormat::kTsv, Columns{});
  pipeWriter.EmitResult(0, SampleResult());
  EXPECT_EQ(pipeWriter.state(), ResultWriter::State::kReaderGone);
  std::fclose(pipeFile);
  std::signal(SIGPIPE, previous);
}
#endif

#ifndef _WIN32
// A signal that ends the tool while it copies a large file for its tag: the copy is
// removed before the process ends, whatever the signal.
struct Ending {
  int signalNumber;
  bool diesOfTheSignal;  // else it exits with the interrupted status
};

class CopyInProgressTest : public ::testing::TestWithParam<Ending> {};

TEST_P(CopyInProgressTest, IsRemovedWhenTheProcessIsToldToEnd) {
  namespace fs = std::filesystem;
  testaudio::ScratchDir dir;
  const std::string original = dir.File("large.wav");
  {
    std::FILE* file = std::fopen(original.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fseek(file, (256L << 20) - 1, SEEK_SET);
    std::fputc(1, file);
    std::fclose(file);
  }
  const pid_t child = fork();
  if (child == 0) {
    InstallInterruptHandling();
    // Copy after copy, so the signal finds one in progress; Ctrl-C's flag is not looked at.
    for (;;) {
      platform::ReplacementCopy copy;
      (void)copy.Make(original);
    }
  }
  // The first copy has begun.
  const auto started = std::chrono::steady_clock::now();
  while (platform::LeftoverCopies(platform::ContainingFolder(original)).empty() &&
         std::chrono::steady_clock::now() - started < std::chrono::seconds(20)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  kill(child, GetParam().signalNumber);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  if (GetParam().diesOfTheSignal) {
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == GetParam().signalNumber) << status;
  } else {
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kInterruptedStatus) << status;
  }
  EXPECT_EQ(platform::LeftoverCopies(platform::ContainingFolder(original)), std::vector<std::string>{});
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("")), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(Signals, CopyInProgressTest,
                         ::testing::Values(Ending{SIGTERM, true}, Ending{SIGHUP, true}, Ending{SIGINT, false}),
                         [](const ::testing::TestParamInfo<Ending>& test) {
                           return std::string(test.param.signalNumber == SIGTERM  ? "Sigterm"
                                              : test.param.signalNumber == SIGHUP ? "Sighup"
                                                                                  : "Sigint");
                         });
#endif

}  // namespace
