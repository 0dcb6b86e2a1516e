// The binding with a fake loader: missing library, missing entry point, per-call
// lookup, 32/64-bit value passing, and FreeEngine/UnloadEngineFx run twice.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "audioengine/EngineApi.h"
#include "engine/EngineBinding.h"
#include "engine/EngineSession.h"
#include "platform/Paths.h"

namespace {

// The binding's call types are exactly the types our engine exports.
static_assert(std::is_same_v<decltype(&::BASS_Init), engine::abi::InitFn>);
static_assert(std::is_same_v<decltype(&::BASS_Free), engine::abi::FreeFn>);
static_assert(std::is_same_v<decltype(&::BASS_StreamCreateFile), engine::abi::StreamCreateFileFn>);
static_assert(std::is_same_v<decltype(&::BASS_StreamFree), engine::abi::StreamFreeFn>);
static_assert(std::is_same_v<decltype(&::BASS_SetVolume), engine::abi::SetVolumeFn>);
static_assert(std::is_same_v<decltype(&::BASS_ErrorGetCode), engine::abi::ErrorGetCodeFn>);
static_assert(engine::kEngineErrorFileOpen == BASS_ERROR_FILEOPEN &&
              engine::kEngineErrorFileForm == BASS_ERROR_FILEFORM);
static_assert(std::is_same_v<decltype(&::BASS_FX_TempoCreate), engine::abi::TempoCreateFn>);
static_assert(std::is_same_v<decltype(&::BASS_ChannelSetAttributes), engine::abi::ChannelSetAttributesFn>);
static_assert(std::is_same_v<decltype(&::BASS_ChannelSetDSP), engine::abi::ChannelSetDspFn>);
static_assert(std::is_same_v<decltype(&::BASS_ChannelGetLength), engine::abi::ChannelGetLengthFn>);
static_assert(std::is_same_v<decltype(&::BASS_ChannelSetPosition), engine::abi::ChannelSetPositionFn>);
static_assert(std::is_same_v<decltype(&::BASS_ChannelIsActive), engine::abi::ChannelIsActiveFn>);
static_assert(std::is_same_v<decltype(&::BASS_ChannelGetData), engine::abi::ChannelGetDataFn>);
static_assert(std::is_same_v<decltype(&::BASS_ChannelGetPosition), engine::abi::ChannelGetPositionFn>);

// What the fake engine saw.
struct Calls {
  int free = 0;
  uint32_t channel = 0;
  uint64_t position = 0;
  uint64_t offset = 0;
  uint64_t length = 0;
  std::string file;
  // Loads, initialisation, frees and closes, in order.
  std::vector<std::string> events;
} gCalls;

int FakeFree() {
  gCalls.events.push_back("BASS_Free");
  return ++gCalls.free;
}
int FakeInit(int32_t device, uint32_t freq, uint32_t flags, void* window, const void* classId) {
  gCalls.events.push_back("BASS_Init " + std::to_string(device) + " " + std::to_string(freq) + " " +
                          std::to_string(flags) + (window == nullptr ? " null" : " window") +
                          (classId == nullptr ? " null" : " class"));
  return 1;
}
uint64_t FakeGetLength(uint32_t channel) {
  gCalls.channel = channel;
  return 0x1'8765'4321ull;
}
uint64_t FakeGetPosition(uint32_t) {
  return 0x2'0000'0010ull;
}
int FakeSetPosition(uint32_t channel, uint64_t position) {
  gCalls.channel = channel;
  gCalls.position = position;
  return 1;
}
uint32_t FakeCreateFile(int, const void* file, uint64_t offset, uint64_t length, uint32_t flags) {
  gCalls.file = static_cast<const char*>(file);
  gCalls.offset = offset;
  gCalls.length = length;
  return flags == 0x200000 ? 77 : 0;
}
uint32_t FakeGetData(uint32_t, void*, uint32_t) {
  return 0xFFFFFFFFu;
}
uint32_t FakeTempoCreate(uint32_t channel, uint32_t) {
  return channel + 1;
}

class FakeLoader final : public engine::LibraryLoader {
 public:
  FakeLoader() {
    Export(kEngine, "BASS_Free", FakeFree);
    Export(kEngine, "BASS_Init", FakeInit);
    Export(kEngine, "BASS_ChannelGetLength", FakeGetLength);
    Export(kEngine, "BASS_ChannelGetPosition", FakeGetPosition);
    Export(kEngine, "BASS_ChannelSetPosition", FakeSetPosition);
    Export(kEngine, "BASS_StreamCreateFile", FakeCreateFile);
    Export(kEngine, "BASS_ChannelGetData", FakeGetData);
    Export(kFx, "BASS_FX_TempoCreate", FakeTempoCreate);
  }

  template <typename Fn>
  void Export(uintptr_t library, const std::string& name, Fn fn) {
    exports[{library, name}] = reinterpret_cast<Symbol>(fn);
  }

  uintptr_t Open(const char* fileName) override {
    ++opens;
    const std::string name = fileName;
    gCalls.events.push_back("open " + name);
    if (name == engine::kEngineLibraryName && haveEngine) return kEngine;
    if (name == engine::kEngineFxLibraryName && haveFx) return kFx;
    return 0;
  }
  Symbol Find(uintptr_t library, const char* name) override {
    ++finds;
    auto found = exports.find({library, name});
    return found == exports.end() ? nullptr : found->second;
  }
  void Close(uintptr_t library) override {
    closed.push_back(library);
    gCalls.events.push_back(library == kEngine ? "close engine" : "close fx");
  }

  static constexpr uintptr_t kEngine = 0x1000;
  static constexpr uintptr_t kFx = 0x2000;
  bool haveEngine = true;
  bool haveFx = true;
  int opens = 0;
  int finds = 0;
  std::vector<uintptr_t> closed;
  std::map<std::pair<uintptr_t, std::string>, Symbol> exports;
};

class Binding : public ::testing::Test {
 protected:
  void SetUp() override {
    gCalls = Calls{};
    engine::SetLibraryLoader(&loader_);
  }
  void TearDown() override {
    engine::FreeEngine();
    engine::UnloadEngineFx();
    engine::SetLibraryLoader(nullptr);
  }
  FakeLoader loader_;
};

TEST_F(Binding, MissingEngineLibraryMakesEveryOperationYieldZero) {
  loader_.haveEngine = false;
  EXPECT_EQ(engine::LoadEngine(), 0u);
  EXPECT_EQ(engine::LoadEngineFx(), FakeLoader::kFx);
  int16_t buffer[2];
  EXPECT_EQ(engine::BASS_Init(-1, 44100, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(engine::BASS_StreamCreateFile(0, "a.mp3", 0, 0, 0x200000), 0u);
  EXPECT_EQ(engine::BASS_SetVolume(100), 0u);
  EXPECT_EQ(engine::BASS_ChannelGetLength(5), 0u);
  EXPECT_EQ(engine::BASS_ChannelGetData(5, buffer, 4), 0u);
  EXPECT_EQ(engine::BASS_ChannelGetPosition(5), 0u);
  EXPECT_EQ(engine::BASS_ChannelSetPosition(5, 0), 0u);
  EXPECT_EQ(engine::BASS_ChannelIsActive(5), 0u);
  EXPECT_EQ(engine::BASS_StreamFree(5), 0u);
  EXPECT_EQ(gCalls.channel, 0u);
  // The add-on still answers.
  EXPECT_EQ(engine::BASS_FX_TempoCreate(5, 0x200000), 6u);
  EXPECT_EQ(engine::FreeEngine(), 0);
  EXPECT_EQ(gCalls.free, 0);
}

TEST_F(Binding, MissingEntryPointMakesOnlyThatOperationYieldZero) {
  ASSERT_NE(engine::LoadEngine(), 0u);
  loader_.exports.erase({FakeLoader::kEngine, "BASS_ChannelGetLength"});
  EXPECT_EQ(engine::BASS_ChannelGetLength(9), 0u);
  EXPECT_EQ(gCalls.channel, 0u);
  EXPECT_EQ(engine::BASS_ChannelGetPosition(9), 0x2'0000'0010ull);
}

TEST_F(Binding, EveryCallLooksTheNameUpAgain) {
  ASSERT_NE(engine::LoadEngine(), 0u);
  const int before = loader_.finds;
  engine::BASS_ChannelGetLength(1);
  engine::BASS_ChannelGetLength(1);
  EXPECT_EQ(loader_.finds - before, 2);
  // An entry point taken away between two calls is noticed by the second.
  loader_.exports.erase({FakeLoader::kEngine, "BASS_ChannelGetLength"});
  EXPECT_EQ(engine::BASS_ChannelGetLength(1), 0u);
}

TEST_F(Binding, SixtyFourBitLengthsAndPositionsPassWhole) {
  ASSERT_NE(engine::LoadEngine(), 0u);
  EXPECT_EQ(engine::BASS_ChannelGetLength(3), 0x1'8765'4321ull);
  EXPECT_EQ(engine::BASS_ChannelGetPosition(3), 0x2'0000'0010ull);
  gCalls.position = 0xDEAD;
  EXPECT_EQ(engine::BASS_ChannelSetPosition(4, 0), 1u);
  EXPECT_EQ(gCalls.channel, 4u);
  EXPECT_EQ(gCalls.position, 0u);
  EXPECT_EQ(engine::BASS_ChannelSetPosition(4, 0xFFFFFFF0u), 1u);
  EXPECT_EQ(gCalls.position, 0xFFFFFFF0ull);
  EXPECT_EQ(engine::BASS_ChannelSetPosition(4, 0x3'0000'0004ull), 1u);
  EXPECT_EQ(gCalls.position, 0x3'0000'0004ull);
  EXPECT_EQ(engine::BASS_StreamCreateFile(0, "C:\\music\\a.mp3", 0, 0, 0x200000), 77u);
  EXPECT_EQ(gCalls.file, "C:\\music\\a.mp3");
  EXPECT_EQ(gCalls.offset, 0u);
  EXPECT_EQ(gCalls.length, 0u);
  int16_t buffer[2];
  EXPECT_EQ(engine::BASS_ChannelGetData(1, buffer, 4), 0xFFFFFFFFu);
}

TEST_F(Binding, FreeEngineTwiceCallsBassFreeOnce) {
  ASSERT_NE(engine::LoadEngine(), 0u);
  ASSERT_NE(engine::LoadEngineFx(), 0u);
  EXPECT_EQ(engine::FreeEngine(), 0);
  EXPECT_EQ(engine::FreeEngine(), 0);
  EXPECT_EQ(gCalls.free, 1);
  EXPECT_EQ(engine::UnloadEngineFx(), 0);
  EXPECT_EQ(engine::UnloadEngineFx(), 0);
  EXPECT_EQ(loader_.closed, (std::vector<uintptr_t>{FakeLoader::kEngine, FakeLoader::kFx}));
  // Afterwards nothing reaches either library, and nothing is looked up.
  const int finds = loader_.finds;
  EXPECT_EQ(engine::BASS_ChannelGetLength(1), 0u);
  EXPECT_EQ(engine::BASS_FX_TempoCreate(1, 0), 0u);
  EXPECT_EQ(loader_.finds, finds);
  EXPECT_EQ(engine::EngineLibrary(), 0u);
  EXPECT_EQ(engine::EngineFxLibrary(), 0u);
}

TEST_F(Binding, CallByNameRefusesReferencesThatAreNotOpen) {
  ASSERT_NE(engine::LoadEngine(), 0u);
  EXPECT_EQ(engine::CallByName<engine::abi::ChannelGetLengthFn>(0x3000, "BASS_ChannelGetLength", 1u), 0u);
  EXPECT_EQ(engine::CallByName<engine::abi::ChannelGetLengthFn>(0, "BASS_ChannelGetLength", 1u), 0u);
  EXPECT_EQ(engine::CallByName<engine::abi::ChannelGetLengthFn>(FakeLoader::kEngine, "BASS_ChannelGetLength", 1u),
            0x1'8765'4321ull);
  EXPECT_EQ(engine::CallByName<engine::abi::FreeFn>(FakeLoader::kEngine, "BASS_NoSuchEntry"), 0);
}

// A session loads the engine, then the add-on; initialises on the window it is given;
// and on its end frees the engine before closing it, then closes the add-on.
TEST_F(Binding, SessionRunsTheEngineFromLoadToUnloadInOrder) {
  int window = 0;
  {
    engine::EngineSession session;
    EXPECT_TRUE(session.EngineLoaded());
    EXPECT_TRUE(session.EngineFxLoaded());
    EXPECT_TRUE(session.MissingLibraries().empty());
    EXPECT_EQ(session.Initialise(&window), 1u);
  }
  const std::vector<std::string> expected = {"open " + std::string(engine::kEngineLibraryName),
                                             "open " + std::string(engine::kEngineFxLibraryName),
                                             "BASS_Init -1 44100 0 window null",
                                             "BASS_Free",
                                             "close engine",
                                             "close fx"};
  EXPECT_EQ(gCalls.events, expected);
  EXPECT_EQ(engine::EngineLibrary(), 0u);
  EXPECT_EQ(engine::EngineFxLibrary(), 0u);
}

TEST_F(Binding, SessionNamesTheLibraryThatDidNotLoadAndWhereItLooked) {
  loader_.haveFx = false;
  engine::EngineSession session;
  EXPECT_TRUE(session.EngineLoaded());
  EXPECT_FALSE(session.EngineFxLoaded());
  const std::vector<engine::MissingLibrary> missing = session.MissingLibraries();
  ASSERT_EQ(missing.size(), 1u);
  EXPECT_EQ(missing[0].fileName, engine::kEngineFxLibraryName);
  EXPECT_EQ(missing[0].programFolder, platform::ModuleFolder());
  EXPECT_FALSE(missing[0].programFolder.empty());
}

}  // namespace
