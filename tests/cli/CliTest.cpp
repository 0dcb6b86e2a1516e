// temposcout-cli as a user runs it: folders flat and recursive, plain files, unreadable
// files, the output formats, --range, --files-from, --raw, and the exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "Version.h"
#include "engine/EngineBinding.h"
#include "tests/TestHelpers.h"
#include "tests/cli/CliRunner.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using clitest::CliRun;
using clitest::RunCli;
using clitest::RunProgram;
using clitest::SplitTabs;
using testaudio::ScratchDir;

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// The records of an RFC 4180 text: quoted fields may hold commas, quotes and line ends.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records(1);
  std::string field;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      records.back().push_back(field);
      field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      records.back().push_back(field);
      field.clear();
      records.emplace_back();
      ++i;
    } else {
      field += c;
    }
  }
  records.pop_back();  // after the last CRLF
  return records;
}

// A flat JSON object whose values are strings, numbers, null or arrays of strings; each
// value as its decoded text (arrays joined with ';', null as "null"). Fails the test on
// anything else, so a malformed line is caught.
std::map<std::string, std::string> ParseJsonObject(const std::string& line) {
  std::map<std::string, std::string> object;
  size_t i = 0;
  auto expect = [&](char c) {
    EXPECT_LT(i, line.size()) << line;
    EXPECT_EQ(line[i], c) << "at " << i << " of " << line;
    ++i;
  };
  auto readString = [&]() {
    std::string text;
    expect('"');
    while (i < line.size() && line[i] != '"') {
      const auto c = static_cast<unsigned char>(line[i++]);
      EXPECT_GE(c, 0x20) << "raw control character in " << line;
      if (c != '\\') {
        text += static_cast<char>(c);
        continue;
      }
      const char escape = line[i++];
      const std::string simple = "\"\\/bfnrt";
      const std::string meaning = "\"\\/\b\f\n\r\t";
      if (escape == 'u') {
        const unsigned code = static_cast<unsigned>(std::stoul(line.substr(i, 4), nullptr, 16));
        i += 4;
        EXPECT_LT(code, 0x80u) << "only ASCII escapes expected";
        text += static_cast<char>(code);
      } else {
        EXPECT_NE(simple.find(escape), std::string::npos) << line;
        text += meaning[simple.find(escape)];
      }
    }
    expect('"');
    return text;
  };
  expect('{');
  while (i < line.size() && line[i] != '}') {
    const std::string key = readString();
    expect(':');
    std::string value;
    if (line[i] == '"') {
      value = readString();
    } else if (line[i] == '[') {
      ++i;
      for (int element = 0; i < line.size() && line[i] != ']'; ++element) {
        if (line[i] == ',') ++i;
        value += (element == 0 ? "" : ";") + readString();
      }
      expect(']');
    } else {
      const size_t end = line.find_first_of(",}", i);
      value = line.substr(i, end - i);
      i = end;
    }
    object[key] = value;
    if (line[i] == ',') ++i;
  }
  expect('}');
  EXPECT_EQ(i, line.size()) << line;
  return object;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.File("music/deeper"));
    testaudio::WriteClickWav(Music("beat120.wav"), {.periodMs = 500.0});
    testaudio::WriteClickWav(Music("deeper/beat100.WAV"), {.periodMs = 600.0});
    testaudio::WriteClickWav(dir_.File("silence.wav"), {.seconds = 5.0, .noiseAmplitude = 0, .clicks = false});
    std::ofstream(Music("readme.txt")) << "not audio";
    std::ofstream(Music("broken.mp3")) << "not audio either";
  }
  // A path inside the music folder, with the system's separators.
  std::string Music(const std::string& name = std::string()) const {
    std::string path = dir_.File("music");
    if (!name.empty()) path += kSeparator + name;
    for (char& c : path) c = c == '/' ? kSeparator : c;
    return path;
  }

  ScratchDir dir_;
};

TEST_F(CliTest, FolderGivesOneLinePerAudioFileWithBothTempi) {
  const CliRun run = RunCli({Music()});
  // broken.mp3 is listed but cannot be decoded: 0.00 0.00, a reason, and status 1.
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.Lines().size(), 2u) << run.errors;
  for (const std::string& line : run.Lines()) {
    const std::vector<std::string> fields = SplitTabs(line);
    ASSERT_EQ(fields.size(), 3u) << line;
    if (fields[0] == Music("beat120.wav")) {
      // One chunk is about 2.5 ms: 500 ms may read as up to 502 ms (119.52 BPM).
      EXPECT_NEAR(std::stod(fields[1]), 120.0, 0.5) << line;
      EXPECT_EQ(fields[2], "0.00") << line;
    } else {
      EXPECT_EQ(fields[0], Music("broken.mp3"));
      EXPECT_EQ(fields[1], "0.00");
      EXPECT_EQ(fields[2], "0.00");
    }
  }
  EXPECT_NE(run.errors.find("broken.mp3"), std::string::npos) << run.errors;
  EXPECT_EQ(run.errors.find("beat120"), std::string::npos) << run.errors;
  // The closing summary counts the files.
  EXPECT_NE(run.errors.find("2 files: 1 analysed (0 without a beat), 1 unreadable"), std::string::npos) << run.errors;
}

TEST_F(CliTest, FolderScansTakeEveryDecodedExtensionUnlessLimited) {
  for (const char* name : {"take.flac", "take.OGG", "take.m4a", "take.txt", "take.flac.bak"}) {
    std::ofstream(Music(name)) << "not audio";
  }
  const CliRun all = RunCli({Music()});
  std::vector<std::string> listed;
  for (const std::string& line : all.Lines()) listed.push_back(SplitTabs(line)[0]);
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (std::vector<std::string>{Music("beat120.wav"), Music("broken.mp3"), Music("take.OGG"),
                                              Music("take.flac"), Music("take.m4a")}));
  EXPECT_NE(all.errors.find("take.flac: not an audio file that can be decoded"), std::string::npos) << all.errors;
  EXPECT_NE(all.errors.find("5 files: 1 analysed"), std::string::npos) << all.errors;

  const CliRun limited = RunCli({"--extensions", "wav,flac", Music()});
  EXPECT_EQ(limited.Lines().size(), 2u) << limited.out;
  EXPECT_NE(limited.errors.find("2 files: 1 analysed"), std::string::npos) << limited.errors;
  // A file named on the command line is tried whatever its extension.
  const CliRun named = RunCli({"--extensions", "mp3", Music("take.txt")});
  EXPECT_EQ(named.Lines().size(), 1u) << named.out;
}

TEST_F(CliTest, RecursiveScanIncludesSubFoldersAfterTheFolderItself) {
  const CliRun run = RunCli({"--recursive", Music("beat120.wav"), Music()});
  const std::vector<std::string> lines = run.Lines();
  ASSERT_EQ(lines.size(), 4u) << run.errors;
  EXPECT_EQ(SplitTabs(lines[0])[0], Music("beat120.wav"));
  EXPECT_EQ(SplitTabs(lines[3])[0], Music("deeper") + kSeparator + "beat100.WAV");
  EXPECT_NEAR(std::stod(SplitTabs(lines[3])[1]), 100.0, 0.5) << lines[3];
}

// Folders list by name in byte order of the UTF-8 names, whatever order the system gives.
TEST_F(CliTest, FoldersAreListedByName) {
  std::filesystem::create_directories(dir_.File("named/sub"));
  // Names apart also where case does not count; the accented one renamed to through its
  // wide name, so the tool lists it in its own code page on Windows too.
  for (const char* name : {"named/c.wav", "named/sub/a.wav", "named/B.wav", "named/plain", "named/a.wav"}) {
    std::ofstream(dir_.File(name)) << "not audio";
  }
  std::filesystem::rename(dir_.File("named/plain"), std::filesystem::path(dir_.File("named")) / u8"\u00e9.wav");
  std::string named = dir_.File("named");
  for (char& c : named) c = c == '/' ? kSeparator : c;
  const CliRun run = RunCli({"-rq", named});
  std::vector<std::string> paths;
  for (const std::string& line : run.Lines()) paths.push_back(SplitTabs(line)[0]);
  const std::string folder = named + kSeparator;
  EXPECT_EQ(paths, (std::vector<std::string>{folder + "B.wav", folder + "a.wav", folder + "c.wav",
                                             folder + "\xC3\xA9.wav", folder + "sub" + kSeparator + "a.wav"}));
}

// --excel: a byte-order mark, then CSV that python's csv module reads back with the names
// intact; =semicolon separates with ; and writes the decimal comma.
TEST_F(CliTest, ExcelCsvReadsBackInPython) {
  // The odd name in a folder of its own: the tool lists it, so no 8-bit argument carries it.
#ifdef _WIN32
  const char8_t* odd = u8"odd; name, \u00e9.wav";
#else
  const char8_t* odd = u8"odd; \"name\", \u00e9.wav";
#endif
  std::filesystem::create_directories(dir_.File("excel"));
  testaudio::WriteClickWav(dir_.File("plain.wav"), {.periodMs = 400.0});
  std::filesystem::rename(dir_.File("plain.wav"), std::filesystem::path(dir_.File("excel")) / odd);
  std::string folder = dir_.File("excel");
  for (char& c : folder) c = c == '/' ? kSeparator : c;
  const CliRun tsv = RunCli({"--status", "--confidence", folder, Music("broken.mp3")});
  const CliRun comma = RunCli({"--excel", folder, Music("broken.mp3")});
  const CliRun semicolon = RunCli({"--excel=semicolon", folder, Music("broken.mp3")});
  ASSERT_EQ(tsv.Lines().size(), 2u) << tsv.errors;
  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_EQ(comma.out.rfind(bom + "path,primary,alternative,bpm,confidence,status,reason\r\n", 0), 0u) << comma.out;
  EXPECT_EQ(semicolon.out.rfind(bom + "path;primary;alternative;bpm;confidence;status;reason\r\n", 0), 0u) << semicolon.out;
  if (!testaudio::HaveTool("python3")) GTEST_SKIP() << "needs python3";

  // Python's csv module reads back what the TSV run says (no field here holds a tab),
  // with the decimal comma after =semicolon.
  std::ofstream(dir_.File("read.py")) << "import csv, sys\n"
                                         "for row in csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline=''),"
                                         " delimiter=sys.argv[2]): print('\\t'.join(row))\n";
  std::vector<std::string> expected = {"path\tprimary\talternative\tbpm\tconfidence\tstatus\treason"};
  for (const std::string& line : tsv.Lines()) expected.push_back(line);
  for (const auto& [run, separator] : {std::pair(&comma, ","), std::pair(&semicolon, ";")}) {
    std::ofstream(dir_.File("excel.csv"), std::ios::binary) << run->out;
    EXPECT_EQ(RunProgram(testaudio::kPython, {dir_.File("read.py"), dir_.File("excel.csv"), separator}).Lines(),
              expected);
    // 150.38 and 0.00 become 150,38 and 0,00 for the second run, and so do bpm and confidence.
    for (size_t row = 1; row < expected.size(); ++row) {
      std::vector<std::string> fields = SplitTabs(expected[row]);
      // The tempi and the confidence; an empty one (no bpm) stays empty.
      for (size_t i : {1, 2, 3, 4}) {
        if (const size_t point = fields[i].find_first_of(".,"); point != std::string::npos) fields[i][point] = ',';
      }
      expected[row] = fields[0];
      for (size_t i = 1; i < fields.size(); ++i) expected[row] += "\t" + fields[i];
    }
  }
}

TEST_F(CliTest, RawAddsTheResultOfEachPass) {
  const CliRun run = RunCli({"--raw", Music("beat120.wav"), Music("broken.mp3")});
  const std::vector<std::string> lines = run.Lines();
  ASSERT_EQ(lines.size(), 2u);
  // A primary period on the first pass: no second pass (empty). Nothing at all: two
  // passes that found nothing (-). Always five fields.
  const std::vector<std::string> found = SplitTabs(lines[0]);
  ASSERT_EQ(found.size(), 5u) << lines[0];
  EXPECT_NEAR(std::stoi(found[3]), 500, 2) << lines[0];
  EXPECT_EQ(found[3].substr(found[3].find('|')), "|0");
  EXPECT_EQ(found[4], "");
  const std::vector<std::string> broken = SplitTabs(lines[1]);
  ASSERT_EQ(broken.size(), 5u) << lines[1];
  EXPECT_EQ(broken[3], "-");
  EXPECT_EQ(broken[4], "-");
}

TEST_F(CliTest, ExitStatusTellsSuccessFailureAndMisuse) {
  EXPECT_EQ(RunCli({Music("beat120.wav")}).status, 0);
  const CliRun missing = RunCli({Music("gone.wav")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.errors.find("gone.wav"), std::string::npos);
  // A file without a beat was analysed: still success.
  EXPECT_EQ(RunCli({dir_.File("silence.wav")}).status, 0);
  const CliRun help = RunCli({"--help"});
  EXPECT_EQ(help.status, 0);
  ASSERT_FALSE(help.Lines().empty());
  EXPECT_EQ(help.Lines()[0].rfind("usage: temposcout-cli", 0), 0u);
  const CliRun version = RunCli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind(std::string("temposcout-cli ") + TEMPOSCOUT_VERSION, 0), 0u) << version.out;
}

// Usage errors: status 2, one line on standard error naming the fault and pointing to
// --help, no output.
class CliUsageTest : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(CliUsageTest, EndsWithStatusTwoAndOneLine) {
  const CliRun run = RunCli(GetParam());
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.out.empty()) << run.out;
  EXPECT_EQ(run.errors.rfind("temposcout-cli: ", 0), 0u) << run.errors;
  const size_t lineEnd = run.errors.find_first_of("\r\n");
  EXPECT_EQ(run.errors.substr(lineEnd), run.errors[lineEnd] == '\r' ? "\r\n" : "\n") << run.errors;
  EXPECT_EQ(run.errors.substr(0, lineEnd).substr(lineEnd - 13), " (see --help)") << run.errors;
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CliUsageTest,
    ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"--bogus", "x.wav"},
                      std::vector<std::string>{"-x", "x.wav"}, std::vector<std::string>{"-rx", "x.wav"},
                      std::vector<std::string>{"x.wav", "-j"}, std::vector<std::string>{"--excel=tab", "x.wav"},
                      std::vector<std::string>{"--format", "xml", "x.wav"}, std::vector<std::string>{"--format"},
                      std::vector<std::string>{"--range", "140-70", "x.wav"},
                      std::vector<std::string>{"--range=0-100", "x.wav"},
                      std::vector<std::string>{"--range", "70to140", "x.wav"},
                      std::vector<std::string>{"--raw=yes", "x.wav"}));

TEST_F(CliTest, EveryFormatCarriesTheSameFields) {
#ifdef _WIN32
  const std::string odd = dir_.File("odd, name.wav");
#else
  const std::string odd = dir_.File("odd, \"name\".wav");
#endif
  testaudio::WriteClickWav(odd, {.periodMs = 400.0});
  const std::vector<std::string> files = {Music("deeper") + kSeparator + "beat100.WAV", odd, Music("broken.mp3"),
                                          dir_.File("silence.wav")};
  auto run = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), files.begin(), files.end());
    return RunCli(arguments);
  };
  const CliRun tsv = run({"--range", "70-140", "--confidence", "--raw", "--status"});
  const CliRun csv = run({"--format", "csv", "--range", "70-140", "--raw"});
  const CliRun jsonl = run({"--format=jsonl", "--range=70-140"});
  for (const CliRun* each : {&tsv, &csv, &jsonl}) EXPECT_EQ(each->status, 1) << each->errors;

  const std::vector<std::vector<std::string>> csvRecords = ParseCsv(csv.out);
  ASSERT_EQ(csvRecords.size(), files.size() + 1) << csv.out;
  EXPECT_EQ(csvRecords[0],
            (std::vector<std::string>{"path", "primary", "alternative", "bpm", "confidence", "pass1", "pass2", "status",
                                      "reason"}));
  const std::vector<std::string> jsonLines = jsonl.Lines();
  ASSERT_EQ(jsonLines.size(), files.size());
  ASSERT_EQ(tsv.Lines().size(), files.size());

  const std::vector<std::string> statuses = {"ok", "ok", "unreadable", "no-beat"};
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i]);
    const std::vector<std::string> fields = SplitTabs(tsv.Lines()[i]);
    EXPECT_EQ(fields, csvRecords[i + 1]);
    ASSERT_EQ(fields.size(), 9u);
    EXPECT_EQ(fields[0], files[i]);
    EXPECT_EQ(fields[7], statuses[i]);
    EXPECT_EQ(fields[8].empty(), statuses[i] == "ok") << fields[8];

    std::map<std::string, std::string> object = ParseJsonObject(jsonLines[i]);
    EXPECT_EQ(object["path"], fields[0]);
    EXPECT_EQ(object["primary"], fields[1]);
    EXPECT_EQ(object["alternative"], fields[2]);
    EXPECT_EQ(object["bpm"], fields[3].empty() ? "null" : fields[3]);
    EXPECT_EQ(object["confidence"], fields[4].empty() ? "null" : fields[4]);
    EXPECT_EQ(object["status"], fields[7]);
    EXPECT_EQ(object["reason"], fields[8].empty() ? "null" : fields[8]);
    // Raw: the passes that ran, "" for a pass that found nothing.
    std::string passes = fields[5] == "-" ? "" : fields[5];
    if (!fields[6].empty()) passes += ";" + (fields[6] == "-" ? "" : fields[6]);
    EXPECT_EQ(object["raw"], passes);
    // A confidence is a number from 0 to 1 with three decimals; none for a file never read.
    if (statuses[i] == "unreadable") {
      EXPECT_EQ(fields[4], "");
    } else {
      ASSERT_EQ(fields[4].size(), 5u) << fields[4];
      EXPECT_GE(std::stod(fields[4]), 0.0);
      EXPECT_LE(std::stod(fields[4]), 1.0);
    }
  }
  // bpm is the whole-track estimate: 100 BPM lies in 70-140 and is kept, 150 BPM is
  // halved; a file without a tempo has none, and confidence 0.
  EXPECT_NEAR(std::stod(SplitTabs(tsv.Lines()[0])[3]), 100.0, 1.0);
  EXPECT_NEAR(std::stod(SplitTabs(tsv.Lines()[1])[3]), 75.0, 0.75);
  EXPECT_EQ(SplitTabs(tsv.Lines()[3])[3], "");
  EXPECT_EQ(SplitTabs(tsv.Lines()[3])[4], "0.000");
}

// Without a range, bpm is the estimate as it is, in every format; TSV carries it only
// with --range or --confidence, so its plain three columns stay as they were.
TEST_F(CliTest, BpmAndConfidenceAppearInEachFormat) {
  const std::string file = Music("beat120.wav");
  struct Case {
    std::vector<std::string> arguments;
    size_t bpmField;  // 0: no bpm
    size_t confidenceField;
    size_t fieldCount;
  };
  for (const Case& c : {Case{{}, 0, 0, 3}, Case{{"--confidence"}, 3, 4, 5}, Case{{"--range=60-90"}, 3, 0, 4},
                        Case{{"--confidence", "--status"}, 3, 4, 7}, Case{{"--format", "csv"}, 3, 4, 7}}) {
    std::vector<std::string> arguments = c.arguments;
    arguments.push_back(file);
    SCOPED_TRACE(arguments.front());
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.status, 0) << run.errors;
    const bool csv = !c.arguments.empty() && c.arguments.front() == "--format";
    ASSERT_EQ(run.Lines().size(), csv ? 2u : 1u) << run.out;
    std::vector<std::string> fields = SplitTabs(run.Lines().back());
    if (csv) {
      EXPECT_EQ(run.Lines().front(), "path,primary,alternative,bpm,confidence,status,reason");
      fields = ParseCsv(run.out).back();
    }
    ASSERT_EQ(fields.size(), c.fieldCount) << run.out;
    // 120 folds to 60 in 60-90.
    const double expected = c.arguments == std::vector<std::string>{"--range=60-90"} ? 60.0 : 120.0;
    if (c.bpmField != 0) {
      EXPECT_NEAR(std::stod(fields[c.bpmField]), expected, expected / 100);
    }
    if (c.confidenceField != 0) {
      EXPECT_GT(std::stod(fields[c.confidenceField]), 0.0);
    }
  }
  const std::map<std::string, std::string> object = ParseJsonObject(RunCli({"--format=jsonl", file}).Lines().at(0));
  EXPECT_NEAR(std::stod(object.at("bpm")), 120.0, 1.2);
  EXPECT_GT(std::stod(object.at("confidence")), 0.0);
}

TEST_F(CliTest, RangeDoublesHalvesOrLeavesTheValueEmpty) {
  const std::string file100 = Music("deeper") + kSeparator + "beat100.WAV";
  struct Case {
    const char* range;
    double factor;  // of the file's 100 BPM; 0 for no value
  };
  for (const Case& c : {Case{"90-110", 1.0}, Case{"160-220", 2.0}, Case{"30-60", 0.5}, Case{"101-190", 0.0},
                        Case{"103-104", 0.0}}) {
    SCOPED_TRACE(c.range);
    const CliRun run = RunCli({"--range", c.range, file100});
    ASSERT_EQ(run.Lines().size(), 1u) << run.errors;
    const std::vector<std::string> fields = SplitTabs(run.Lines()[0]);
    ASSERT_EQ(fields.size(), 4u);
    if (c.factor == 0.0) {
      EXPECT_EQ(fields[3], "");
    } else {
      // The estimate of a click track is within 1 %, folded by whole octaves.
      EXPECT_NEAR(std::stod(fields[3]), 100.0 * c.factor, c.factor);
    }
    // Primary and alternative are never changed by a range.
    EXPECT_EQ(SplitTabs(RunCli({file100}).Lines()[0]), std::vector<std::string>(fields.begin(), fields.begin() + 3));
  }
}

TEST_F(CliTest, FilesFromReadsAListFileOrStandardInput) {
  const std::string listFile = dir_.File("list.txt");
  // CRLF line ends and an empty line; the paths on the command line come first.
  std::ofstream(listFile, std::ios::binary) << Music("broken.mp3") << "\r\n\r\n" << Music("beat120.wav") << "\r\n";
  const CliRun fromFile = RunCli({"--files-from", listFile, dir_.File("silence.wav")});
  ASSERT_EQ(fromFile.Lines().size(), 3u) << fromFile.errors;
  EXPECT_EQ(SplitTabs(fromFile.Lines()[0])[0], dir_.File("silence.wav"));
  EXPECT_EQ(SplitTabs(fromFile.Lines()[1])[0], Music("broken.mp3"));
  EXPECT_EQ(SplitTabs(fromFile.Lines()[2])[0], Music("beat120.wav"));

  // NUL-separated on standard input, folders expanded as on the command line.
  const std::string list = Music("beat120.wav") + '\0' + Music() + '\0';
  const CliRun fromInput = RunCli({"-0", "--files-from", "-"}, list);
  ASSERT_EQ(fromInput.Lines().size(), 3u) << fromInput.errors;
  EXPECT_EQ(SplitTabs(fromInput.Lines()[0])[0], Music("beat120.wav"));
  EXPECT_EQ(fromInput.status, 1);

  // An empty list is no error; a missing list file is.
  EXPECT_EQ(RunCli({"--files-from", "-"}).status, 0);
  const CliRun missing = RunCli({"--files-from", dir_.File("nothing.txt")});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.errors.find("nothing.txt"), std::string::npos);
}

TEST_F(CliTest, QuietLeavesStandardErrorToErrors) {
  EXPECT_EQ(RunCli({"--quiet", Music("beat120.wav")}).errors, "");
  const CliRun broken = RunCli({"-q", Music("broken.mp3")});
  EXPECT_NE(broken.errors.find("broken.mp3"), std::string::npos);
  EXPECT_EQ(broken.errors.find("files:"), std::string::npos) << broken.errors;
}

TEST_F(CliTest, PathsAreWrittenInUtf8) {
  // Created through the wide name, listed by the tool in its own code page.
  const std::filesystem::path folder = std::filesystem::path(dir_.File("accents"));
  std::filesystem::create_directories(folder);
  const std::filesystem::path name = folder / std::filesystem::path(u8"caf\u00e9 \u266b.wav");
  testaudio::WriteClickWav(dir_.File("plain.wav"), {.periodMs = 500.0, .seconds = 5.0});
  std::filesystem::rename(dir_.File("plain.wav"), name);
  for (const char* format : {"tsv", "csv"}) {
    const CliRun run = RunCli({"--format", format, folder.string()});
    ASSERT_FALSE(run.Lines().empty()) << run.errors;
    const std::string expected = folder.string() + kSeparator + "caf\xC3\xA9 \xE2\x99\xAB.wav";
    EXPECT_NE(run.out.find(expected), std::string::npos) << run.out;
  }
}

TEST_F(CliTest, MissingEngineLibraryIsNamedOnceWithStatusThree) {
  // The program alone in a folder: the engine libraries beside it are missing.
  const std::string lonely = dir_.File(std::filesystem::path(clitest::CliProgram()).filename().string());
  std::filesystem::copy_file(clitest::CliProgram(), lonely);
  // Libraries the program is linked with (TagLib's DLL on Windows) start with it and stay
  // beside it; only the engine libraries, loaded by name at run time, are missing.
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(clitest::CliProgram()).parent_path())) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".dll" && name != engine::kEngineLibraryName &&
        name != engine::kEngineFxLibraryName) {
      std::filesystem::copy_file(entry.path(), dir_.File(name));
    }
  }
  const CliRun run = clitest::RunProgram(lonely, {Music("beat120.wav"), Music("broken.mp3")});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.out, "");
  const size_t named = run.errors.find(engine::kEngineLibraryName);
  ASSERT_NE(named, std::string::npos) << run.errors;
  EXPECT_EQ(run.errors.find(engine::kEngineLibraryName, named + 1), std::string::npos) << run.errors;
  EXPECT_EQ(run.errors.find("beat120"), std::string::npos) << run.errors;
  EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
}

#ifdef _WIN32
TEST_F(CliTest, FolderPathTooLongForTheSystemIsReportedAndFails) {
  // Made through the wide functions' long-path form; the tool lists with the ANSI ones,
  // which stop at MAX_PATH characters.
  std::wstring deep = L"\\\\?\\" + std::filesystem::path(dir_.File("tree")).wstring();
  ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  for (int level = 0; level < 3; ++level) {
    deep += L"\\" + std::wstring(120, L'd');
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  }
  std::filesystem::copy_file(Music("beat120.wav"), dir_.File("tree") + "\\beat.wav");
  const CliRun run = RunCli({"--recursive", dir_.File("tree")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.Lines().size(), 1u) << run.out;
  EXPECT_NE(run.errors.find("cannot list the folder"), std::string::npos) << run.errors;
  for (; deep.size() > 130; deep.resize(deep.rfind(L'\\'))) RemoveDirectoryW(deep.c_str());
}

TEST_F(CliTest, ReaderClosingThePipeEndsTheToolQuietly) {
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &security, 0));
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  const std::string errorsPath = dir_.File("errors.txt");
  HANDLE errors = CreateFileA(errorsPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &security, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  std::string commandLine = "temposcout-cli.exe";
  for (int i = 0; i < 8; ++i) commandLine += " \"" + Music("beat120.wav") + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = errors;
  PROCESS_INFORMATION process{};
  const std::string program = clitest::CliProgram();
  ASSERT_TRUE(CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                             &process));
  CloseHandle(writeEnd);
  CloseHandle(errors);
  // Read the first line, then go away as `head -n 1` does.
  std::string firstLine;
  char c = 0;
  DWORD count = 0;
  while (firstLine.find('\n') == std::string::npos && ReadFile(readEnd, &c, 1, &count, nullptr) && count == 1) {
    firstLine += c;
  }
  CloseHandle(readEnd);
  const DWORD waited = WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_NE(firstLine.find("beat120.wav"), std::string::npos) << firstLine;
  EXPECT_EQ(code, 141u);
  std::ifstream errorText(errorsPath);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(errorText), std::istreambuf_iterator<char>()), "");
}
#endif

}  // namespace
