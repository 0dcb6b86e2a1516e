// Fills a folder with generated click tracks at a few dance tempi, named for their
// tempo (click-124bpm.wav), loads it into the running TempoScout through its own menu
// and dialog, presses Find BPM and waits for the run to finish: the scene of the
// README's screenshot.
#include "tests/audioengine/TestAudio.h"
#include "tests/shell/ProgramDriver.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Track {
  const char* name;
  int periodMs;
};

// 5 ms clicks every periodMs over faint noise, 16-bit stereo at 44.1 kHz.
void WriteTrack(const std::string& path, int periodMs, double seconds) {
  testaudio::WriteClickWav(path,
                           {.periodMs = static_cast<double>(periodMs), .seconds = seconds, .noiseAmplitude = 150});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: screenshot_driver FOLDER RESULT_FILE\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::string resultFile = argv[2];
  const std::vector<Track> tracks = {
      {"click-124bpm.wav", 484}, {"click-130bpm.wav", 462}, {"click-174bpm.wav", 345},
      {"click-90bpm.wav", 667},  {"click-100bpm.wav", 600}, {"click-118bpm.wav", 508},
  };
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const Track& track : tracks) {
    WriteTrack(folder + "\\" + track.name, track.periodMs, 45.0);
  }

  // Started by the script on the same desktop, not by this process.
  const shell_test::MainWindowDriver window = shell_test::FindMainWindow();
  if (!window) {
    std::fprintf(stderr, "screenshot_driver: no TempoScout window\n");
    return 1;
  }
  if (!window.LoadFolder(folder)) {
    std::fprintf(stderr, "screenshot_driver: the folder dialog did not appear or did not close\n");
    return 1;
  }
  window.PressFindBpm();
  // Done when the label has said "... done" for a while: the next row would have
  // replaced it with "Calculating ..." at once.
  std::string last;
  DWORD steadyMs = 0;
  for (int waitedMs = 0; waitedMs < 120000 && steadyMs < 2000; waitedMs += 50) {
    Sleep(50);
    const std::string status = window.Status();
    const bool done = status.size() > 5 && status.compare(status.size() - 5, 5, " done") == 0;
    steadyMs = (done && status == last) ? steadyMs + 50 : 0;
    last = status;
  }
  // Run on another desktop, the driver's exit code does not reach the caller; the
  // file written last tells it that the run is over and how it ended.
  const bool finished = steadyMs >= 2000;
  testaudio::WriteFile(resultFile, testaudio::Bytes(last.begin(), last.end()));
  std::printf("%s\n", last.c_str());
  return finished ? 0 : 1;
}
