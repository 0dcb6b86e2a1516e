// The command-line tool's entry-point memory: each entry point is searched once per
// thread, and nothing found before a library closed is handed out afterwards.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>

#include "engine/CachingLoader.h"

namespace {

void EntryA() {}
void EntryB() {}

// Counts the searches; the symbol found depends on the library, so a stale answer shows.
class CountingLoader final : public engine::LibraryLoader {
 public:
  uintptr_t Open(const char*) override { return nextLibrary++; }
  void Close(uintptr_t) override {}
  Symbol Find(uintptr_t library, const char* name) override {
    ++searches[name];
    return library % 2 == 1 ? &EntryA : &EntryB;
  }
  std::map<std::string, int> searches;
  uintptr_t nextLibrary = 1;
};

TEST(CachingLoader, SearchesEachEntryPointOncePerThreadUntilALibraryCloses) {
  CountingLoader inner;
  engine::CachingLibraryLoader loader(inner);
  const uintptr_t library = loader.Open("one");
  for (int call = 0; call < 5; ++call) {
    EXPECT_EQ(loader.Find(library, "BASS_ChannelGetData"), &EntryA);
    EXPECT_EQ(loader.Find(library, "BASS_ChannelIsActive"), &EntryA);
  }
  EXPECT_EQ(inner.searches["BASS_ChannelGetData"], 1);
  EXPECT_EQ(inner.searches["BASS_ChannelIsActive"], 1);

  // Another thread keeps its own memory.
  std::thread([&] { EXPECT_EQ(loader.Find(library, "BASS_ChannelGetData"), &EntryA); }).join();
  EXPECT_EQ(inner.searches["BASS_ChannelGetData"], 2);

  // A closed reference may come back for another library: nothing remembered is reused.
  loader.Close(library);
  const uintptr_t other = loader.Open("two");
  EXPECT_EQ(loader.Find(other, "BASS_ChannelGetData"), &EntryB);
  EXPECT_EQ(inner.searches["BASS_ChannelGetData"], 3);
}

}  // namespace
