// libFuzzer target for the whole path a user's file takes: the bytes become a file that
// the batch driver has analysed as the program does it, through the engine binding, the
// engine's decoders and tempo stream and both analysis passes (the second with the gain
// stage), and whose tempi it writes into a list of one row. The engine is linked in; a
// library loader hands the binding its entry points instead of loading the libraries.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <unistd.h>

#include "audioengine/EngineApi.h"
#include "engine/EngineBinding.h"
#include "tempo/BatchDriver.h"
#include "tempo/GainStage.h"
#include "tempo/TrackAnalysis.h"

// The analysis names, wherever they are declared.
using namespace tempo;

namespace {

// The two engine libraries, resolved to the functions linked into this program.
class LinkedEngineLoader final : public engine::LibraryLoader {
 public:
  uintptr_t Open(const char* fileName) override {
    if (std::strcmp(fileName, engine::kEngineLibraryName) == 0) return kEngine;
    if (std::strcmp(fileName, engine::kEngineFxLibraryName) == 0) return kEngineFx;
    return 0;
  }

  Symbol Find(uintptr_t library, const char* name) override {
    struct Entry {
      uintptr_t library;
      const char* name;
      Symbol symbol;
    };
    static const Entry kEntries[] = {
        {kEngine, "BASS_Init", reinterpret_cast<Symbol>(&::BASS_Init)},
        {kEngine, "BASS_Free", reinterpret_cast<Symbol>(&::BASS_Free)},
        {kEngine, "BASS_SetVolume", reinterpret_cast<Symbol>(&::BASS_SetVolume)},
        {kEngine, "BASS_ErrorGetCode", reinterpret_cast<Symbol>(&::BASS_ErrorGetCode)},
        {kEngine, "BASS_StreamCreateFile", reinterpret_cast<Symbol>(&::BASS_StreamCreateFile)},
        {kEngine, "BASS_StreamFree", reinterpret_cast<Symbol>(&::BASS_StreamFree)},
        {kEngine, "BASS_ChannelSetAttributes", reinterpret_cast<Symbol>(&::BASS_ChannelSetAttributes)},
        {kEngine, "BASS_ChannelSetDSP", reinterpret_cast<Symbol>(&::BASS_ChannelSetDSP)},
        {kEngine, "BASS_ChannelRemoveDSP", reinterpret_cast<Symbol>(&::BASS_ChannelRemoveDSP)},
        {kEngine, "BASS_ChannelGetLength", reinterpret_cast<Symbol>(&::BASS_ChannelGetLength)},
        {kEngine, "BASS_ChannelSetPosition", reinterpret_cast<Symbol>(&::BASS_ChannelSetPosition)},
        {kEngine, "BASS_ChannelGetPosition", reinterpret_cast<Symbol>(&::BASS_ChannelGetPosition)},
        {kEngine, "BASS_ChannelIsActive", reinterpret_cast<Symbol>(&::BASS_ChannelIsActive)},
        {kEngine, "BASS_ChannelGetData", reinterpret_cast<Symbol>(&::BASS_ChannelGetData)},
        {kEngineFx, "BASS_FX_TempoCreate", reinterpret_cast<Symbol>(&::BASS_FX_TempoCreate)},
    };
    for (const Entry& entry : kEntries) {
      if (entry.library == library && std::strcmp(entry.name, name) == 0) return entry.symbol;
    }
    return nullptr;
  }

  void Close(uintptr_t) override {}

 private:
  static constexpr uintptr_t kEngine = 1;
  static constexpr uintptr_t kEngineFx = 2;
};

// Gives up once a pass has read more chunks than kMaxSeconds of audio, so that one
// input stays well under a second however long the audio its bytes decode to.
class BoundedHost final : public QuietAnalysisHost {
 public:
  static constexpr uint32_t kMaxSeconds = 8;
  bool ShouldStop() override {
    return ++chunks_ > kMaxSeconds * static_cast<uint32_t>(kFramesPerSecond) * kBytesPerFrame / kChunkBytes;
  }
  void Restart() { chunks_ = 0; }

 private:
  uint32_t chunks_ = 0;
};

// Whether an analysis result is empty or "P|A" with two non-negative whole numbers.
bool IsWellFormed(std::string_view result) {
  if (result.empty()) return true;
  const size_t bar = result.find('|');
  if (bar == std::string_view::npos || bar == 0 || bar + 1 == result.size()) return false;
  for (size_t i = 0; i < result.size(); ++i) {
    if (i != bar && (result[i] < '0' || result[i] > '9')) return false;
  }
  return true;
}

// A tempo as the list shows it: digits, a point, two decimals.
bool IsTempoText(std::string_view text) {
  const size_t point = text.find('.');
  if (point == std::string_view::npos || point == 0 || text.size() - point != 3) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i != point && (text[i] < '0' || text[i] > '9')) return false;
  }
  return true;
}

// Runs both passes on the batch driver's first call, so that the gain stage sees every
// input and not only those the first pass finds no beat in; the driver's retry gets the
// second pass's result from then.
class BothPassesAnalyser final : public TrackAnalyser {
 public:
  explicit BothPassesAnalyser(BoundedHost& host) : host_(host) {}

  std::string Analyse(const std::string& path, int withGainStage) override {
    if (withGainStage != 0) return withGainStage_;
    host_.Restart();
    std::string plain = AnalyseTrack(path, 0, host_);
    host_.Restart();
    withGainStage_ = AnalyseTrack(path, 1, host_);
    if (show_) std::fprintf(stderr, "pass 0: \"%s\"\npass 1: \"%s\"\n", plain.c_str(), withGainStage_.c_str());
    if (!IsWellFormed(plain) || !IsWellFormed(withGainStage_)) __builtin_trap();
    return plain;
  }

 private:
  BoundedHost& host_;
  std::string withGainStage_;
  // TEMPOSCOUT_FUZZ_SHOW=1 prints each pass's result, to look at a seed or a reproducer.
  const bool show_ = std::getenv("TEMPOSCOUT_FUZZ_SHOW") != nullptr;
};

// A list of one file whose row must be written once, with two tempo texts.
class OneFileList final : public BatchHost {
 public:
  explicit OneFileList(const std::string& path) : path_(path) {}

  int RowCount() override { return 1; }
  std::string RowPath(int row) override { return row == 0 ? path_ : std::string(); }
  bool WriteTempi(int row, uint64_t, const std::string& primary, const std::string& alternative) override {
    if (row != 0 || written || !IsTempoText(primary) || !IsTempoText(alternative)) __builtin_trap();
    written = true;
    return true;
  }
  void SetStatus(const std::string&) override {}
  uint64_t ListGeneration() override { return 0; }
  bool StopRequested() override { return false; }

  bool written = false;

 private:
  const std::string& path_;
};

// The file each input is written to, one per fuzzing process; removed at exit.
const std::string& InputPath() {
  static const std::string path = "/tmp/temposcout-analysis-fuzz-" + std::to_string(getpid()) + ".bin";
  return path;
}

void RemoveInputFile() {
  std::remove(InputPath().c_str());
}

// Start-up as the program does it: engine libraries, the gain curve, the engine.
bool StartUp() {
  InputPath();
  std::atexit(&RemoveInputFile);
  static LinkedEngineLoader loader;
  engine::SetLibraryLoader(&loader);
  if (engine::LoadEngine() == 0 || engine::LoadEngineFx() == 0) return false;
  if (InitGainCurve() != 1) return false;
  engine::BASS_Init(-1, 44100, 0, nullptr, nullptr);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = StartUp();
  if (!started) __builtin_trap();

  const std::string& path = InputPath();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  const size_t written = std::fwrite(data, 1, size, file);
  if (std::fclose(file) != 0 || written != size) return 0;

  BoundedHost host;
  BothPassesAnalyser analyser(host);
  OneFileList list(path);
  RunBatch(list, analyser);
  if (!list.written) __builtin_trap();
  return 0;
}
