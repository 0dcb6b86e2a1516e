// temposcout-cli as a user runs it: folders flat and recursive, plain files, unreadable
// files, --raw, and the exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "tests/audioengine/TestAudio.h"

namespace {

using testaudio::ScratchDir;

struct CliRun {
  int status = -1;
  std::vector<std::string> lines;
  std::string errors;
};

CliRun RunCli(const std::string& arguments, const ScratchDir& dir) {
  const std::string errorsFile = dir.File("stderr.txt");
  const std::string command = std::string(TEMPOSCOUT_CLI) + " " + arguments + " 2>'" + errorsFile + "'";
  CliRun run;
  FILE* out = popen(command.c_str(), "r");
  if (out == nullptr) return run;
  char buffer[4096];
  while (fgets(buffer, sizeof buffer, out) != nullptr) {
    std::string line = buffer;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    run.lines.push_back(line);
  }
  const int raw = pclose(out);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream errors(errorsFile);
  run.errors.assign(std::istreambuf_iterator<char>(errors), std::istreambuf_iterator<char>());
  return run;
}

// A 20-second click track: 5 ms clicks every periodMs.
void WriteClicks(const std::string& path, double periodMs) {
  testaudio::WriteClickWav(path, {.periodMs = periodMs});
}

// Tempo column of a line "path\tprimary\talternative..."
std::string Column(const std::string& line, int index) {
  size_t start = 0;
  for (int i = 0; i < index; ++i) start = line.find('\t', start) + 1;
  return line.substr(start, line.find('\t', start) - start);
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.File("music/deeper"));
    WriteClicks(dir_.File("music/beat120.wav"), 500.0);         // 120 BPM
    WriteClicks(dir_.File("music/deeper/beat100.WAV"), 600.0);  // 100 BPM
    std::ofstream(dir_.File("music/readme.txt")) << "not audio";
    std::ofstream(dir_.File("music/broken.mp3")) << "not audio either";
  }
  std::string Music() const { return dir_.File("music"); }

  ScratchDir dir_;
};

TEST_F(CliTest, FolderGivesOneLinePerAudioFileWithBothTempi) {
  const CliRun run = RunCli("'" + Music() + "'", dir_);
  // broken.mp3 is listed but cannot be decoded: 0.00 0.00, a reason, and status 1.
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.lines.size(), 2u) << run.errors;
  for (const std::string& line : run.lines) {
    const std::string path = Column(line, 0);
    if (path == Music() + "/beat120.wav") {
      // One chunk is about 2.5 ms: 500 ms may read as up to 502 ms (119.52 BPM).
      EXPECT_NEAR(std::stod(Column(line, 1)), 120.0, 0.5) << line;
      EXPECT_EQ(Column(line, 2), "0.00") << line;
    } else {
      EXPECT_EQ(path, Music() + "/broken.mp3");
      EXPECT_EQ(Column(line, 1), "0.00");
      EXPECT_EQ(Column(line, 2), "0.00");
    }
  }
  EXPECT_NE(run.errors.find("broken.mp3"), std::string::npos) << run.errors;
  EXPECT_EQ(run.errors.find("beat120"), std::string::npos) << run.errors;
}

TEST_F(CliTest, RecursiveScanIncludesSubFoldersAfterTheFolderItself) {
  const CliRun run = RunCli("--recursive '" + Music() + "/beat120.wav' '" + Music() + "'", dir_);
  ASSERT_EQ(run.lines.size(), 4u) << run.errors;
  EXPECT_EQ(Column(run.lines[0], 0), Music() + "/beat120.wav");
  EXPECT_EQ(Column(run.lines[3], 0), Music() + "/deeper/beat100.WAV");
  EXPECT_NEAR(std::stod(Column(run.lines[3], 1)), 100.0, 0.5) << run.lines[3];
}

TEST_F(CliTest, RawAddsTheResultOfEachPass) {
  const CliRun run = RunCli("--raw '" + Music() + "/beat120.wav' '" + Music() + "/broken.mp3'", dir_);
  ASSERT_EQ(run.lines.size(), 2u);
  // A primary period on the first pass: no second pass. Nothing at all: two passes.
  const std::string firstPass = Column(run.lines[0], 3);
  EXPECT_NEAR(std::stoi(firstPass), 500, 2) << run.lines[0];
  EXPECT_EQ(firstPass.substr(firstPass.find('|')), "|0");
  EXPECT_EQ(run.lines[0].find('\t', run.lines[0].find(firstPass)), std::string::npos) << run.lines[0];
  EXPECT_EQ(Column(run.lines[1], 3), "-");
  EXPECT_EQ(Column(run.lines[1], 4), "-");
}

TEST_F(CliTest, ExitStatusTellsSuccessFailureAndMisuse) {
  EXPECT_EQ(RunCli("'" + Music() + "/beat120.wav'", dir_).status, 0);
  const CliRun missing = RunCli("'" + Music() + "/gone.wav'", dir_);
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.errors.find("gone.wav"), std::string::npos);
  EXPECT_EQ(RunCli("", dir_).status, 2);
  EXPECT_EQ(RunCli("--bogus '" + Music() + "'", dir_).status, 2);
  const CliRun help = RunCli("--help", dir_);
  EXPECT_EQ(help.status, 0);
  ASSERT_FALSE(help.lines.empty());
  EXPECT_EQ(help.lines[0].rfind("usage: temposcout-cli", 0), 0u);
}

}  // namespace
