// temposcout-cli writing BPM tags: the value written, skipped, overwritten, dry runs, read-only
// files and files without a tempo, as every output format reports them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "tags/BpmTag.h"
#include "tests/TestHelpers.h"
#include "tests/cli/CliRunner.h"

namespace {

using clitest::CliRun;
using clitest::RunCli;
using clitest::SplitTabs;
using testaudio::Bytes;
using testaudio::kPython;
using testaudio::ScratchDir;
using testaudio::SetReadOnly;

// Sets a file's BPM frame, or prints it ("none" without one), through mutagen.
constexpr const char* kMutagenScript = R"(import sys
from mutagen.id3 import ID3, ID3NoHeaderError, TBPM
from mutagen.wave import WAVE
command, path = sys.argv[1], sys.argv[2]
if path.lower().endswith('.wav'):
    f = WAVE(path)
    if f.tags is None: f.add_tags()
    tags = f.tags
else:
    try: tags = ID3(path)
    except ID3NoHeaderError: tags = ID3()
if command == 'set':
    tags.add(TBPM(encoding=0, text=[sys.argv[3]]))
    f.save() if path.lower().endswith('.wav') else tags.save(path)
else:
    print(tags['TBPM'].text[0] if 'TBPM' in tags else 'none')
)";

// The four tag fields at the end of a line, tab-separated.
std::vector<std::string> TagFields(const std::string& line) {
  const std::vector<std::string> fields = SplitTabs(line);
  return fields.size() >= 4 ? std::vector<std::string>(fields.end() - 4, fields.end()) : fields;
}

// One folder of WAV click tracks, each showing one way a tag can go.
struct TagFolder {
  explicit TagFolder(const ScratchDir& dir, const std::string& name) {
    std::filesystem::create_directories(dir.File(name));
    const auto file = [&](const char* leaf) { return (std::filesystem::path(dir.File(name)) / leaf).string(); };
    fresh = file("fresh.wav");
    tagged = file("tagged.wav");
    silent = file("silent.wav");
    locked = file("locked.wav");
    testaudio::WriteClickWav(fresh, {.periodMs = 500.0, .seconds = 8.0});
    testaudio::WriteClickWav(tagged, {.periodMs = 600.0, .seconds = 8.0});
    testaudio::WriteClickWav(silent, {.seconds = 5.0, .noiseAmplitude = 0, .clicks = false});
    testaudio::WriteClickWav(locked, {.periodMs = 500.0, .seconds = 8.0});
    EXPECT_EQ(tags::WriteBpmTag(tagged, 93, {}).outcome, tags::BpmTagOutcome::Written);
    SetReadOnly(locked, true);
  }
  ~TagFolder() { SetReadOnly(locked, false); }
  std::vector<std::string> Files() const { return {fresh, tagged, silent, locked}; }
  std::string fresh, tagged, silent, locked;
};

// The same files in three folders, each run in one format: every format reports the same
// outcome for each file, and only the fresh file changes.
TEST(CliTagTest, EveryFormatReportsEachOutcome) {
  ScratchDir dir;
  const TagFolder tsvFiles(dir, "tsv"), csvFiles(dir, "csv"), jsonFiles(dir, "jsonl");
  const Bytes silentBefore = testaudio::ReadFile(tsvFiles.silent);
  const Bytes lockedBefore = testaudio::ReadFile(tsvFiles.locked);
  const auto run = [](const TagFolder& folder, std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), {"--write-tag", "--range", "70-140"});
    for (const std::string& file : folder.Files()) arguments.push_back(file);
    return RunCli(arguments);
  };
  const CliRun tsv = run(tsvFiles, {"--status"});
  const CliRun csv = run(csvFiles, {"--format", "csv"});
  const CliRun jsonl = run(jsonFiles, {"--format", "jsonl"});

  // written 120 (a 500 ms beat), skipped keeping 93 (100 would be written), the silent file
  // untouched, the read-only one failed.
  const std::vector<std::vector<std::string>> expected = {{"written", "120", "", ""},
                                                          {"skipped-existing", "100", "93", ""},
                                                          {"", "", "", ""},
                                                          {"failed", "120", "", "read-only file"}};
  for (const CliRun* each : {&tsv, &csv, &jsonl}) {
    EXPECT_EQ(each->status, 1) << each->errors;
    EXPECT_NE(each->errors.find("locked.wav: cannot write the BPM tag: read-only file"), std::string::npos)
        << each->errors;
    EXPECT_NE(each->errors.find("tags: 1 written, 1 skipped, 1 failed"), std::string::npos) << each->errors;
  }
  ASSERT_EQ(tsv.Lines().size(), 4u) << tsv.errors;
  ASSERT_EQ(csv.Lines().size(), 5u) << csv.errors;
  ASSERT_EQ(jsonl.Lines().size(), 4u) << jsonl.errors;
  EXPECT_EQ(csv.Lines()[0], "path,primary,alternative,bpm,confidence,status,reason,tag,tag_bpm,tag_existing,tag_error");
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(tsvFiles.Files()[i]);
    EXPECT_EQ(TagFields(tsv.Lines()[i]), expected[i]);
    // No field here needs quoting: the CSV record is the TSV one with commas.
    std::string csvLine = csv.Lines()[i + 1];
    std::replace(csvLine.begin(), csvLine.end(), ',', '\t');
    EXPECT_EQ(TagFields(csvLine), expected[i]);
    const auto json = [](const std::string& text, bool number) {
      return text.empty() ? std::string("null") : number ? text : "\"" + text + "\"";
    };
    const std::string jsonTag =
        ",\"tag\":" + json(expected[i][0], false) + ",\"tag_bpm\":" + json(expected[i][1], true) +
        ",\"tag_existing\":" + json(expected[i][2], false) + ",\"tag_error\":" + json(expected[i][3], false) + "}";
    const std::string line = jsonl.Lines()[i];
    EXPECT_EQ(line.size() >= jsonTag.size() ? line.substr(line.size() - jsonTag.size()) : line, jsonTag);
  }
  for (const TagFolder* folder : {&tsvFiles, &csvFiles, &jsonFiles}) {
    EXPECT_EQ(tags::ReadBpmTag(folder->fresh).bpm, "120");
    EXPECT_EQ(tags::ReadBpmTag(folder->tagged).bpm, "93");
    EXPECT_EQ(testaudio::ReadFile(folder->silent), silentBefore);
    EXPECT_EQ(testaudio::ReadFile(folder->locked), lockedBefore);
  }

  // --overwrite replaces the existing value and reports it.
  const CliRun overwrite = RunCli({"--write-tag", "--overwrite", "--range", "70-140", tsvFiles.tagged});
  EXPECT_EQ(overwrite.status, 0) << overwrite.errors;
  ASSERT_EQ(overwrite.Lines().size(), 1u);
  const std::vector<std::string> fields = SplitTabs(overwrite.Lines()[0]);
  EXPECT_EQ(std::vector<std::string>(fields.begin() + 4, fields.end()),
            (std::vector<std::string>{"written", "100", "93", ""}));
  EXPECT_EQ(tags::ReadBpmTag(tsvFiles.tagged).bpm, "100");
}

// A dry run shows what would be written and changes no byte; a value outside a narrow
// range leaves the file untouched.
TEST(CliTagTest, DryRunsAndFilesWithoutAValueChangeNothing) {
  ScratchDir dir;
  const TagFolder files(dir, "music");
  std::vector<Bytes> before;
  for (const std::string& file : files.Files()) before.push_back(testaudio::ReadFile(file));

  std::vector<std::string> arguments = {"--write-tag", "--dry-run", "--overwrite", "--range=70-140"};
  arguments.insert(arguments.end(), {files.fresh, files.tagged, files.silent});
  const CliRun dry = RunCli(arguments);
  EXPECT_EQ(dry.status, 0) << dry.errors;
  ASSERT_EQ(dry.Lines().size(), 3u) << dry.errors;
  EXPECT_EQ(SplitTabs(dry.Lines()[0])[4], "would-write");
  EXPECT_EQ(SplitTabs(dry.Lines()[1])[4], "would-write");
  EXPECT_EQ(SplitTabs(dry.Lines()[1])[6], "93");
  EXPECT_EQ(SplitTabs(dry.Lines()[2])[4], "");
  EXPECT_NE(dry.errors.find("tags: 2 would be written, 0 skipped, 0 failed"), std::string::npos) << dry.errors;

  // 120 BPM has no value in 100.5-100.6.
  const CliRun nowhere = RunCli({"--write-tag", "--range", "100.5-100.6", files.fresh});
  EXPECT_EQ(nowhere.status, 0) << nowhere.errors;
  ASSERT_EQ(nowhere.Lines().size(), 1u);
  EXPECT_EQ(SplitTabs(nowhere.Lines()[0]),
            (std::vector<std::string>{files.fresh, SplitTabs(dry.Lines()[0])[1], "0.00", "", "", "", "", ""}));
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(testaudio::ReadFile(files.Files()[i]), before[i]) << i;
}

// A copy a killed run left behind is named on standard error and kept; the file beside it
// is tagged as usual.
TEST(CliTagTest, LeftoverCopiesAreReportedAndKept) {
  ScratchDir dir;
  const TagFolder files(dir, "music");
  const std::string leftover =
      (std::filesystem::path(files.fresh).parent_path() / ".fresh.wav.temposcout-Ab12Cd").string();
  testaudio::WriteFile(leftover, {1, 2, 3});
  const CliRun run = RunCli({"--write-tag", "--range=70-140", files.fresh});
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_NE(run.errors.find(leftover + ": a copy left by an interrupted tag write"), std::string::npos) << run.errors;
  EXPECT_EQ(testaudio::ReadFile(leftover), (Bytes{1, 2, 3}));
  EXPECT_EQ(tags::ReadBpmTag(files.fresh).bpm, "120");
}

// Windows: the tool runs from a folder without TagLib's DLL, and only --write-tag stops,
// naming it.
TEST(CliTagTest, WithoutTheTagLibraryOnlyWritingTagsStops) {
#ifdef _WIN32
  namespace fs = std::filesystem;
  ScratchDir dir;
  const fs::path program = fs::path(clitest::CliProgram());
  for (const fs::directory_entry& entry : fs::directory_iterator(program.parent_path())) {
    const std::string name = entry.path().filename().string();
    if (name != "libtag.dll" && (entry.path().extension() == ".dll" || entry.path() == program)) {
      fs::copy_file(entry.path(), fs::path(dir.File(name)));
    }
  }
  const std::string copy = dir.File(program.filename().string());
  const std::string beat = dir.File("beat.wav");
  testaudio::WriteClickWav(beat, {.periodMs = 500.0, .seconds = 8.0});
  const Bytes before = testaudio::ReadFile(beat);
  EXPECT_EQ(clitest::RunProgram(copy, {"--version"}).status, 0);
  const CliRun analysed = clitest::RunProgram(copy, {beat});
  EXPECT_EQ(analysed.status, 0) << analysed.errors;
  EXPECT_EQ(analysed.Lines().size(), 1u);
  const CliRun tagging = clitest::RunProgram(copy, {"--write-tag", "--range=70-140", beat});
  EXPECT_EQ(tagging.status, 3);
  EXPECT_NE(tagging.errors.find("--write-tag needs libtag.dll"), std::string::npos) << tagging.errors;
  EXPECT_EQ(testaudio::ReadFile(beat), before);
#else
  GTEST_SKIP() << "TagLib is loaded on first use only on Windows";
#endif
}

TEST(CliTagTest, MisuseSaysWhatIsMissing) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--min-confidence", "0.5", "x.wav"}, "--min-confidence needs --write-tag"},
      {{"--dry-run", "--range", "70-140", "x.wav"}, "--dry-run needs --write-tag"},
      {{"--overwrite", "x.wav"}, "--overwrite needs --write-tag"},
      {{"--write-tag=yes", "--range", "70-140", "x.wav"}, "takes no value"}};
  for (const auto& [arguments, message] : cases) {
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.status, 2) << message;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.errors.find(message), std::string::npos) << run.errors;
  }
}

// A BPM frame that is not a tempo counts as no tag: replaced without --overwrite, and the
// record says what it held. --skip-tagged leaves out only the files with a tempo in it.
TEST(CliTagTest, BpmThatIsNoTempoIsReplacedAndOnlyTempiAreSkipped) {
  ScratchDir dir;
  // The BPM written first (0: none), then each file's tag fields in a --skip-tagged run.
  const std::vector<std::pair<int, std::vector<std::string>>> cases = {{0, {"written", "120", "", ""}},
                                                                       {10, {"written", "120", "10", ""}},
                                                                       {500, {"written", "120", "500", ""}},
                                                                       {93, {"skipped-tagged", "", "93", ""}}};
  std::vector<std::string> arguments = {"--skip-tagged", "--write-tag", "--min-confidence", "0", "--range", "70-140", "--status"};
  for (const auto& [tagged, fields] : cases) {
    arguments.push_back(dir.File("bpm" + std::to_string(tagged) + ".wav"));
    testaudio::WriteClickWav(arguments.back(), {.periodMs = 500.0, .seconds = 6.0});
    if (tagged != 0) {
      ASSERT_EQ(tags::WriteBpmTag(arguments.back(), tagged, {}).outcome, tags::BpmTagOutcome::Written);
    }
  }
  const CliRun run = RunCli(arguments);
  EXPECT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(run.Lines().size(), cases.size()) << run.errors;
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(TagFields(run.Lines()[i]), cases[i].second) << i;
  // Not analysed: no tempi, no bpm, and the status says why.
  EXPECT_EQ(SplitTabs(run.Lines()[3])[1] + SplitTabs(run.Lines()[3])[3] + SplitTabs(run.Lines()[3])[4],
            "skipped-tagged");
  EXPECT_EQ(tags::ReadBpmTag(arguments.back()).bpm, "93");
  EXPECT_NE(run.errors.find("4 files: 3 analysed (0 without a beat), 0 unreadable, 1 skipped as already tagged"),
            std::string::npos)
      << run.errors;

  // The second run analyses nothing; without --write-tag the tag columns still show why.
  arguments.erase(arguments.begin() + 1, arguments.begin() + 7);
  const CliRun again = RunCli(arguments);
  ASSERT_EQ(again.Lines().size(), 4u) << again.errors;
  EXPECT_EQ(again.Lines()[1], arguments[2] + "\t\t\tskipped-tagged\t\t120\t");
  EXPECT_NE(again.errors.find("0 analysed (0 without a beat), 0 unreadable, 4 skipped"), std::string::npos)
      << again.errors;
}

// The confidence decides: at or above --min-confidence the tag is written, below it the
// file is left as it was and reported skipped-unsure with the value it would have got; a
// dry run shows the same decisions, and no range is needed.
TEST(CliTagTest, MinConfidenceWritesOrSkipsUnsure) {
  ScratchDir dir;
  const std::string file = dir.File("beat120.wav");
  testaudio::WriteClickWav(file, {.periodMs = 500.0, .seconds = 12.0});
  const CliRun measured = RunCli({"--confidence", file});
  ASSERT_EQ(measured.Lines().size(), 1u) << measured.errors;
  const std::string confidence = SplitTabs(measured.Lines()[0]).at(4);
  ASSERT_LT(std::stod(confidence), 1.0) << "a click track this short is not certain";
  // The shown confidence is rounded: a thousandth either side of it is surely below or above.
  const std::string above = std::to_string(std::stod(confidence) + 0.001);
  const std::string below = std::to_string(std::max(0.0, std::stod(confidence) - 0.001));
  struct Case {
    std::string minConfidence;  // empty: the default
    bool dryRun;
    const char* outcome;
    bool changes;
  };
  const bool defaultWrites = std::stod(confidence) >= cli::kDefaultMinConfidence;
  const std::vector<Case> cases = {
      {"0", true, "would-write", false},
      {above, true, "skipped-unsure", false},
      {"", true, defaultWrites ? "would-write" : "skipped-unsure", false},
      {above, false, "skipped-unsure", false},
      {below, false, "written", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.minConfidence + (c.dryRun ? " dry" : ""));
    const Bytes before = testaudio::ReadFile(file);
    std::vector<std::string> arguments = {"--write-tag", "--format", "jsonl"};
    if (c.dryRun) arguments.push_back("--dry-run");
    if (!c.minConfidence.empty()) arguments.insert(arguments.end(), {"--min-confidence", c.minConfidence});
    arguments.push_back(file);
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.Lines().size(), 1u) << run.errors;
    EXPECT_NE(run.Lines()[0].find(std::string("\"tag\":\"") + c.outcome + "\",\"tag_bpm\":120,\"tag_existing\":null"),
              std::string::npos)
        << run.Lines()[0];
    // An unsure file counts as skipped.
    const bool skipped = std::string(c.outcome) == "skipped-unsure";
    EXPECT_NE(run.errors.find(skipped ? "written, 1 skipped" : "written, 0 skipped"), std::string::npos) << run.errors;
    EXPECT_EQ(testaudio::ReadFile(file) != before, c.changes);
  }
  EXPECT_EQ(tags::ReadBpmTag(file).bpm, "120");
}

// Real MP3s from lame and WAVs, read back by mutagen, a reader no one here wrote.
TEST(CliTagTest, MutagenReadsTheWrittenValue) {
  if (!testaudio::HaveTool("lame") ||
      testaudio::RunCommand(std::string(kPython) + " -c 'import mutagen' 2>/dev/null")) {
    GTEST_SKIP() << "needs lame and python3-mutagen (scripts/setup.sh)";
  }
  ScratchDir dir;
  std::ofstream(dir.File("bpm.py")) << kMutagenScript;
  const std::string python = std::string(kPython) + " '" + dir.File("bpm.py") + "' ";
  const auto readBack = [&](const std::string& file) {
    std::string text;
    FILE* out = popen((python + "get '" + file + "'").c_str(), "r");
    char buffer[256];
    while (out != nullptr && fgets(buffer, sizeof buffer, out) != nullptr) text += buffer;
    if (out != nullptr) pclose(out);
    return text;
  };
  // 120 BPM doubled into 150-300, 80 BPM (750 ms) doubled into 85-170; the WAV at 100 BPM
  // stays as it is in 85-170.
  testaudio::WriteClickWav(dir.File("beat120.wav"), {.periodMs = 500.0, .seconds = 10.0});
  testaudio::WriteClickWav(dir.File("beat80.wav"), {.periodMs = 750.0, .seconds = 10.0});
  testaudio::WriteClickWav(dir.File("beat100.wav"), {.periodMs = 600.0, .seconds = 10.0});
  for (const char* name : {"beat120", "beat80"}) {
    ASSERT_EQ(testaudio::RunCommand("lame --quiet -b 128 '" + dir.File(std::string(name) + ".wav") + "' '" +
                                    dir.File(std::string(name) + ".mp3") + "'"),
              0);
  }
  const std::string mp3a = dir.File("beat120.mp3"), mp3b = dir.File("beat80.mp3"), wav = dir.File("beat100.wav");
  ASSERT_EQ(testaudio::RunCommand(python + "set '" + mp3b + "' 95"), 0);

  const CliRun doubled = RunCli({"--write-tag", "--range", "150-300", mp3a});
  EXPECT_EQ(doubled.status, 0) << doubled.errors;
  EXPECT_EQ(readBack(mp3a), "240\n");
  const CliRun run = RunCli({"--write-tag", "--range", "85-170", "--format", "jsonl", mp3b, wav});
  EXPECT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(run.Lines().size(), 2u);
  EXPECT_NE(run.Lines()[0].find("\"tag\":\"skipped-existing\",\"tag_bpm\":160,\"tag_existing\":\"95\""),
            std::string::npos)
      << run.Lines()[0];
  EXPECT_EQ(readBack(mp3b), "95\n");
  EXPECT_EQ(readBack(wav), "100\n");
  const CliRun overwrite = RunCli({"--write-tag", "--overwrite", "--range", "85-170", mp3b});
  EXPECT_EQ(overwrite.status, 0) << overwrite.errors;
  EXPECT_EQ(readBack(mp3b), "160\n");

  // What other taggers leave when they know no tempo is replaced without --overwrite.
  for (const char* left : {"0", "", "fast"}) {
    ASSERT_EQ(testaudio::RunCommand(python + "set '" + mp3b + "' '" + left + "'"), 0);
    const CliRun replaced = RunCli({"--write-tag", "--range", "85-170", "--format", "jsonl", mp3b});
    EXPECT_EQ(replaced.status, 0) << replaced.errors;
    ASSERT_EQ(replaced.Lines().size(), 1u);
    EXPECT_NE(replaced.Lines()[0].find(std::string("\"tag\":\"written\",\"tag_bpm\":160,\"tag_existing\":") +
                                       (*left == '\0' ? "null" : "\"" + std::string(left) + "\"")),
              std::string::npos)
        << replaced.Lines()[0];
    EXPECT_EQ(readBack(mp3b), "160\n");
  }
}

}  // namespace
