// temposcout-cli where only a POSIX system can set the scene: output to a full disk, a
// closed standard output or a pipe closed early, folders that cannot be listed, names
// with tabs and newlines, a terminal for the progress line, and Ctrl-C.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/TestHelpers.h"
#include "tests/cli/CliRunner.h"

namespace {

using clitest::CliRun;
using clitest::RunCli;
using clitest::SplitTabs;
using testaudio::ScratchDir;

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Runs a bash command line; returns its exit status.
int Bash(const std::string& script) {
  const std::string command = "bash -c '" + script + "'";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class CliPosixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testaudio::WriteClickWav(dir_.File("beat.wav"), {.periodMs = 500.0, .seconds = 10.0});
    std::ofstream(dir_.File("broken.mp3")) << "not audio";
  }
  std::string Cli() const { return std::string(TEMPOSCOUT_CLI); }

  ScratchDir dir_;
};

TEST_F(CliPosixTest, FailedWriteOfTheResultsEndsWithAMessage) {
  const std::string errors = dir_.File("errors.txt");
  // A full disk, then a closed standard output.
  for (const char* redirect : {">/dev/full", ">&-"}) {
    SCOPED_TRACE(redirect);
    const int status = Bash(Cli() + " " + dir_.File("beat.wav") + " " + redirect + " 2>" + errors);
    EXPECT_EQ(status, 1);
    EXPECT_NE(ReadText(errors).find("cannot write the results"), std::string::npos) << ReadText(errors);
  }
  // --version and --help check their write as well.
  EXPECT_EQ(Bash(Cli() + " --version >/dev/full 2>/dev/null"), 1);
}

TEST_F(CliPosixTest, ReaderClosingThePipeEndsTheToolQuietly) {
  const std::string errors = dir_.File("errors.txt");
  const std::string minute = dir_.File("minute.wav");
  testaudio::WriteClickWav(minute, {.periodMs = 500.0, .seconds = 60.0});
  std::vector<std::string> list(40, minute);
  std::string files;
  for (const std::string& file : list) files += " " + file;
  const auto start = std::chrono::steady_clock::now();
  const int status = Bash("set -o pipefail; " + Cli() + files + " 2>" + errors + " | head -n 1 >/dev/null");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // 141: what a shell reports for a writer ended by SIGPIPE.
  EXPECT_EQ(status, 141);
  EXPECT_EQ(ReadText(errors), "");
  // It stopped soon after the reader left instead of analysing all forty files (the
  // workers run a few files ahead of the lines written).
  const double wholeList = [&] {
    const auto whole = std::chrono::steady_clock::now();
    RunCli(list);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - whole).count();
  }();
  EXPECT_LT(seconds, wholeList / 2) << seconds << " s against " << wholeList << " s for the whole list";
}

TEST_F(CliPosixTest, NamesWithTabsNewlinesAndBackslashesStayOneRecord) {
  const std::string odd = dir_.File("a\tb\nc\rd\\e.wav");
  std::filesystem::copy_file(dir_.File("beat.wav"), odd);
  const CliRun run = RunCli({"--raw", odd});
  ASSERT_EQ(run.Lines().size(), 1u) << run.out;
  const std::vector<std::string> fields = SplitTabs(run.Lines()[0]);
  ASSERT_EQ(fields.size(), 5u);
  std::string unescaped;
  for (size_t i = 0; i < fields[0].size(); ++i) {
    if (fields[0][i] != '\\') {
      unescaped += fields[0][i];
      continue;
    }
    const char next = fields[0][++i];
    unescaped += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  EXPECT_EQ(unescaped, odd);
  EXPECT_NEAR(std::stod(fields[1]), 120.0, 0.5);
}

// A chain of folders whose full path is longer than the system accepts (PATH_MAX),
// built and removed relative to each folder's descriptor.
class DeepFolder {
 public:
  explicit DeepFolder(const std::string& root) : root_(root) {
    const std::string name(200, 'd');
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < kLevels && fd >= 0; ++level) {
      mkdirat(fd, name.c_str(), 0755);
      const int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
      close(fd);
      fd = next;
    }
    if (fd >= 0) {
      close(openat(fd, "deep.wav", O_WRONLY | O_CREAT, 0644));
      close(fd);
    }
  }
  ~DeepFolder() { Remove(open(root_.c_str(), O_RDONLY | O_DIRECTORY), 0); }

 private:
  static constexpr int kLevels = 24;
  static void Remove(int fd, int level) {
    if (fd < 0) return;
    const std::string name(200, 'd');
    if (level < kLevels) {
      Remove(openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY), level + 1);
      unlinkat(fd, name.c_str(), AT_REMOVEDIR);
    } else {
      unlinkat(fd, "deep.wav", 0);
    }
    close(fd);
  }
  std::string root_;
};

TEST_F(CliPosixTest, FolderThatCannotBeListedIsReportedAndFails) {
  std::filesystem::create_directories(dir_.File("tree/locked"));
  std::filesystem::copy_file(dir_.File("beat.wav"), dir_.File("tree/beat.wav"));
  const DeepFolder deep(dir_.File("tree"));
  const CliRun run = RunCli({"--recursive", dir_.File("tree")});
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.Lines().size(), 1u) << run.out;
  EXPECT_EQ(SplitTabs(run.Lines()[0])[0], dir_.File("tree/beat.wav"));
  EXPECT_NE(run.errors.find("cannot list the folder"), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("1 folder not listed"), std::string::npos) << run.errors;

  // A folder the user may not read (root may read every folder).
  if (geteuid() != 0) {
    chmod(dir_.File("tree/locked").c_str(), 0);
    const CliRun flat = RunCli({dir_.File("tree/locked")});
    chmod(dir_.File("tree/locked").c_str(), 0755);
    EXPECT_EQ(flat.status, 1);
    EXPECT_NE(flat.errors.find("locked: cannot list the folder"), std::string::npos) << flat.errors;
  }
}

TEST_F(CliPosixTest, ProgressLineOnlyOnATerminal) {
  const std::string errors = dir_.File("errors.txt");
  // `script` gives the tool a terminal as standard error.
  const std::string command = Cli() + " " + dir_.File("beat.wav") + " " + dir_.File("beat.wav") + " >/dev/null";
  ASSERT_EQ(Bash("script -qec \"" + command + "\" /dev/null >" + errors), 0);
  const std::string onTerminal = ReadText(errors);
  EXPECT_NE(onTerminal.find("\r2/2 files, "), std::string::npos) << onTerminal;
  EXPECT_NE(onTerminal.find("files/s"), std::string::npos) << onTerminal;
  ASSERT_EQ(Bash("script -qec \"" + command + " --quiet\" /dev/null >" + errors), 0);
  EXPECT_EQ(ReadText(errors).find("files"), std::string::npos) << ReadText(errors);
  // Not a terminal: the summary only.
  const CliRun piped = RunCli({dir_.File("beat.wav")});
  EXPECT_EQ(piped.errors.find('\r'), std::string::npos) << piped.errors;
  EXPECT_NE(piped.errors.find("1 file: 1 analysed"), std::string::npos) << piped.errors;
}

// Starts the tool, sends SIGINT after `delay` and returns the exit status and how long
// it took to end after the signal. Standard input is a pipe held open.
struct Interrupted {
  int status = -1;
  double secondsAfterSignal = 0.0;
  bool endedBeforeSignal = false;
};

Interrupted InterruptAfter(const std::vector<std::string>& arguments, std::chrono::milliseconds delay) {
  int input[2];
  if (pipe(input) != 0) return {};
  std::vector<char*> argv{const_cast<char*>(TEMPOSCOUT_CLI)};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    dup2(input[0], 0);
    close(input[1]);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execv(TEMPOSCOUT_CLI, argv.data());
    _exit(127);
  }
  close(input[0]);
  std::this_thread::sleep_for(delay);
  Interrupted result;
  int status = 0;
  if (waitpid(child, &status, WNOHANG) == child) {
    result.endedBeforeSignal = true;
  } else {
    kill(child, SIGINT);
    const auto sent = std::chrono::steady_clock::now();
    // At most 5 s, then it is killed so that the test itself cannot hang.
    while (waitpid(child, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() - sent > std::chrono::seconds(5)) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    result.secondsAfterSignal = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
  }
  close(input[1]);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

TEST_F(CliPosixTest, CtrlCEndsTheToolWithinASecondWhereverItWaits) {
  // Waiting for a list on standard input that never ends.
  const Interrupted reading = InterruptAfter({"--files-from", "-"}, std::chrono::milliseconds(300));
  ASSERT_FALSE(reading.endedBeforeSignal);
  EXPECT_EQ(reading.status, 130);
  EXPECT_LT(reading.secondsAfterSignal, 2.0);

  // A FIFO named like an audio file: opening it can wait for a writer that never comes.
  const std::string fifo = dir_.File("stuck.wav");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const Interrupted opening = InterruptAfter({fifo}, std::chrono::milliseconds(500));
  if (!opening.endedBeforeSignal) {
    EXPECT_EQ(opening.status, 130);
    EXPECT_LT(opening.secondsAfterSignal, 2.0);
  } else {
    EXPECT_EQ(opening.status, 1);
  }

  // In the middle of a list of files, one at a time and with several workers.
  for (const char* jobs : {"1", "4"}) {
    std::vector<std::string> many(200, dir_.File("beat.wav"));
    many.insert(many.begin(), {"--jobs", jobs});
    const Interrupted analysing = InterruptAfter(many, std::chrono::milliseconds(300));
    ASSERT_FALSE(analysing.endedBeforeSignal) << jobs << " jobs";
    EXPECT_EQ(analysing.status, 130) << jobs << " jobs";
    EXPECT_LT(analysing.secondsAfterSignal, 2.0) << jobs << " jobs";
  }
}

}  // namespace
