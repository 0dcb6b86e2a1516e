// The strict tag walk on files built byte by byte: what it accounts for (frames, padding,
// unsynchronisation, footers, chunks) and the reason it gives for what it cannot.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tags/TagWalk.h"
#include "tests/tags/TagBytes.h"

namespace {

using namespace tagbytes;
using tags::TagContainer;
using tags::TagWalk;

TagWalk Walk(const Bytes& bytes, TagContainer container) {
  return tags::WalkTags(tags::MemoryBytes(bytes), container);
}

Bytes Mp3(const Bytes& tag) {
  return Join({tag, SilentMp3(6)});
}

const Bytes kTitle = Frame(3, "TIT2", Text("Title"));
const Bytes kArtist = Frame(3, "TPE1", Text("Artist"));

// A v2.3 tag whose first frame is preceded by an extended header of 6 bytes, with or
// without the CRC flag (then 4 more bytes).
Bytes ExtendedHeaderTag(bool crc) {
  Bytes extended = {0, 0, 0, static_cast<uint8_t>(crc ? 10 : 6), static_cast<uint8_t>(crc ? 0x80 : 0), 0, 0, 0, 0, 0};
  if (crc) extended.insert(extended.end(), {1, 2, 3, 4});
  return Tag(3, Join({extended, kTitle, kArtist}), 0x40);
}

Bytes Shortened(Bytes bytes, size_t byBytes) {
  bytes.resize(bytes.size() - byBytes);
  return bytes;
}

Bytes WithByte(Bytes bytes, size_t at, uint8_t value) {
  bytes.at(at) = value;
  return bytes;
}

struct Refusal {
  const char* name;
  Bytes file;
  TagContainer container;
  const char* reason;  // a part of the refusal's text
};

class WalkRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(WalkRefuses, NamingWhatItCannotAccountFor) {
  const TagWalk walk = Walk(GetParam().file, GetParam().container);
  EXPECT_FALSE(walk.Accepted());
  EXPECT_NE(walk.refusal.find(GetParam().reason), std::string::npos) << walk.refusal;
}

const Bytes kTag = TagOf(3, {kTitle, kArtist}, 16);

INSTANTIATE_TEST_SUITE_P(
    Damaged, WalkRefuses,
    ::testing::Values(
        Refusal{"ExtendedHeader", Mp3(ExtendedHeaderTag(false)), TagContainer::Mp3, "has an extended header, which"},
        Refusal{"ExtendedHeaderWithCrc", Mp3(ExtendedHeaderTag(true)), TagContainer::Mp3, "extended header with a CRC"},
        Refusal{"ExtendedHeaderInWav", WavWith(ExtendedHeaderTag(true)), TagContainer::Wav, "extended header"},
        Refusal{"LowercaseId", Mp3(TagOf(3, {kTitle, Frame(3, "talb", Text("Album")), kArtist})), TagContainer::Mp3,
                "invalid frame ID \"talb\" at byte 26"},
        Refusal{"V22IdInV23", Mp3(TagOf(3, {Frame(3, std::string("TT2\0", 4), Text("T")), kArtist})), TagContainer::Mp3,
                "ID3v2.2 frame ID \"TT2\" at byte 10 inside the ID3v2.3 tag at byte 0"},
        Refusal{"V22IdInV24", Mp3(TagOf(4, {Frame(4, std::string("TP1\0", 4), Text("A"))})), TagContainer::Mp3,
                "ID3v2.2 frame ID \"TP1\""},
        Refusal{"OneCorruptIdByte", Mp3(WithByte(kTag, 12, 0x01)), TagContainer::Mp3, "\"TI\\x012\" at byte 10"},
        Refusal{"UnknownV22Id", Mp3(TagOf(2, {Frame(2, "XYZ", Text("?"))})), TagContainer::Mp3,
                "unknown ID3v2.2 frame ID \"XYZ\""},
        Refusal{"BytesInPadding", Mp3(WithByte(kTag, kTag.size() - 3, 7)), TagContainer::Mp3,
                "inside the padding of the ID3v2.3 tag at byte 0 is not zero"},
        Refusal{"ShortTail", Mp3(Tag(3, Join({kTitle, {'T', 'P', 'E'}}))), TagContainer::Mp3,
                "3 bytes at byte 26 at the end of the ID3v2.3 tag"},
        Refusal{"FramePastTheTag", Mp3(Tag(3, Join({kTitle, Shortened(kArtist, 2)}))), TagContainer::Mp3,
                "frame TPE1 at byte 26 (7 bytes) runs past the end"},
        Refusal{"EmptyFrame", Mp3(TagOf(3, {Frame(3, "TIT2", {}), kArtist})), TagContainer::Mp3, "is empty"},
        Refusal{"UndefinedFrameFlags", Mp3(TagOf(3, {Frame(3, "TIT2", Text("T"), 0x0001)})), TagContainer::Mp3,
                "flags 0x0001"},
        Refusal{"NotSyncsafeFrameSize", Mp3(Tag(4, Join({{'T', 'I', 'T', '2', 0, 0, 0, 0x80, 0, 0}, Bytes(128, 'a')}))),
                TagContainer::Mp3, "not a syncsafe number"},
        Refusal{"TagPastTheFile", WithByte(Mp3(kTag), 6, 0x7F), TagContainer::Mp3, "runs past the end of the file"},
        Refusal{"TagVersion5", Mp3(WithByte(kTag, 3, 5)), TagContainer::Mp3, "a version this tool does not know"},
        Refusal{"FooterNotRepeatingHeader", Mp3(WithByte(TagOf(4, {Frame(4, "TIT2", Text("T"))}, 0, 0x10), 25, 'X')),
                TagContainer::Mp3, "footer"},
        Refusal{"FrameHiddenByTheFooter",
                Mp3(TagOf(4, {Frame(4, "TIT2", Text("Title")), Frame(4, "TPE1", Text("A"))}, 0, 0x10)),
                TagContainer::Mp3,
                "a frame at byte 26 in the last bytes of the ID3v2.4 tag at byte 0, which has a footer"},
        Refusal{"TwoTags", Mp3(Join({kTag, TagOf(3, {Frame(3, "TBPM", Text("99"))})})), TagContainer::Mp3,
                "a second ID3v2 tag at byte 59 directly follows the first"},
        Refusal{"TwoTagsWithZerosBetween", Mp3(Join({kTag, Bytes(5, 0), kTag})), TagContainer::Mp3,
                "after 5 zero bytes"},
        Refusal{"TagAfterJunk", Join({Bytes(7, 'j'), kTag, SilentMp3(2)}), TagContainer::Mp3,
                "an ID3v2 tag at byte 7 rather than at the start"},
        Refusal{"ApeTagPastTheFile",
                Join({SilentMp3(2),
                      {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'},
                      {0xD0, 7, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0},
                      Bytes(8, 0)}),
                TagContainer::Mp3, "APE tag"},
        Refusal{"TwoId3Chunks",
                Container("RIFF", "WAVE",
                          {ChunkOf("fmt ", PcmFormat()), ChunkOf("id3 ", kTag), ChunkOf("data", Bytes(8, 1)),
                           ChunkOf("ID3 ", kTag)}),
                TagContainer::Wav, "more than one ID3 chunk: \"id3 \" at byte 36 and \"ID3 \" at byte 120"},
        Refusal{"DataSizeZero",
                Container("RIFF", "WAVE", {ChunkOf("fmt ", PcmFormat()), ChunkOf("data", Bytes(64, 1), false, 0)}),
                TagContainer::Wav, "data chunk at byte 36 has a size of 0"},
        Refusal{"DataPastTheFile",
                Container("RIFF", "WAVE", {ChunkOf("fmt ", PcmFormat()), ChunkOf("data", Bytes(64, 1), false, 1000)}),
                TagContainer::Wav, "says it holds 1000 bytes, but the file ends 64 bytes after its header"},
        Refusal{"RiffSizeTooLarge",
                Container("RIFF", "WAVE", {ChunkOf("fmt ", PcmFormat()), ChunkOf("data", Bytes(8, 1))}, 999),
                TagContainer::Wav, "the RIFF size (1007 bytes) disagrees with the file's size (52 bytes)"},
        Refusal{"BytesAfterTheRiff", Join({WavWith({}), {'T', 'A', 'G', 1, 2, 3}}), TagContainer::Wav,
                "6 bytes at byte"},
        Refusal{"NonZeroPad", WithByte(WavWith({}), 49, 9), TagContainer::Wav, "pad byte at byte 49"},
        Refusal{"InvalidChunkId",
                Join({Container("RIFF", "WAVE",
                                {ChunkOf("fmt ", PcmFormat()), ChunkOf("data", Bytes(8, 1)),
                                 ChunkOf(std::string("\x01\x02zz", 4), {1, 2})})}),
                TagContainer::Wav, "invalid chunk ID \"\\x01\\x02zz\" at byte 52"},
        Refusal{"GarbageAfterTheTagInItsChunk", WavWith(Join({kTag, {0, 0, 5}})), TagContainer::Wav,
                "bytes after its ID3v2 tag that are not padding"},
        Refusal{"SecondTagInTheChunk", WavWith(Join({kTag, kTag})), TagContainer::Wav, "a second ID3v2 tag"},
        Refusal{"Id3ChunkWithoutATag", WavWith({'n', 'o', 'p', 'e'}), TagContainer::Wav, "holds no ID3v2 tag"},
        Refusal{"NoFormat", Container("RIFF", "WAVE", {ChunkOf("data", Bytes(8, 1))}), TagContainer::Wav,
                "no \"fmt \" chunk"},
        Refusal{"NotAWav", Mp3(kTag), TagContainer::Wav, "not a WAV file"},
        Refusal{
            "AiffSoundSizeZero",
            Container("FORM", "AIFF", {ChunkOf("COMM", Bytes(18, 0), true), ChunkOf("SSND", Bytes(16, 0), true, 0)}),
            TagContainer::Aiff, "SSND chunk at byte 38 has a size of 0"},
        Refusal{"AiffExtendedHeader",
                Container("FORM", "AIFF",
                          {ChunkOf("COMM", Bytes(18, 0), true), ChunkOf("SSND", Bytes(16, 0), true),
                           ChunkOf("ID3 ", ExtendedHeaderTag(false), true)}),
                TagContainer::Aiff, "extended header"}),
    [](const ::testing::TestParamInfo<Refusal>& test) { return std::string(test.param.name); });

TEST(TagWalk, ListsEveryFrameWithItsOffsetAndThePaddingAndTheAudio) {
  const Bytes file = Mp3(kTag);
  const TagWalk walk = Walk(file, TagContainer::Mp3);
  ASSERT_TRUE(walk.Accepted()) << walk.refusal;
  ASSERT_TRUE(walk.tag);
  EXPECT_EQ(walk.tag->majorVersion, 3);
  EXPECT_EQ(walk.tag->totalBytes, kTag.size());
  EXPECT_EQ(walk.tag->paddingBytes, 16u);
  ASSERT_EQ(walk.tag->frames.size(), 2u);
  EXPECT_EQ(walk.tag->frames[0].id, "TIT2");
  EXPECT_EQ(walk.tag->frames[0].offset, 10u);
  EXPECT_EQ(walk.tag->frames[0].payload, Text("Title"));
  EXPECT_EQ(walk.tag->frames[1].id, "TPE1");
  EXPECT_EQ(walk.tag->frames[1].offset, 10u + kTitle.size());
  ASSERT_EQ(walk.untouched.size(), 1u);
  EXPECT_EQ(walk.untouched[0].offset, kTag.size());
  EXPECT_EQ(walk.untouched[0].lengthBytes, file.size() - kTag.size());
  EXPECT_TRUE(walk.bpms.empty());
}

TEST(TagWalk, UndoesWholeTagUnsynchronisationAndKeepsFileOffsets) {
  // ID3v2.3: the whole tag is unsynchronised, so the frame sizes count decoded bytes.
  const Bytes picture = {0, 0xFF, 0xE0, 0xFF, 0x00, 0x42};
  const Bytes decodedFrames = Join({Frame(3, "PRIV", picture), kTitle});
  Bytes stored;
  for (uint8_t b : decodedFrames) {
    stored.push_back(b);
    if (b == 0xFF) stored.push_back(0);
  }
  const TagWalk walk = Walk(Mp3(Tag(3, stored, 0x80)), TagContainer::Mp3);
  ASSERT_TRUE(walk.Accepted()) << walk.refusal;
  ASSERT_EQ(walk.tag->frames.size(), 2u);
  EXPECT_EQ(walk.tag->frames[0].payload, picture);
  // Two zeros were added inside PRIV, so TIT2 starts two bytes later in the file.
  EXPECT_EQ(walk.tag->frames[1].offset, 10u + 10u + picture.size() + 2u);
  EXPECT_EQ(walk.tag->frames[1].payload, Text("Title"));
}

TEST(TagWalk, UndoesFrameUnsynchronisationInId3v24AndReadsTheFooter) {
  const Bytes stored = {0, 0xFF, 0x00, 0xE0, 7};
  const Bytes tag = TagOf(4, {Frame(4, "PRIV", stored, 0x0002), Frame(4, "TBPM", Text("128"))}, 12, 0x10);
  const TagWalk walk = Walk(Mp3(tag), TagContainer::Mp3);
  ASSERT_TRUE(walk.Accepted()) << walk.refusal;
  EXPECT_EQ(walk.tag->totalBytes, tag.size());
  ASSERT_EQ(walk.tag->frames.size(), 2u);
  EXPECT_EQ(walk.tag->frames[0].payload, Bytes({0, 0xFF, 0xE0, 7}));
  EXPECT_EQ(walk.tag->frames[0].flags, 0x0002);
  ASSERT_EQ(walk.bpms.size(), 1u);
  EXPECT_EQ(walk.bpms[0].text, "128");
}

TEST(TagWalk, FindsTheBpmOfEveryTagAndChunk) {
  struct Case {
    const char* name;
    Bytes file;
    TagContainer container;
    std::vector<std::string> bpms;  // where, then the text
  };
  const Bytes utf16Bpm = {1, 0xFF, 0xFE, '9', 0, '0', 0, 0, 0};
  Bytes apeItems = {2, 0, 0, 0, 0, 0, 0, 0, 'b', 'p', 'm', 0, '9', '5'};
  Bytes ape = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 7, 0, 0};
  Put32(ape, static_cast<uint32_t>(apeItems.size() + 32), false);
  Put32(ape, 1, false);
  ape.resize(ape.size() + 12, 0);
  Bytes acid(24, 0);
  const float tempo = 122.5f;
  std::memcpy(acid.data() + 20, &tempo, 4);
  const std::vector<Case> cases = {
      {"v2.2",
       Mp3(TagOf(2, {Frame(2, "TT2", Text("T")), Frame(2, "TBP", Text(" 120 "))})),
       TagContainer::Mp3,
       {"ID3v2 tag", "120"}},
      {"v2.4 UTF-16", Mp3(TagOf(4, {Frame(4, "TBPM", utf16Bpm)})), TagContainer::Mp3, {"ID3v2 tag", "90"}},
      {"APE and ID3v1",
       Join({kTag, SilentMp3(2), apeItems, ape, Bytes{'T', 'A', 'G'}, Bytes(125, 0)}),
       TagContainer::Mp3,
       {"APE tag", "95"}},
      {"acid",
       Container("RIFF", "WAVE", {ChunkOf("fmt ", PcmFormat()), ChunkOf("acid", acid), ChunkOf("data", {1, 2})}),
       TagContainer::Wav,
       {"acid chunk", "122.5"}},
      {"AIFF",
       Container("FORM", "AIFC",
                 {ChunkOf("COMM", Bytes(18, 0), true), ChunkOf("SSND", Bytes(16, 0), true),
                  ChunkOf("ID3 ", TagOf(3, {Frame(3, "TBPM", Text("77"))}), true)}),
       TagContainer::Aiff,
       {"ID3v2 tag", "77"}},
  };
  for (const Case& c : cases) {
    const TagWalk walk = Walk(c.file, c.container);
    ASSERT_TRUE(walk.Accepted()) << c.name << ": " << walk.refusal;
    std::vector<std::string> found;
    for (const tags::FoundBpm& bpm : walk.bpms) found.insert(found.end(), {bpm.where, bpm.text});
    EXPECT_EQ(found, c.bpms) << c.name;
  }
}

TEST(TagWalk, ListsEveryChunkButTheTagsInWavRifxRf64AndAiff) {
  const Bytes tag = TagOf(3, {kTitle}, 4);
  Bytes ds64Body;
  Put32(ds64Body, 0, false);  // the file's size, set below
  Put32(ds64Body, 0, false);
  Put32(ds64Body, 400, false);
  Put32(ds64Body, 0, false);
  ds64Body.resize(28, 0);
  Bytes rf64 = Container("RF64", "WAVE",
                         {ChunkOf("ds64", ds64Body), ChunkOf("fmt ", PcmFormat()),
                          ChunkOf("data", Bytes(400, 3), false, 0xFFFFFFFF), ChunkOf("ID3 ", tag)},
                         0xFFFFFFFF);
  const uint32_t rf64Size = static_cast<uint32_t>(rf64.size() - 8);
  for (int i = 0; i < 4; ++i) rf64[20 + i] = static_cast<uint8_t>(rf64Size >> (8 * i));
  struct Case {
    const char* name;
    Bytes file;
    TagContainer container;
    std::vector<std::string> regions;
  };
  const std::vector<Case> cases = {
      {"WAV", WavWith(tag), TagContainer::Wav, {"RIFF", "WAVE", "fmt ", "note", "data"}},
      {"RIFX",
       Container(
           "RIFX", "WAVE",
           {ChunkOf("ID3 ", tag, true), ChunkOf("fmt ", PcmFormat(true), true), ChunkOf("data", Bytes(7, 1), true)}),
       TagContainer::Wav,
       {"RIFX", "WAVE", "fmt ", "data"}},
      {"RF64", rf64, TagContainer::Wav, {"RF64", "WAVE", "ds64", "ds64", "fmt ", "data"}},
      {"BW64",
       Join({{'B', 'W', '6', '4'}, Bytes(rf64.begin() + 4, rf64.end())}),
       TagContainer::Wav,
       {"BW64", "WAVE", "ds64", "ds64", "fmt ", "data"}},
      {"AIFF",
       Container(
           "FORM", "AIFF",
           {ChunkOf("COMM", Bytes(18, 0), true), ChunkOf("SSND", Bytes(16, 0), true), ChunkOf("ID3 ", tag, true)}),
       TagContainer::Aiff,
       {"FORM", "AIFF", "COMM", "SSND"}},
  };
  for (const Case& c : cases) {
    const TagWalk walk = Walk(c.file, c.container);
    ASSERT_TRUE(walk.Accepted()) << c.name << ": " << walk.refusal;
    ASSERT_TRUE(walk.tag) << c.name;
    EXPECT_EQ(walk.tag->frames.size(), 1u) << c.name;
    std::vector<std::string> names;
    uint64_t covered = walk.tag->totalBytes + 8;
    for (const tags::Region& region : walk.untouched) {
      names.push_back(region.name);
      covered += region.lengthBytes;
    }
    EXPECT_EQ(names, c.regions) << c.name;
    // Besides the tag's chunk, only the container's size and pad bytes are left out.
    EXPECT_LE(c.file.size() - covered, 16u) << c.name;
  }
}

TEST(TagWalk, TakesAMissingPadByteAtTheEndOfTheFile) {
  Bytes file = Container("RIFF", "WAVE", {ChunkOf("fmt ", PcmFormat()), ChunkOf("data", Bytes(7, 1))});
  file.pop_back();
  const TagWalk walk = Walk(file, TagContainer::Wav);
  EXPECT_TRUE(walk.Accepted()) << walk.refusal;
}

}  // namespace
