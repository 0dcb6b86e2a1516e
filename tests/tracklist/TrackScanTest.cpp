// The folder scans on real folder trees: rows in listing and descent order, a link back
// to an ancestor, and folders that cannot be listed reported with the system's reason.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/TestHelpers.h"
#include "tracklist/TrackScan.h"

namespace {

class RecordingSink final : public tracklist::TrackSink {
 public:
  void AppendRow(const std::string& path) override { rows.push_back(path); }
  void TakeTurn() override { ++turns; }
  void FolderNotListed(const std::string& folder, const std::string& reason) override {
    unlisted.push_back(folder + ": " + reason);
  }
  std::vector<std::string> rows;
  std::vector<std::string> unlisted;
  int turns = 0;
};

class TrackScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = dir_.File("tree");
    for (const char* folder : {"tree/sub/deeper", "tree/empty"}) std::filesystem::create_directories(dir_.File(folder));
    for (const char* file : {"tree/a.MP3", "tree/b.wav", "tree/notes.txt", "tree/sub/c.wav", "tree/sub/deeper/d.mp3"}) {
      testaudio::WriteFile(dir_.File(file), {});
    }
    std::filesystem::create_directory_symlink("..", dir_.File("tree/sub/deeper/loop"));
  }
  static std::vector<std::string> Sorted(std::vector<std::string> items) {
    std::sort(items.begin(), items.end());
    return items;
  }

  testaudio::ScratchDir dir_;
  std::string root_;
};

TEST_F(TrackScanTest, FileIsTakenAsItIs) {
  RecordingSink sink;
  tracklist::CollectTracks(sink, root_ + "/missing.wav", true, tracklist::EntryOrder::kListing);
  EXPECT_EQ(sink.rows, (std::vector<std::string>{root_ + "/missing.wav"}));
  EXPECT_TRUE(sink.unlisted.empty());
}

TEST_F(TrackScanTest, FlatScanListsTheAudioFilesOfOneFolder) {
  RecordingSink sink;
  tracklist::CollectTracks(sink, root_, false, tracklist::EntryOrder::kListing);
  EXPECT_EQ(Sorted(sink.rows), (std::vector<std::string>{root_ + "/a.MP3", root_ + "/b.wav"}));
  EXPECT_EQ(sink.turns, 0);
}

TEST_F(TrackScanTest, RecursiveScanEndsAtTheLinkBackToAnAncestor) {
  RecordingSink sink;
  tracklist::CollectTracks(sink, root_, true, tracklist::EntryOrder::kListing);
  EXPECT_EQ(Sorted(sink.rows), (std::vector<std::string>{root_ + "/a.MP3", root_ + "/b.wav", root_ + "/sub/c.wav",
                                                         root_ + "/sub/deeper/d.mp3"}));
  EXPECT_TRUE(sink.unlisted.empty());
  EXPECT_GT(sink.turns, 0);
}

// By name: byte order of the UTF-8 names, files of a folder before its sub-folders;
// in listing order: the order the system's listing gives.
TEST_F(TrackScanTest, EntriesComeByNameOrInListingOrder) {
  const std::string umlaut = "\xC3\x84.wav";
  for (const std::string& file :
       std::vector<std::string>{"tree/b2.wav", "tree/B.wav", "tree/" + umlaut, "tree/Sub/e.wav"}) {
    std::filesystem::create_directories(std::filesystem::path(dir_.File(file)).parent_path());
    testaudio::WriteFile(dir_.File(file), {});
  }
  const std::vector<std::string> flat = {root_ + "/B.wav", root_ + "/a.MP3", root_ + "/b.wav", root_ + "/b2.wav",
                                         root_ + "/" + umlaut};
  std::vector<std::string> tree = flat;
  tree.insert(tree.end(), {root_ + "/Sub/e.wav", root_ + "/sub/c.wav", root_ + "/sub/deeper/d.mp3"});
  RecordingSink flatSink, treeSink, listingSink;
  tracklist::CollectTracks(flatSink, root_, false, tracklist::EntryOrder::kByName);
  tracklist::CollectTracks(treeSink, root_, true, tracklist::EntryOrder::kByName);
  EXPECT_EQ(flatSink.rows, flat);
  EXPECT_EQ(treeSink.rows, tree);

  tracklist::CollectTracks(listingSink, root_, false, tracklist::EntryOrder::kListing);
  std::vector<std::string> listed;
  for (const auto& entry : std::filesystem::directory_iterator(root_)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && tracklist::PassesAudioNameTest(name)) listed.push_back(root_ + "/" + name);
  }
  EXPECT_EQ(listingSink.rows, listed);
}

TEST_F(TrackScanTest, FolderPastThePathLimitIsReportedWithTheSystemsReason) {
  // Each name is allowed; together they pass the limit of a path the system opens. They
  // are made one inside the other from within, which no path limit stops.
  const std::filesystem::path start = std::filesystem::current_path();
  std::filesystem::current_path(root_ + "/sub");
  const std::string name(200, 'x');
  size_t length = root_.size() + 4;
  for (int level = 0; level < 22; ++level, length += name.size() + 1) {
    ASSERT_EQ(mkdir(name.c_str(), 0755), 0);
    ASSERT_EQ(chdir(name.c_str()), 0);
  }
  std::filesystem::current_path(start);
  ASSERT_GT(length, 4096u);
  RecordingSink sink;
  tracklist::CollectTracks(sink, root_, true, tracklist::EntryOrder::kListing);
  ASSERT_EQ(sink.unlisted.size(), 1u);
  EXPECT_EQ(sink.unlisted.front().rfind(root_ + "/sub/" + name, 0), 0u);
  EXPECT_NE(sink.unlisted.front().find(": File name too long"), std::string::npos) << sink.unlisted.front();
  // The files found before and after the folder stay in the list.
  EXPECT_EQ(sink.rows.size(), 4u);
}

}  // namespace

namespace {

struct ExtensionCase {
  const char* name;
  bool anyAudio;  // one of every extension the engine decodes
  bool window;    // one of the window's two
};

class AudioExtensionTest : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(AudioExtensionTest, NamesAreTestedAgainstTheFullListAndTheWindowsSubset) {
  EXPECT_EQ(tracklist::HasExtensionIn(GetParam().name, tracklist::kAudioExtensions), GetParam().anyAudio);
  EXPECT_EQ(tracklist::PassesAudioNameTest(GetParam().name), GetParam().window);
}

INSTANTIATE_TEST_SUITE_P(Names, AudioExtensionTest,
                         ::testing::Values(ExtensionCase{"a.mp3", true, true}, ExtensionCase{"A.WAV", true, true},
                                           ExtensionCase{"a.FLAC", true, false}, ExtensionCase{"a.opus", true, false},
                                           ExtensionCase{"a.aifc", true, false}, ExtensionCase{"a.wv", true, false},
                                           ExtensionCase{"a.flac.txt", false, false},
                                           ExtensionCase{"aflac", false, false},
                                           ExtensionCase{"a.ogg ", false, false}, ExtensionCase{"", false, false}));

TEST(AudioExtensions, FoundByNameWithOrWithoutTheDot) {
  EXPECT_EQ(tracklist::FindAudioExtension("FLAC"), ".flac");
  EXPECT_EQ(tracklist::FindAudioExtension(".m4a"), ".m4a");
  EXPECT_EQ(tracklist::FindAudioExtension("txt"), "");
  EXPECT_EQ(tracklist::FindAudioExtension(""), "");
  EXPECT_EQ(tracklist::FindAudioExtension("."), "");
  EXPECT_EQ(tracklist::FindAudioExtension("fla"), "");
}

// A sink of the command-line kind scans by its own list of extensions.
class OggSink final : public tracklist::TrackSink {
 public:
  void AppendRow(const std::string& path) override { rows.push_back(path); }
  void TakeTurn() override {}
  void FolderNotListed(const std::string&, const std::string&) override {}
  bool TakesName(std::string_view name) override {
    static constexpr std::string_view kOgg[] = {".ogg"};
    return tracklist::HasExtensionIn(name, kOgg);
  }
  std::vector<std::string> rows;
};

TEST(TrackScanSink, ScansTakeTheNamesTheSinkTakes) {
  testaudio::ScratchDir dir;
  std::filesystem::create_directories(dir.File("f/sub"));
  for (const char* file : {"f/a.ogg", "f/b.mp3", "f/sub/c.OGG", "f/sub/d.wav"}) {
    testaudio::WriteFile(dir.File(file), {});
  }
  OggSink flat, tree;
  tracklist::CollectTracks(flat, dir.File("f"), false, tracklist::EntryOrder::kListing);
  tracklist::CollectTracks(tree, dir.File("f"), true, tracklist::EntryOrder::kListing);
  EXPECT_EQ(flat.rows, (std::vector<std::string>{dir.File("f") + "/a.ogg"}));
  std::sort(tree.rows.begin(), tree.rows.end());
  EXPECT_EQ(tree.rows, (std::vector<std::string>{dir.File("f") + "/a.ogg", dir.File("f") + "/sub/c.OGG"}));
}

}  // namespace
