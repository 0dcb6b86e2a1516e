// Sets the scene of one of the README's screenshots in the running TempoScout: waits
// for its main window, or loads a folder of tracks through its own menu and dialog,
// presses Find BPM and waits for the run to finish. The folder holds music put there
// by the calling script, or generated click tracks named for their tempo
// (click-124bpm.wav).
#include "testaudio/TestAudio.h"
#include "tests/shell/ProgramDriver.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Track {
  const char* name;
  int periodMs;
};

// 5 ms clicks every periodMs over faint noise, 16-bit stereo at 44.1 kHz.
void WriteClickTracks(const std::string& folder) {
  const std::vector<Track> tracks = {
      {"click-124bpm.wav", 484}, {"click-130bpm.wav", 462}, {"click-174bpm.wav", 345},
      {"click-90bpm.wav", 667},  {"click-100bpm.wav", 600}, {"click-118bpm.wav", 508},
  };
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const Track& track : tracks) {
    testaudio::WriteClickWav(folder + "\\" + track.name,
                             {.periodMs = static_cast<double>(track.periodMs), .seconds = 45.0, .noiseAmplitude = 150});
  }
}

// Done when the label has said "... done" for two seconds: the next row would have
// replaced it with "Calculating ..." at once. Returns the last status seen.
std::string WaitForRunEnd(const shell_test::MainWindowDriver& window, bool& finished) {
  std::string last;
  DWORD steadyMs = 0;
  for (int waitedMs = 0; waitedMs < 300000 && steadyMs < 2000; waitedMs += 50) {
    Sleep(50);
    const std::string status = window.Status();
    const bool done = status.size() > 5 && status.compare(status.size() - 5, 5, " done") == 0;
    steadyMs = (done && status == last) ? steadyMs + 50 : 0;
    last = status;
  }
  finished = steadyMs >= 2000;
  return last;
}

}  // namespace

int main(int argc, char** argv) {
  const bool clickTracks = argc == 4 && std::strcmp(argv[3], "--click-tracks") == 0;
  if (argc < 2 || argc > 4 || (argc == 4 && !clickTracks)) {
    std::fprintf(stderr,
                 "usage: screenshot_driver RESULT_FILE                 wait for the main window\n"
                 "       screenshot_driver RESULT_FILE FOLDER          load FOLDER and find its tempi\n"
                 "       screenshot_driver RESULT_FILE FOLDER --click-tracks\n"
                 "                                                     the same on generated click tracks\n");
    return 2;
  }
  const std::string resultFile = argv[1];
  const std::string folder = argc >= 3 ? argv[2] : "";
  if (clickTracks) {
    WriteClickTracks(folder);
  }

  // Started by the script on the same desktop, not by this process.
  const shell_test::MainWindowDriver window = shell_test::FindMainWindow();
  if (!window) {
    std::fprintf(stderr, "screenshot_driver: no TempoScout window\n");
    return 1;
  }
  std::string outcome = "ready";
  bool finished = true;
  if (!folder.empty()) {
    if (!window.LoadFolder(folder)) {
      std::fprintf(stderr, "screenshot_driver: the folder dialog did not appear or did not close\n");
      return 1;
    }
    window.PressFindBpm();
    outcome = WaitForRunEnd(window, finished);
    // The list as the screenshot shows it, one row a line: file, primary, alternative.
    const std::vector<std::string> files = window.Rows(0);
    const std::vector<std::string> primary = window.Rows(1);
    const std::vector<std::string> alternative = window.Rows(2);
    for (size_t row = 0; row < files.size() && row < primary.size() && row < alternative.size(); ++row) {
      outcome += "\n" + files[row] + "\t" + primary[row] + "\t" + alternative[row];
    }
  }
  // Run on another desktop, the driver's exit code does not reach the caller; the
  // file written last tells it that the scene is set and how a run ended (the status
  // label first, then the rows).
  testaudio::WriteFile(resultFile, testaudio::Bytes(outcome.begin(), outcome.end()));
  std::printf("%s\n", outcome.c_str());
  return finished ? 0 : 1;
}
