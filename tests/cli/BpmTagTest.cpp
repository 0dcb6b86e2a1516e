// The BPM tag writer: tags read back by an independent reader (mutagen), every other frame,
// chunk and audio sample kept, and the skip, dry-run and read-only cases left untouched.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include "tags/BpmTag.h"
#include "tests/TestHelpers.h"
#include "tests/tags/TagBytes.h"

namespace {

namespace fs = std::filesystem;
using tags::BpmTagOutcome;
using testaudio::Bytes;
using testaudio::kPython;
using testaudio::SetReadOnly;

// Adds a tag full of frames a tag writer could lose, or prints every frame one per line.
constexpr const char* kMutagenScript = R"(import sys
from mutagen.id3 import ID3, ID3NoHeaderError, APIC, COMM, TXXX, TIT2, TPE1, TYER
from mutagen.wave import WAVE
command, path = sys.argv[1], sys.argv[2]
wav = path.lower().endswith('.wav')
if command == 'prepare':
    version = int(sys.argv[3])
    if wav:
        f = WAVE(path); f.add_tags(); tags = f.tags
    else:
        tags = ID3()
    tags.add(APIC(encoding=0, mime='image/png', type=3, desc='Cover', data=bytes(range(256)) * 64))
    tags.add(COMM(encoding=1, lang='eng', desc='', text=['Comment \u00fcn\u00efc\u00f6d\u00e9']))
    tags.add(TXXX(encoding=0, desc='REPLAYGAIN_TRACK_GAIN', text=['-6.50 dB']))
    tags.add(TIT2(encoding=1, text=['T\u00edtulo \u266b']))
    tags.add(TPE1(encoding=3 if version == 4 else 1, text=['\u00c4rtist']))
    if version == 3:
        tags.add(TYER(encoding=0, text=['2001']))
    if wav:
        f.save(v2_version=version)
    else:
        tags.save(path, v1=2, v2_version=version)
else:
    try:
        tags = WAVE(path, translate=False).tags if wav else ID3(path, translate=False, load_v1=False)
    except ID3NoHeaderError:
        tags = None
    print('version', 'none' if tags is None else '%d.%d' % tags.version[:2])
    for frame in sorted(tags.values() if tags else [], key=repr):
        print('bpm ' + frame.text[0] if frame.FrameID == 'TBPM' else 'frame ' + repr(frame))
    data = open(path, 'rb').read()
    if not wav and data[-128:-125] == b'TAG':
        print('id3v1', data[-128:].hex())
)";

std::vector<std::string> CaptureLines(const std::string& command) {
  std::vector<std::string> lines;
  FILE* out = popen(command.c_str(), "r");
  if (out == nullptr) return lines;
  char buffer[8192];
  while (fgets(buffer, sizeof buffer, out) != nullptr) {
    std::string line = buffer;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    lines.push_back(line);
  }
  return pclose(out) == 0 ? lines : std::vector<std::string>{"command failed: " + command};
}

// Every chunk of a RIFF file but its ID3 chunk, as id + body, read here without TagLib.
std::vector<std::string> ChunksBesideId3(const Bytes& wav) {
  std::vector<std::string> chunks;
  for (size_t at = 12; at + 8 <= wav.size();) {
    const std::string id(wav.begin() + at, wav.begin() + at + 4);
    const size_t size = wav[at + 4] | wav[at + 5] << 8 | wav[at + 6] << 16 | size_t{wav[at + 7]} << 24;
    if (id != "ID3 " && id != "id3 ") {
      chunks.push_back(id + std::string(wav.begin() + at + 8, wav.begin() + std::min(wav.size(), at + 8 + size)));
    }
    at += 8 + size + (size & 1);
  }
  return chunks;
}

// A short click track with a LIST INFO chunk and a chunk of its own before the audio.
Bytes ClickWavWithChunks(const testaudio::ScratchDir& dir, const Bytes& id3Tag = {}) {
  testaudio::WriteClickWav(dir.File("plain.wav"), {.seconds = 3.0});
  const Bytes plain = testaudio::ReadFile(dir.File("plain.wav"));
  const std::vector<std::string> chunks = ChunksBesideId3(plain);
  Bytes info{'I', 'N', 'F', 'O'};
  const Bytes name = testaudio::Chunk("INAM", {'C', 'l', 'i', 'c', 'k', 's', 0});
  info.insert(info.end(), name.begin(), name.end());
  std::vector<Bytes> out;
  for (const std::string& chunk : chunks) {
    if (chunk.compare(0, 4, "data") == 0) {
      out.push_back(testaudio::Chunk("LIST", info));
      out.push_back(testaudio::Chunk("smpl", {1, 2, 3, 4, 5}));
    }
    out.push_back(testaudio::Chunk(chunk.substr(0, 4).c_str(), Bytes(chunk.begin() + 4, chunk.end())));
  }
  if (!id3Tag.empty()) out.push_back(testaudio::Chunk("id3 ", id3Tag));
  return testaudio::RiffWave(out);
}

// An ID3v2.3 tag of one frame, built here so the frame can carry what TagLib cannot keep.
Bytes Id3v23Tag(const char* id, uint8_t formatFlags, const std::string& body) {
  Bytes frame(id, id + 4);
  for (int shift = 24; shift >= 0; shift -= 8) frame.push_back(static_cast<uint8_t>(body.size() >> shift));
  frame.insert(frame.end(), {0, formatFlags});
  frame.insert(frame.end(), body.begin(), body.end());
  Bytes tag = {'I', 'D', '3', 3, 0, 0};
  for (int shift = 21; shift >= 0; shift -= 7) tag.push_back(static_cast<uint8_t>((frame.size() >> shift) & 0x7F));
  tag.insert(tag.end(), frame.begin(), frame.end());
  return tag;
}

// MPEG-1 layer III frames of silence (128 kbit/s, 44.1 kHz): a header and zeroed side info.
Bytes SilentMp3(int frames) {
  Bytes bytes;
  for (int i = 0; i < frames; ++i) {
    const Bytes frame = {0xFF, 0xFB, 0x90, 0x64};
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    bytes.resize(bytes.size() + 417 - 4, 0);
  }
  return bytes;
}

TEST(TagBpm, RoundsToTheNearestWholeBeat) {
  const std::vector<std::pair<std::optional<double>, std::optional<int>>> cases = {{127.5, 128},
                                                                                   {127.49, 127},
                                                                                   {93.0, 93},
                                                                                   {0.6, 1},
                                                                                   {0.4, std::nullopt},
                                                                                   {std::nullopt, std::nullopt},
                                                                                   {std::nan(""), std::nullopt},
                                                                                   {-120.0, std::nullopt}};
  for (const auto& [bpm, tag] : cases) EXPECT_EQ(tags::TagBpm(bpm), tag) << (bpm ? *bpm : -1.0);
}

// Real audio from lame, tagged by mutagen, written, and read back by mutagen.
struct Tagged {
  const char* name;
  const char* extension;
  int version;  // of the tag mutagen adds first, 0 for none
};

class BpmTagKeepsEverything : public ::testing::TestWithParam<Tagged> {};

TEST_P(BpmTagKeepsEverything, OnlyTheBpmFrameChanges) {
  const Tagged& param = GetParam();
  const bool mp3 = std::string(param.extension) == "mp3";
  const char* decoder = mp3 ? "mpg123" : "sox";
  if (!testaudio::HaveTool("lame") || !testaudio::HaveTool(decoder) ||
      testaudio::RunCommand(std::string(kPython) + " -c 'import mutagen' 2>/dev/null") != 0) {
    GTEST_SKIP() << "needs lame, " << decoder << " and python3-mutagen (scripts/setup.sh)";
  }
  testaudio::ScratchDir dir;
  const std::string file = dir.File(std::string("track.") + param.extension);
  testaudio::WriteFile(dir.File("track.wav"), ClickWavWithChunks(dir));
  if (mp3) {
    ASSERT_EQ(testaudio::RunCommand("lame --quiet -b 128 '" + dir.File("track.wav") + "' '" + file + "'"), 0);
  }
  std::ofstream(dir.File("tags.py")) << kMutagenScript;
  const std::string python = std::string(kPython) + " '" + dir.File("tags.py") + "' ";
  if (param.version) {
    ASSERT_EQ(testaudio::RunCommand(python + "prepare '" + file + "' " + std::to_string(param.version)), 0);
  }
  const std::string decode =
      mp3 ? "mpg123 -q -s '" + file + "' | sha256sum" : "sox '" + file + "' -t raw - | sha256sum";
  const std::vector<std::string> audioBefore = CaptureLines(decode);
  const std::vector<std::string> tagBefore = CaptureLines(python + "dump '" + file + "'");
  const Bytes bytesBefore = testaudio::ReadFile(file);

  const tags::BpmTagResult result = tags::WriteBpmTag(file, 128, {});
  ASSERT_EQ(result.outcome, BpmTagOutcome::Written) << result.reason;

  std::vector<std::string> expected = tagBefore;
  if (expected.at(0) == "version none") expected.at(0) = "version 2.3";
  expected.insert(expected.begin() + 1, "bpm 128");
  std::vector<std::string> tagAfter = CaptureLines(python + "dump '" + file + "'");
  ASSERT_FALSE(tagAfter.empty());
  std::sort(tagAfter.begin() + 1, tagAfter.end());
  std::sort(expected.begin() + 1, expected.end());
  EXPECT_EQ(tagAfter, expected);
  EXPECT_EQ(CaptureLines(decode), audioBefore);
  if (!mp3) {
    EXPECT_EQ(ChunksBesideId3(testaudio::ReadFile(file)), ChunksBesideId3(bytesBefore));
  }
  EXPECT_EQ(tags::ReadBpmTag(file).bpm, "128");
}

INSTANTIATE_TEST_SUITE_P(Files, BpmTagKeepsEverything,
                         ::testing::Values(Tagged{"Mp3Untagged", "mp3", 0}, Tagged{"Mp3Id3v23", "mp3", 3},
                                           Tagged{"Mp3Id3v24", "mp3", 4}, Tagged{"WavUntagged", "wav", 0},
                                           Tagged{"WavId3v23", "wav", 3}, Tagged{"WavId3v24", "wav", 4}),
                         [](const ::testing::TestParamInfo<Tagged>& test) { return std::string(test.param.name); });

// Files made in code, so these also run under Wine.
class BpmTagLeavesAlone : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    file_ = dir_.File(std::string("Caf\u00e9 \u266b.") + GetParam());
    testaudio::WriteFile(file_, std::string(GetParam()) == "mp3" ? SilentMp3(40) : ClickWavWithChunks(dir_));
  }
  size_t FilesInFolder() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(fs::path(file_).parent_path()), {}));
  }
  testaudio::ScratchDir dir_;
  std::string file_;
};

TEST_P(BpmTagLeavesAlone, AnExistingBpmUnlessOverwriting) {
  ASSERT_EQ(tags::WriteBpmTag(file_, 100, {}).outcome, BpmTagOutcome::Written);
  const Bytes tagged = testaudio::ReadFile(file_);
  const size_t files = FilesInFolder();

  const tags::BpmTagResult skipped = tags::WriteBpmTag(file_, 128, {});
  EXPECT_EQ(skipped.outcome, BpmTagOutcome::SkippedExisting);
  EXPECT_EQ(skipped.existing, "100");
  EXPECT_EQ(testaudio::ReadFile(file_), tagged);

  const tags::BpmTagResult overwritten = tags::WriteBpmTag(file_, 128, {.overwrite = true});
  EXPECT_EQ(overwritten.outcome, BpmTagOutcome::Written) << overwritten.reason;
  EXPECT_EQ(overwritten.existing, "100");
  EXPECT_EQ(tags::ReadBpmTag(file_).bpm, "128");
  EXPECT_EQ(FilesInFolder(), files);
}

TEST_P(BpmTagLeavesAlone, EveryByteOnADryRun) {
  const Bytes before = testaudio::ReadFile(file_);
  const tags::BpmTagResult dry = tags::WriteBpmTag(file_, 128, {.dryRun = true});
  EXPECT_EQ(dry.outcome, BpmTagOutcome::WouldWrite);
  EXPECT_EQ(dry.bpm, 128);
  EXPECT_EQ(testaudio::ReadFile(file_), before);
  EXPECT_EQ(tags::ReadBpmTag(file_).bpm, "");
}

TEST_P(BpmTagLeavesAlone, AReadOnlyFile) {
  const Bytes before = testaudio::ReadFile(file_);
  const size_t files = FilesInFolder();
  SetReadOnly(file_, true);
  const tags::BpmTagResult result = tags::WriteBpmTag(file_, 128, {});
  SetReadOnly(file_, false);
  EXPECT_EQ(result.outcome, BpmTagOutcome::Failed);
  EXPECT_EQ(result.reason, "read-only file");
  EXPECT_EQ(testaudio::ReadFile(file_), before);
  EXPECT_EQ(FilesInFolder(), files);
}

#ifndef _WIN32
TEST_P(BpmTagLeavesAlone, AFileInAReadOnlyFolder) {
  const Bytes before = testaudio::ReadFile(file_);
  const fs::path folder = fs::path(file_).parent_path();
  fs::permissions(folder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const tags::BpmTagResult result = tags::WriteBpmTag(file_, 128, {});
  fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(result.outcome, BpmTagOutcome::Failed);
  EXPECT_EQ(result.reason, "read-only folder");
  EXPECT_EQ(testaudio::ReadFile(file_), before);
}

// A disk that fills up while TagLib writes: TagLib does not notice, the check of the copy does.
TEST_P(BpmTagLeavesAlone, AFileWhenTheCopyCannotBeWrittenWhole) {
  const Bytes before = testaudio::ReadFile(file_);
  const size_t files = FilesInFolder();
  const pid_t child = fork();
  if (child == 0) {
    const rlimit limit{before.size() + 100, before.size() + 100};
    signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
    const tags::BpmTagResult result = tags::WriteBpmTag(file_, 128, {});
    std::fprintf(stderr, "%s\n", result.reason.c_str());
    _exit(result.outcome == BpmTagOutcome::Failed ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(testaudio::ReadFile(file_), before);
  EXPECT_EQ(FilesInFolder(), files);
}

TEST_P(BpmTagLeavesAlone, ASymbolicLinkButWritesItsTarget) {
  const std::string link = dir_.File(std::string("link.") + GetParam());
  fs::create_symlink(file_, link);
  ASSERT_EQ(tags::WriteBpmTag(link, 128, {}).outcome, BpmTagOutcome::Written);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(tags::ReadBpmTag(file_).bpm, "128");
}
#endif

TEST_P(BpmTagLeavesAlone, AFileThatIsNotAudio) {
  const std::string fake = dir_.File(std::string("notes.") + GetParam());
  const std::string text = "not audio at all";
  std::ofstream(fake) << text;
  const tags::BpmTagResult result = tags::WriteBpmTag(fake, 128, {});
  EXPECT_EQ(result.outcome, BpmTagOutcome::Failed);
  EXPECT_NE(result.reason.find("not a readable"), std::string::npos) << result.reason;
  EXPECT_FALSE(tags::ReadBpmTag(fake).ok);
  EXPECT_EQ(testaudio::ReadFile(fake), Bytes(text.begin(), text.end()));
}

// Frames TagLib would drop (TSIZ has no place in its model) or write back unreadable (an
// encrypted frame loses its flags): the file is refused as it is.
TEST_P(BpmTagLeavesAlone, ATagTagLibCannotRewriteWhole) {
  const std::vector<Bytes> tags = {Id3v23Tag("TSIZ", 0,
                                             std::string("\0"
                                                         "12345",
                                                         6)),
                                   Id3v23Tag("TXXX", 0x40, std::string("\x80\0secret\0value", 15))};
  for (const Bytes& tag : tags) {
    Bytes bytes = tag;
    if (std::string(GetParam()) == "mp3") {
      const Bytes audio = SilentMp3(40);
      bytes.insert(bytes.end(), audio.begin(), audio.end());
    } else {
      bytes = ClickWavWithChunks(dir_, tag);
    }
    testaudio::WriteFile(file_, bytes);
    const size_t files = FilesInFolder();
    const tags::BpmTagResult result = tags::WriteBpmTag(file_, 128, {});
    EXPECT_EQ(result.outcome, BpmTagOutcome::Failed);
    EXPECT_NE(result.reason.find("TagLib"), std::string::npos) << result.reason;
    EXPECT_EQ(testaudio::ReadFile(file_), bytes);
    EXPECT_EQ(FilesInFolder(), files);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, BpmTagLeavesAlone, ::testing::Values("mp3", "wav"));

// Files TagLib would damage or whose other tags it would ignore, each refused (or, for a
// BPM elsewhere in the file, kept) by the walk before any copy is made.
struct Unwritable {
  const char* name;
  const char* extension;
  Bytes file;
  BpmTagOutcome outcome;
  const char* reason;  // a part of the reason, or the existing BPM when skipped
};

Bytes Mp3Of(const Bytes& tag) {
  return tagbytes::Join({tag, tagbytes::SilentMp3(40)});
}

Bytes WavOf(const std::vector<Bytes>& chunks, const std::string& form = "RIFF") {
  std::vector<Bytes> all = {tagbytes::ChunkOf("fmt ", tagbytes::PcmFormat())};
  all.insert(all.end(), chunks.begin(), chunks.end());
  return tagbytes::Container(form, "WAVE", all);
}

std::vector<Unwritable> UnwritableFiles() {
  using namespace tagbytes;
  const Bytes title = Frame(3, "TIT2", Text("Title"));
  const Bytes cover = Frame(3, "APIC", Join({Text("image/png"), Bytes{0, 3, 0}, Bytes(300, 0x5A)}));
  const Bytes samples = ChunkOf("data", Bytes(4000, 0x11));
  const Bytes bpm99 = TagOf(3, {Frame(3, "TBPM", Text("99"))});
  Bytes apeItems = {2, 0, 0, 0, 0, 0, 0, 0, 'b', 'p', 'm', 0, '9', '5'};
  Bytes ape = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 7, 0, 0};
  Put32(ape, static_cast<uint32_t>(apeItems.size() + 32), false);
  Put32(ape, 1, false);
  ape.resize(ape.size() + 12, 0);
  return {
      {"ExtendedHeader", "mp3", Mp3Of(Tag(3, Join({Bytes{0, 0, 0, 6, 0, 0, 0, 0, 0, 0}, title, cover}), 0x40)),
       BpmTagOutcome::Failed, "extended header"},
      {"LowercaseFrameId", "mp3", Mp3Of(TagOf(3, {title, Frame(3, "talb", Text("Album")), cover})),
       BpmTagOutcome::Failed, "invalid frame ID \"talb\""},
      {"V22IdInV23Tag", "mp3", Mp3Of(TagOf(3, {Frame(3, std::string("TP1\0", 4), Text("A")), cover})),
       BpmTagOutcome::Failed, "ID3v2.2 frame ID"},
      {"TwoTags", "mp3", Mp3Of(Join({TagOf(3, {title, cover}), bpm99})), BpmTagOutcome::Failed, "a second ID3v2 tag"},
      {"WavId3AndID3Chunks", "wav", WavOf({samples, ChunkOf("id3 ", TagOf(3, {title})), ChunkOf("ID3 ", bpm99)}),
       BpmTagOutcome::Failed, "more than one ID3 chunk"},
      {"WavDataSizeZero", "wav", WavOf({ChunkOf("data", Bytes(4000, 0x11), false, 0)}), BpmTagOutcome::Failed,
       "has a size of 0"},
      {"Rf64", "wav", WavOf({samples}, "RF64"), BpmTagOutcome::Failed, "RF64"},
      {"BpmInAnApeTag", "mp3", Join({TagOf(3, {title}), tagbytes::SilentMp3(40), apeItems, ape}),
       BpmTagOutcome::SkippedExisting, "95"},
  };
}

class BpmTagRefuses : public ::testing::TestWithParam<Unwritable> {};

TEST_P(BpmTagRefuses, WhatItCannotKeepAndLeavesTheFileAlone) {
  testaudio::ScratchDir dir;
  const std::string file = dir.File(std::string("track.") + GetParam().extension);
  testaudio::WriteFile(file, GetParam().file);
  const tags::BpmTagResult result = tags::WriteBpmTag(file, 128, {});
  EXPECT_EQ(result.outcome, GetParam().outcome) << result.reason;
  const std::string& told = result.outcome == BpmTagOutcome::SkippedExisting ? result.existing : result.reason;
  EXPECT_NE(told.find(GetParam().reason), std::string::npos) << told;
  EXPECT_EQ(testaudio::ReadFile(file), GetParam().file);
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(file).parent_path()), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(Files, BpmTagRefuses, ::testing::ValuesIn(UnwritableFiles()),
                         [](const ::testing::TestParamInfo<Unwritable>& test) { return std::string(test.param.name); });

// What a replace through a copy would break or undo.
TEST(BpmTagReplace, RefusesHardLinksAndFilesChangedSinceTheirAnalysis) {
  testaudio::ScratchDir dir;
  const std::string file = dir.File("track.mp3");
  const Bytes audio = SilentMp3(40);
  testaudio::WriteFile(file, audio);
  const std::optional<platform::FileIdentity> analysed = platform::IdentityOf(file);
  ASSERT_TRUE(analysed);

  fs::create_hard_link(file, dir.File("other name.mp3"));
  tags::BpmTagResult result = tags::WriteBpmTag(file, 128, {}, analysed);
  EXPECT_EQ(result.outcome, BpmTagOutcome::Failed);
  EXPECT_NE(result.reason.find("hard links"), std::string::npos) << result.reason;
  fs::remove(dir.File("other name.mp3"));

  Bytes edited = audio;
  edited.resize(edited.size() + 417, 0);
  testaudio::WriteFile(file, edited);
  result = tags::WriteBpmTag(file, 128, {}, analysed);
  EXPECT_EQ(result.outcome, BpmTagOutcome::Failed);
  EXPECT_EQ(result.reason, "changed since it was analysed");
  EXPECT_EQ(testaudio::ReadFile(file), edited);

  result = tags::WriteBpmTag(file, 128, {}, platform::IdentityOf(file));
  EXPECT_EQ(result.outcome, BpmTagOutcome::Written) << result.reason;
}

#ifndef _WIN32
// Names up to the system's limit, the mode and the extended attributes all come through.
TEST(BpmTagReplace, KeepsLongNamesModesAndAttributes) {
  testaudio::ScratchDir dir;
  const std::string file = dir.File(std::string(247, 'n') + "\xC3\xA9.mp3");
  testaudio::WriteFile(file, SilentMp3(40));
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
  const std::string value = "kept";
  const bool attributes = setxattr(file.c_str(), "user.temposcout.test", value.data(), value.size(), 0) == 0;
  const tags::BpmTagResult result = tags::WriteBpmTag(file, 128, {});
  ASSERT_EQ(result.outcome, BpmTagOutcome::Written) << result.reason;
  EXPECT_EQ(tags::ReadBpmTag(file).bpm, "128");
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
  if (attributes) {
    char read[16] = {};
    EXPECT_EQ(getxattr(file.c_str(), "user.temposcout.test", read, sizeof read), static_cast<ssize_t>(value.size()));
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(file).parent_path()), {}), 1);
}
#endif

TEST(BpmTag, OtherFileKindsFail) {
  const tags::BpmTagResult result = tags::WriteBpmTag("track.mka", 128, {});
  EXPECT_EQ(result.outcome, BpmTagOutcome::Failed);
  EXPECT_EQ(result.reason, "not a format whose BPM tag can be written");
  EXPECT_STREQ(tags::BpmTagOutcomeName(result.outcome), "failed");
}

// A BPM frame holds a tempo when it is a plain number from 20 to 400.
TEST(BpmTag, ValidTextIsAPlainNumberFrom20To400) {
  for (const char* valid : {"128", "20", "400", "400.0", " 95 ", "128.5", "099", "120."}) {
    EXPECT_TRUE(tags::IsValidBpmText(valid)) << "'" << valid << "'";
  }
  for (const char* invalid : {"", "  ", "0", "19.99", "400.01", "1000", "fast", "12a", "1.2.3", ".", "-128", "+128",
                              "1e2", "128,5", "inf", "nan", "0x80", "12 8"}) {
    EXPECT_FALSE(tags::IsValidBpmText(invalid)) << "'" << invalid << "'";
  }
}

}  // namespace
