// Find BPM end to end: click tracks at known tempi loaded through the real folder
// dialog, analysed by the real engine on the worker, with presses, reloads, Esc and
// close requests arriving while the run goes on, and quitting with the engine stuck.
#include "ProgramDriver.h"
#include "ShellFixture.h"
#include "StuckEngine.h"

#include "engine/EngineBinding.h"
#include "platform/Clipboard.h"
#include "platform/Controls.h"
#include "platform/ScopedWin.h"
#include "shell/BatchRun.h"
#include "shell/EventLoop.h"
#include "shell/MainWindow.h"
#include "shell/TrackCollection.h"
#include "tempo/GainStage.h"
#include "tests/TestHelpers.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using shell_test::DialogOutcome;
using shell_test::PickFolder;
using shell_test::ShellFixture;

// Analysis works in chunks of about 2.5 ms, so a measured period may be off by a
// couple of milliseconds from the generated one.
constexpr int kPeriodToleranceMs = 2;

// 5 ms 1 kHz clicks every periodMs over faint noise, 16-bit stereo at 44.1 kHz.
void WriteClickTrack(const std::string& path, int periodMs, double seconds) {
  testaudio::WriteClickWav(path, {.periodMs = static_cast<double>(periodMs), .seconds = seconds});
}

std::string FileNameOf(const std::string& path) {
  return path.substr(path.find_last_of("\\/") + 1);
}

// A folder of generated files and, for each, the beat period it was made with (0 for
// a file that holds no audio).
class TrackFolder {
 public:
  void AddClicks(const std::string& name, int periodMs, double seconds = 20.0) {
    WriteClickTrack(dir_.File(name), periodMs, seconds);
    periods_[dir_.File(name)] = periodMs;
  }
  void AddNotAudio(const std::string& name) {
    testaudio::WriteFile(dir_.File(name), testaudio::Bytes{'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o', '\n'});
    periods_[dir_.File(name)] = 0;
  }
  // A name of any script, given in UTF-8, the code page of the program and this test.
  void AddClicksNamed(const std::string& name, int periodMs, double seconds) {
    WriteClickTrack(dir_.File("unnamed.wav"), periodMs, seconds);
    MoveFileW(platform::WideFromAnsi(dir_.File("unnamed.wav")).c_str(),
              platform::WideFromAnsi(Path() + "\\" + name).c_str());
    periods_[Path() + "\\" + name] = periodMs;
  }
  void AddOther(const std::string& name) { testaudio::WriteFile(dir_.File(name), testaudio::Bytes{'x'}); }
  void AddFolder(const std::string& name) { CreateDirectoryA(dir_.File(name).c_str(), nullptr); }

  // Without the trailing backslash, as a user would pick it.
  std::string Path() const {
    std::string path = dir_.File("");
    while (!path.empty() && (path.back() == '\\' || path.back() == '/')) {
      path.pop_back();
    }
    return path;
  }
  bool Holds(const std::string& path) const { return periods_.count(path) != 0; }
  int PeriodOf(const std::string& path) const { return periods_.at(path); }
  size_t AudioNameCount() const { return periods_.size(); }

 private:
  testaudio::ScratchDir dir_;
  std::map<std::string, int> periods_;
};

// The primary tempo text of a file clicking every periodMs: two decimals, within what
// the analysis can resolve of the period.
::testing::AssertionResult ShowsTempoOf(const std::string& text, int periodMs) {
  if (periodMs == 0) {
    if (text == "0.00") {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << '"' << text << "\" for a file without audio";
  }
  const size_t dot = text.find('.');
  if (dot == std::string::npos || dot == 0 || text.size() != dot + 3 ||
      text.find_first_not_of("0123456789.") != std::string::npos) {
    return ::testing::AssertionFailure() << '"' << text << "\" is not a tempo with two decimals";
  }
  const double bpm = std::atof(text.c_str());
  const double slowest = 60000.0 / (periodMs + kPeriodToleranceMs);
  const double fastest = 60000.0 / (periodMs - kPeriodToleranceMs);
  if (bpm < slowest - 0.005 || bpm > fastest + 0.005) {
    return ::testing::AssertionFailure() << text << " BPM for clicks every " << periodMs << " ms (expected "
                                         << 60000.0 / periodMs << ")";
  }
  return ::testing::AssertionSuccess();
}

// One write of a BPM cell, with the path its row held at that moment.
struct CellWrite {
  int row = 0;
  int column = 0;
  std::string text;
  std::string rowPath;
};

// Watches the three controls a run writes to. Every write arrives on the main thread
// (the worker sends it there), so the records need no lock, and a hook may act at an
// exact point of the run while the worker waits for the write to be carried out.
class RunRecorder {
 public:
  RunRecorder(HWND trackList, HWND statusLabel, HWND progressBar) : trackList_(trackList) {
    SetWindowSubclass(trackList, &RunRecorder::Watch, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    SetWindowSubclass(statusLabel, &RunRecorder::Watch, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    SetWindowSubclass(progressBar, &RunRecorder::Watch, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    statusLabel_ = statusLabel;
    progressBar_ = progressBar;
  }
  ~RunRecorder() {
    RemoveWindowSubclass(trackList_, &RunRecorder::Watch, kSubclassId);
    RemoveWindowSubclass(statusLabel_, &RunRecorder::Watch, kSubclassId);
    RemoveWindowSubclass(progressBar_, &RunRecorder::Watch, kSubclassId);
  }
  RunRecorder(const RunRecorder&) = delete;
  RunRecorder& operator=(const RunRecorder&) = delete;

  std::vector<std::string> statuses;
  std::vector<CellWrite> writes;
  std::vector<int> progress;
  // Called after the control has taken the new text or position.
  std::function<void(const std::string& status)> onStatus;
  std::function<void(int percent)> onProgress;

 private:
  static constexpr UINT_PTR kSubclassId = 0x7e57;

  static LRESULT CALLBACK Watch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    auto* recorder = reinterpret_cast<RunRecorder*>(self);
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    recorder->Seen(window, message, wParam, lParam);
    return result;
  }

  void Seen(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == trackList_ && message == LVM_SETITEMTEXTA) {
      const auto* item = reinterpret_cast<const LVITEMA*>(lParam);
      const int row = static_cast<int>(wParam);
      writes.push_back({row, item->iSubItem, item->pszText, platform::ListItemText(trackList_, row, 0)});
    } else if (window == statusLabel_ && message == WM_SETTEXT) {
      // A subclassed window gets WM_SETTEXT in its wide form, so the text is read
      // back the way the program itself reads it.
      char text[1024] = {};
      GetWindowTextA(window, text, sizeof text);
      statuses.emplace_back(text);
      if (onStatus) {
        onStatus(statuses.back());
      }
    } else if (window == progressBar_ && message == PBM_SETPOS) {
      progress.push_back(static_cast<int>(wParam));
      if (onProgress) {
        onProgress(progress.back());
      }
    }
  }

  HWND trackList_;
  HWND statusLabel_ = nullptr;
  HWND progressBar_ = nullptr;
};

class BatchRun : public ShellFixture {
 protected:
  void SetUp() override {
    ShellFixture::SetUp();
    ASSERT_NE(engine::LoadEngine(), 0u) << "bass.dll not found beside the test";
    ASSERT_NE(engine::LoadEngineFx(), 0u) << "bass_fx.dll not found beside the test";
    tempo::InitGainCurve();
    engine::BASS_Init(-1, 44100, 0, shell_->window->Handle(), nullptr);
    recorder_ = std::make_unique<RunRecorder>(shell_->trackList, shell_->statusLabel, shell_->progressBar);

    // The real batch job, counted, and ending the test's event loop once it is over.
    HWND window = shell_->window->Handle();
    shell_->batchJob = [this, window](const std::atomic<bool>& stopRequested) {
      ++runs_;
      shell::RunBatchOnWorker(shell::BatchControlsOf(*shell_), stopRequested);
      PostMessageA(window, WM_CLOSE, 0, 0);
    };
  }

  void TearDown() override {
    if (shell_) {
      shell_->worker.StopAndWait();
    }
    recorder_.reset();
    ShellFixture::TearDown();
    engine::FreeEngine();
    engine::UnloadEngineFx();
  }

  // "Load Folder" from the menu, answered in the real dialog.
  void LoadFolder(const TrackFolder& folder) {
    const DialogOutcome dialog = driver_.AnswerDialog(
        PickFolder(folder.Path()), [&] { shell::RunMenuCommand(*shell_, shell::kLoadFolderCommand); });
    ASSERT_TRUE(dialog.found) << "no folder dialog appeared";
    ASSERT_EQ(shell_->folderPath, folder.Path() + "\\");
  }

  // Presses Find BPM and serves the event loop until the run has ended.
  void RunToTheEnd() {
    driver_.PressFindBpm();
    shell::RunEventLoop(*shell_);
    shell_->worker.StopAndWait();
  }

  // Every row of the list shows the tempo of its own file, and nothing else.
  void ExpectEveryRowShowsItsTempo(const TrackFolder& folder) {
    const std::vector<std::string> paths = Rows(0);
    const std::vector<std::string> primary = Rows(1);
    const std::vector<std::string> alternative = Rows(2);
    ASSERT_EQ(paths.size(), folder.AudioNameCount());
    for (size_t row = 0; row < paths.size(); ++row) {
      ASSERT_TRUE(folder.Holds(paths[row])) << paths[row];
      EXPECT_TRUE(ShowsTempoOf(primary[row], folder.PeriodOf(paths[row]))) << paths[row];
      EXPECT_EQ(alternative[row], "0.00") << paths[row];
    }
  }

  // The status texts and cell writes of exactly one pass over paths, in row order.
  void ExpectOnePassOver(const std::vector<std::string>& paths, const std::vector<std::string>& statuses,
                         const std::vector<CellWrite>& writes) {
    std::vector<std::string> expectedStatuses;
    std::vector<std::pair<int, int>> expectedCells;
    for (size_t row = 0; row < paths.size(); ++row) {
      expectedStatuses.push_back("Calculating " + FileNameOf(paths[row]));
      expectedStatuses.push_back(FileNameOf(paths[row]) + " done");
      expectedCells.emplace_back(static_cast<int>(row), 1);
      expectedCells.emplace_back(static_cast<int>(row), 2);
    }
    EXPECT_EQ(statuses, expectedStatuses);
    std::vector<std::pair<int, int>> cells;
    for (const CellWrite& write : writes) {
      cells.emplace_back(write.row, write.column);
    }
    EXPECT_EQ(cells, expectedCells);
  }

  std::unique_ptr<RunRecorder> recorder_;
  std::atomic<int> runs_{0};
};

TEST_F(BatchRun, FindBpmFillsEveryRowWithTheTempoItsFileWasMadeWith) {
  TrackFolder folder;
  folder.AddClicks("beat 120.wav", 500);
  folder.AddClicks("beat 100.WAV", 600);
  folder.AddNotAudio("not audio.mp3");
  folder.AddOther("notes.txt");
  LoadFolder(folder);
  ASSERT_EQ(Rows(1), std::vector<std::string>(3, "")) << "no tempo before the run";

  RunToTheEnd();

  EXPECT_EQ(runs_.load(), 1);
  ExpectEveryRowShowsItsTempo(folder);
  const std::vector<std::string> paths = Rows(0);
  EXPECT_EQ(driver_.Status(), FileNameOf(paths.back()) + " done");
  EXPECT_EQ(driver_.ProgressPosition(), 100);
  ExpectOnePassOver(paths, recorder_->statuses, recorder_->writes);
  for (const CellWrite& write : recorder_->writes) {
    EXPECT_EQ(write.rowPath, paths[static_cast<size_t>(write.row)]) << "a write into a row of another file";
  }
  ASSERT_FALSE(recorder_->progress.empty());
  for (int percent : recorder_->progress) {
    EXPECT_GE(percent, 0);
    EXPECT_LE(percent, 100);
  }
}

TEST_F(BatchRun, PressesDuringARunAreIgnored) {
  TrackFolder folder;
  folder.AddClicks("first.wav", 500);
  folder.AddClicks("second.wav", 400);
  folder.AddClicks("third.wav", 750);
  LoadFolder(folder);
  // Press again every time a row starts and every time its progress moves.
  int presses = 0;
  recorder_->onStatus = [&](const std::string& status) {
    if (status.rfind("Calculating ", 0) == 0) {
      driver_.PressFindBpm();
      ++presses;
    }
  };
  recorder_->onProgress = [&](int) {
    driver_.PressFindBpm();
    ++presses;
  };

  RunToTheEnd();

  EXPECT_GE(presses, 3);
  EXPECT_EQ(runs_.load(), 1) << "a press during the run started another one";
  ExpectOnePassOver(Rows(0), recorder_->statuses, recorder_->writes);
  ExpectEveryRowShowsItsTempo(folder);
}

// Where in the run the list is reloaded.
enum class ReloadPoint { MidAnalysisOfTheSecondRow, AfterTheSecondRowIsDone };

class BatchRunReload : public BatchRun, public ::testing::WithParamInterface<ReloadPoint> {};

TEST_P(BatchRunReload, RunStartsOverOnTheNewListAndNoResultLandsInAnotherFilesRow) {
  TrackFolder before;
  before.AddClicks("old 120.wav", 500);
  before.AddClicks("old 100.wav", 600);
  before.AddClicks("old 150.wav", 400);
  TrackFolder after;
  after.AddClicks("new 80.wav", 750);
  after.AddClicks("new 125.wav", 480);
  LoadFolder(before);
  const std::vector<std::string> oldPaths = Rows(0);
  const std::string secondName = FileNameOf(oldPaths[1]);

  // The reload happens inside the worker's own control update, so the worker is held
  // at exactly that point of the run until the new list is in place. A modal dialog
  // cannot run there, so this is "Load Folder" from the moment its dialog has
  // returned the folder; the dialog itself is driven by the tests above.
  bool reloaded = false;
  size_t writesBeforeReload = 0;
  size_t statusesBeforeReload = 0;
  auto reload = [&] {
    reloaded = true;
    writesBeforeReload = recorder_->writes.size();
    statusesBeforeReload = recorder_->statuses.size();
    shell_->folderPath = after.Path() + "\\";
    shell::ClearTrackList(*shell_);
    shell::ScanFolder(*shell_, shell_->folderPath);
  };
  if (GetParam() == ReloadPoint::MidAnalysisOfTheSecondRow) {
    recorder_->onProgress = [&](int percent) {
      if (!reloaded && percent < 100 && recorder_->statuses.back() == "Calculating " + secondName) {
        reload();
      }
    };
  } else {
    recorder_->onStatus = [&](const std::string& status) {
      if (!reloaded && status == secondName + " done") {
        reload();
      }
    };
  }

  RunToTheEnd();

  ASSERT_TRUE(reloaded) << "the run never reached the reload point";
  EXPECT_EQ(runs_.load(), 1);
  ExpectEveryRowShowsItsTempo(after);
  const std::vector<std::string> newPaths = Rows(0);
  EXPECT_EQ(driver_.Status(), FileNameOf(newPaths.back()) + " done");
  EXPECT_EQ(driver_.ProgressPosition(), 100);

  // Whatever was written, before or after the reload, went into a row of the file it
  // measured.
  for (const CellWrite& write : recorder_->writes) {
    const TrackFolder& owner = before.Holds(write.rowPath) ? before : after;
    ASSERT_TRUE(owner.Holds(write.rowPath)) << write.rowPath;
    if (write.column == 1) {
      EXPECT_TRUE(ShowsTempoOf(write.text, owner.PeriodOf(write.rowPath))) << write.rowPath;
    } else {
      EXPECT_EQ(write.text, "0.00") << write.rowPath;
    }
  }
  const size_t oldRowsDone = GetParam() == ReloadPoint::MidAnalysisOfTheSecondRow ? 1 : 2;
  EXPECT_EQ(writesBeforeReload, 2 * oldRowsDone);

  // After the reload: one whole pass over the new list from its first row.
  const std::vector<CellWrite> laterWrites(recorder_->writes.begin() + static_cast<std::ptrdiff_t>(writesBeforeReload),
                                           recorder_->writes.end());
  const std::vector<std::string> laterStatuses(
      recorder_->statuses.begin() + static_cast<std::ptrdiff_t>(statusesBeforeReload), recorder_->statuses.end());
  ExpectOnePassOver(newPaths, laterStatuses, laterWrites);
}

INSTANTIATE_TEST_SUITE_P(Points, BatchRunReload,
                         ::testing::Values(ReloadPoint::MidAnalysisOfTheSecondRow,
                                           ReloadPoint::AfterTheSecondRowIsDone),
                         [](const auto& point) {
                           return point.param == ReloadPoint::MidAnalysisOfTheSecondRow ? "MidAnalysis" : "BetweenRows";
                         });

TEST_F(BatchRun, CloseRequestMidAnalysisStopsTheWorkerBeforeTheEngineIsFreed) {
  TrackFolder folder;
  folder.AddClicks("long.wav", 500, 120.0);
  LoadFolder(folder);
  HWND window = shell_->window->Handle();
  recorder_->onProgress = [&](int percent) {
    if (percent < 100) {
      PostMessageA(window, WM_CLOSE, 0, 0);
      recorder_->onProgress = nullptr;
    }
  };

  driver_.PressFindBpm();
  shell::RunEventLoop(*shell_);
  ASSERT_EQ(shell_->currentEvent.kind, platform::EventKind::CloseRequest);
  // What the program's shutdown does: stop and wait for the worker, then free the engine.
  shell_->worker.StopAndWait();
  EXPECT_FALSE(shell_->worker.IsRunning());
  engine::FreeEngine();
  engine::UnloadEngineFx();

  EXPECT_TRUE(recorder_->writes.empty()) << "the stopped analysis still wrote a result";
  EXPECT_EQ(driver_.Status(), shell::kStoppedStatus);
  EXPECT_EQ(Rows(1), std::vector<std::string>{""});
}

// Starts the program (the copy at programPath, if given) and loads folder into its main
// window; a fatal failure when either does not happen.
void StartWithFolder(shell_test::RunningProgram& program, const std::string& folder,
                     shell_test::MainWindowDriver& window, const std::string& programPath = {}) {
  ASSERT_TRUE(program.Start(programPath));
  window = program.WaitForMainWindow();
  ASSERT_TRUE(window) << "the program showed no main window";
  ASSERT_TRUE(window.LoadFolder(folder));
}

TEST(BatchRunProgram, CloseRequestDuringARunEndsTheProgramWithExitCodeZero) {
  TrackFolder folder;
  folder.AddClicks("long one.wav", 500, 180.0);
  folder.AddClicks("long two.wav", 600, 180.0);

  shell_test::RunningProgram program;
  shell_test::MainWindowDriver window;
  ASSERT_NO_FATAL_FAILURE(StartWithFolder(program, folder.Path(), window));
  EXPECT_EQ(window.RowCount(), 2);

  window.PressFindBpm();
  const bool running =
      window.WaitForStatus([](const std::string& status) { return status.rfind("Calculating ", 0) == 0; }, 30000);
  EXPECT_TRUE(running) << "the run did not start";
  const std::string statusAtClose = window.Status();
  window.RequestClose();

  // A stopped analysis gives up within one chunk; ten seconds only rule out a hang.
  const std::optional<DWORD> exitCode = program.WaitForExit(10000);
  ASSERT_TRUE(exitCode) << "the program did not end after the close request";
  EXPECT_EQ(*exitCode, 0u);
  EXPECT_EQ(statusAtClose.rfind("Calculating ", 0), 0u) << "the run was over before the close request";
}

// The rows with no value yet, by path, after a run that should have reached them all;
// every row that has one shows the tempo of its own file.
std::vector<std::string> RowsWithoutTheirTempo(const shell_test::MainWindowDriver& window, const TrackFolder& folder) {
  const std::vector<std::string> paths = window.Rows(0);
  const std::vector<std::string> primary = window.Rows(1);
  std::vector<std::string> missing;
  for (size_t row = 0; row < paths.size(); ++row) {
    if (!folder.Holds(paths[row])) {
      ADD_FAILURE() << "a row of a file the folder does not hold: " << paths[row];
    } else if (primary[row].empty()) {
      missing.push_back(paths[row]);
    } else {
      EXPECT_TRUE(ShowsTempoOf(primary[row], folder.PeriodOf(paths[row]))) << paths[row];
    }
  }
  return missing;
}

bool StatusIs(const shell_test::MainWindowDriver& window, const std::string& expected, DWORD timeoutMs) {
  return window.WaitForStatus([&](const std::string& status) { return status == expected; }, timeoutMs);
}

// The recursive scan lets the window run between entries, so the run's requests are
// served while the new list is still being built. A tree with no file at its top and
// few rows among many other entries would show a run a list that is empty or shorter
// than its current row.
TEST(BatchRunProgram, LoadFolderRecursiveDuringARunAnalysesEveryRowOfTheWholeNewList) {
  // Long enough for the run to go on through the folder dialog.
  TrackFolder first;
  for (int track = 0; track < 8; ++track) {
    first.AddClicks("before " + std::to_string(track) + ".wav", 500, 60.0);
  }
  TrackFolder tree;
  constexpr int kFolders = 240;
  for (int folder = 0; folder < kFolders; ++folder) {
    const std::string name = std::to_string(1000 + folder) + "d";
    tree.AddFolder(name);
    for (int other = 0; other < 6; ++other) {
      tree.AddOther(name + "\\n" + std::to_string(other) + ".txt");
    }
    if (folder == 100 || folder == 200) {
      tree.AddClicks(name + "\\clicks " + std::to_string(folder) + ".wav", folder == 100 ? 500 : 600, 10.0);
    } else {
      tree.AddNotAudio(name + "\\t" + std::to_string(folder) + ".wav");
    }
  }

  shell_test::RunningProgram program;
  shell_test::MainWindowDriver window;
  ASSERT_NO_FATAL_FAILURE(StartWithFolder(program, first.Path(), window));
  window.PressFindBpm();
  // Any of the first list's rows will do: on a loaded machine the first one can be over
  // between two looks at the status line.
  ASSERT_TRUE(window.WaitForStatus(
      [](const std::string& status) { return status.rfind("Calculating before ", 0) == 0; }, 30000))
      << "the run did not start";

  ASSERT_TRUE(window.LoadFolderRecursive(tree.Path()));
  // The dialog has closed; the scan goes on after it, while the run waits for rows.
  const std::string statusAtReload = window.Status();
  ASSERT_NE(statusAtReload, "before 7.wav done") << "the run was over before the reload";
  const ULONGLONG scanStart = GetTickCount64();
  while (window.RowCount() < kFolders && GetTickCount64() - scanStart < 60000) {
    Sleep(20);
  }
  ASSERT_EQ(window.RowCount(), kFolders);
  ::testing::Test::RecordProperty("scan_ms", std::to_string(GetTickCount64() - scanStart));
  const std::vector<std::string> paths = window.Rows(0);
  const std::string lastDone = FileNameOf(paths.back()) + " done";
  const bool finished = StatusIs(window, lastDone, 60000);

  const std::vector<std::string> missing = RowsWithoutTheirTempo(window, tree);
  EXPECT_TRUE(finished) << "the run ended at \"" << window.Status() << "\", not after the last row";
  EXPECT_TRUE(missing.empty()) << missing.size() << " of " << kFolders << " rows never analysed, the first "
                               << (missing.empty() ? "" : missing.front());
}

// Esc and Enter when nothing runs, then Esc during a run, then Find BPM again.
TEST(BatchRunProgram, EscStopsTheRunAndFindBpmThenStartsAFreshRunFromTheFirstRow) {
  TrackFolder folder;
  folder.AddClicks("a 120.wav", 500, 120.0);
  folder.AddClicks("b 100.wav", 600, 60.0);
  folder.AddClicks("c 150.wav", 400, 60.0);
  folder.AddClicks("d 80.wav", 750, 60.0);

  shell_test::RunningProgram program;
  shell_test::MainWindowDriver window;
  ASSERT_NO_FATAL_FAILURE(StartWithFolder(program, folder.Path(), window));
  const std::vector<std::string> paths = window.Rows(0);
  ASSERT_EQ(paths.size(), 4u);
  const std::vector<std::string> empty(4, "");

  // Nothing runs: neither key starts a run, opens a dialog or ends the program.
  ASSERT_NE(window.FocusedWindow(), nullptr) << "no control of the window has the focus";
  window.PressKey(VK_ESCAPE);
  window.PressKey(VK_RETURN);
  Sleep(1000);
  HWND dialog = nullptr;
  EnumThreadWindows(
      GetWindowThreadProcessId(window.Window(), nullptr),
      [](HWND shown, LPARAM out) {
        char cls[16] = {};
        GetClassNameA(shown, cls, sizeof cls);
        if (std::string(cls) == "#32770" && IsWindowVisible(shown)) {
          *reinterpret_cast<HWND*>(out) = shown;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&dialog));
  EXPECT_EQ(dialog, nullptr) << "a key opened a dialog";
  EXPECT_FALSE(program.WaitForExit(0)) << "a key ended the program";
  EXPECT_EQ(window.Status(), "");
  EXPECT_EQ(window.Rows(1), empty);

  // Esc once the second row is being measured.
  window.PressFindBpm();
  ASSERT_TRUE(StatusIs(window, "Calculating " + FileNameOf(paths[1]), 60000)) << "the run never reached row 1";
  window.PressKey(VK_ESCAPE);
  ASSERT_TRUE(StatusIs(window, shell::kStoppedStatus, 10000)) << "still \"" << window.Status() << '"';
  const std::vector<std::string> stopped = window.Rows(1);
  size_t done = 0;
  while (done < stopped.size() && !stopped[done].empty()) {
    EXPECT_TRUE(ShowsTempoOf(stopped[done], folder.PeriodOf(paths[done]))) << paths[done];
    ++done;
  }
  EXPECT_GE(done, 1u) << "the row done before Esc lost its value";
  EXPECT_LE(done, 2u) << "the run went on past the row it was measuring";
  for (size_t row = done; row < stopped.size(); ++row) {
    EXPECT_EQ(stopped[row], "") << "a row the run never reached changed: " << paths[row];
  }
  Sleep(500);
  EXPECT_EQ(window.Status(), shell::kStoppedStatus);
  EXPECT_EQ(window.Rows(1), stopped) << "the run went on after \"Stopped\"";

  // A fresh run from row 0, over every row.
  window.PressFindBpm();
  EXPECT_TRUE(StatusIs(window, "Calculating " + FileNameOf(paths[0]), 10000)) << "the new run began elsewhere";
  EXPECT_TRUE(StatusIs(window, FileNameOf(paths[3]) + " done", 120000));
  EXPECT_TRUE(RowsWithoutTheirTempo(window, folder).empty());
}

// A pasted table split into rows at CR LF, each row into cells at its tabs.
std::vector<std::vector<std::wstring>> CellsOf(const std::wstring& table) {
  std::vector<std::vector<std::wstring>> rows;
  for (size_t start = 0, end; (end = table.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
    rows.emplace_back();
    for (size_t cell = start, tab;; cell = tab + 1) {
      tab = std::min(table.find(L'\t', cell), end);
      rows.back().push_back(table.substr(cell, tab - cell));
      if (tab == end) break;
    }
  }
  return rows;
}

// Ctrl+C typed into the real program while a run goes on and after it: the clipboard
// holds the header and every row as the list shows it, names of any script intact.
TEST(BatchRunProgram, CtrlCCopiesTheListAsShownDuringAndAfterARun) {
  TrackFolder folder;
  folder.AddClicks("a 120.wav", 500, 90.0);
  folder.AddClicksNamed("\xCE\xA9\xCE\xB4\xCE\xAE 100.wav", 600, 90.0);  // Greek
  folder.AddClicksNamed("\xE6\x8B\x8D\xE5\xAD\x90 150.wav", 400, 90.0);  // Japanese
  folder.AddClicks("d 80.wav", 750, 90.0);
  shell_test::RunningProgram program;
  shell_test::MainWindowDriver window;
  ASSERT_NO_FATAL_FAILURE(StartWithFolder(program, folder.Path(), window));
  const std::vector<std::string> paths = window.Rows(0);
  ASSERT_EQ(paths.size(), 4u);
  const std::vector<std::wstring> header{L"File", L"BPM (Primary)", L"BPM (Alternative)"};

  // While the second row is measured, each cell is what the list showed just before
  // the copy or just after it.
  window.PressFindBpm();
  ASSERT_TRUE(StatusIs(window, "Calculating " + FileNameOf(paths[1]), 60000)) << "the run never reached row 1";
  const std::vector<std::string> before = window.Rows(1);
  const std::optional<std::wstring> during = window.CopyWithCtrlC();
  const std::vector<std::string> after = window.Rows(1);
  ASSERT_TRUE(during) << "Ctrl+C during the run left the clipboard as it was";
  const std::vector<std::vector<std::wstring>> cells = CellsOf(*during);
  ASSERT_EQ(cells.size(), 5u);
  EXPECT_EQ(cells[0], header);
  size_t filled = 0;
  for (size_t row = 0; row < paths.size(); ++row) {
    ASSERT_EQ(cells[row + 1].size(), 3u);
    EXPECT_EQ(cells[row + 1][0], platform::WideFromAnsi(paths[row]));
    const std::wstring& primary = cells[row + 1][1];
    EXPECT_TRUE(primary == platform::WideFromAnsi(before[row]) || primary == platform::WideFromAnsi(after[row]));
    filled += primary.empty() ? 0 : 1;
  }
  EXPECT_GE(filled, 1u) << "the copy showed no row done";
  EXPECT_LE(filled, 3u) << "the run was over before the copy";

  // After the run: exactly the list, the two names as they were made.
  ASSERT_TRUE(StatusIs(window, FileNameOf(paths[3]) + " done", 120000));
  const std::optional<std::wstring> done = window.CopyWithCtrlC();
  ASSERT_TRUE(done) << "Ctrl+C after the run left the clipboard as it was";
  std::wstring expected = L"File\tBPM (Primary)\tBPM (Alternative)\r\n";
  for (size_t row = 0; row < paths.size(); ++row) {
    EXPECT_TRUE(ShowsTempoOf(window.Rows(1)[row], folder.PeriodOf(paths[row]))) << paths[row];
    expected += platform::WideFromAnsi(paths[row] + "\t" + window.Rows(1)[row] + "\t" + window.Rows(2)[row] + "\r\n");
  }
  EXPECT_EQ(*done, expected);
  EXPECT_NE(done->find(L"\\\u03a9\u03b4\u03ae 100.wav\t"), std::wstring::npos);
  EXPECT_NE(done->find(L"\\\u62cd\u5b50 150.wav\t"), std::wstring::npos);
}

enum class LeaveBy { Quit, CloseRequest };

class StuckEngineProgram : public ::testing::TestWithParam<LeaveBy> {};

// The program runs from a copy beside the stand-in engine, whose first read never
// returns; Quit or a close request must still end it, with exit code 0.
TEST_P(StuckEngineProgram, EndsWithExitCodeZeroWhileTheWorkerIsStuckInTheEngine) {
  const testaudio::ScratchDir programFolder;
  const std::string programPath = programFolder.File("TempoScout.exe");
  ASSERT_TRUE(CopyFileA((shell_test::OwnFolder() + "TempoScout.exe").c_str(), programPath.c_str(), FALSE));
  const std::string stuckEngine = shell_test::OwnFolder() + kStuckEngineFolder + "\\bass.dll";
  ASSERT_TRUE(CopyFileA(stuckEngine.c_str(), programFolder.File("bass.dll").c_str(), FALSE)) << stuckEngine;
  TrackFolder music;
  music.AddNotAudio("on a dead share.wav");  // never read: the stand-in engine opens anything
  const platform::UniqueHandle entered(CreateEventA(nullptr, TRUE, FALSE, kStuckEngineEvent));
  ASSERT_TRUE(entered);

  shell_test::RunningProgram program;
  shell_test::MainWindowDriver window;
  ASSERT_NO_FATAL_FAILURE(StartWithFolder(program, music.Path(), window, programPath));
  window.PressFindBpm();
  ASSERT_EQ(WaitForSingleObject(entered.Get(), 30000), WAIT_OBJECT_0) << "the run never reached the engine's read";

  const ULONGLONG asked = GetTickCount64();
  if (GetParam() == LeaveBy::Quit) {
    window.ChooseMenu(shell::kQuitCommand);
  } else {
    window.RequestClose();
  }
  // Shutdown waits a few seconds for the worker; twenty only rule out a hang.
  const std::optional<DWORD> exitCode = program.WaitForExit(20000);
  ASSERT_TRUE(exitCode) << "the program did not end with its worker stuck";
  EXPECT_EQ(*exitCode, 0u);
  ::testing::Test::RecordProperty("ms_to_exit", std::to_string(GetTickCount64() - asked));
}

INSTANTIATE_TEST_SUITE_P(Ways, StuckEngineProgram, ::testing::Values(LeaveBy::Quit, LeaveBy::CloseRequest),
                         [](const auto& way) { return way.param == LeaveBy::Quit ? "Quit" : "CloseRequest"; });

}  // namespace
