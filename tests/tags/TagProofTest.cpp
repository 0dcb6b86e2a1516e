// The write proof: copies made by hand that lose or change something fail it, TagLib's real
// writes of clean files pass it (mutagen and the decoded audio judge them too), and every
// damaged file of the kind that made TagLib lose frames is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tags/TagProof.h"
#include "tests/audioengine/TestAudio.h"
#include "tests/tags/TagBytes.h"
#include "tests/tags/TagLibWrite.h"

namespace {

using namespace tagbytes;
using tags::TagContainer;

std::string Prove(const Bytes& original, const Bytes& copy, TagContainer container, const std::string& bpm = "128") {
  return tags::ProveBpmWrite(tags::MemoryBytes(original), tags::MemoryBytes(copy), container, bpm);
}

Bytes Mp3(const Bytes& tag) {
  return Join({tag, SilentMp3(6)});
}

const Bytes kBpm3 = Frame(3, "TBPM", Text("128"));
const Bytes kTitle3 = Frame(3, "TIT2", Text("Title"));
const Bytes kComment3 = Frame(3, "COMM", Join({{1}, {'e', 'n', 'g'}, {0xFF, 0xFE, 0, 0}, {0xFF, 0xFE, 'h', 0, 'i', 0, 0, 0}}));
const Bytes kPrivate3 = Frame(3, "PRIV", {'o', 0, 1, 2, 3});

struct Copy {
  const char* name;
  Bytes original;
  Bytes copy;
  TagContainer container;
  const char* result;  // "" when the proof holds, else a part of the reason
};

class ProofOfCopies : public ::testing::TestWithParam<Copy> {};

TEST_P(ProofOfCopies, HoldsOnlyWhenNothingButTheBpmChanged) {
  const std::string reason = Prove(GetParam().original, GetParam().copy, GetParam().container);
  if (std::string(GetParam().result).empty()) {
    EXPECT_EQ(reason, "");
  } else {
    EXPECT_NE(reason.find(GetParam().result), std::string::npos) << reason;
  }
}

Bytes ChangedAt(Bytes bytes, size_t fromEnd) {
  bytes.at(bytes.size() - fromEnd) ^= 1;
  return bytes;
}

const Bytes kOriginal = Mp3(TagOf(3, {kTitle3, kComment3, kPrivate3}, 32));
// A PIC frame of ID3v2.2 and the APIC frame it becomes.
const Bytes kPic = Frame(2, "PIC", {0, 'J', 'P', 'G', 3, 'c', 0, 9, 9});
const Bytes kApic = Frame(3, "APIC", Join({{0}, {'i', 'm', 'a', 'g', 'e', '/', 'j', 'p', 'e', 'g', 0}, {3}, {'c', 0}, {9, 9}}));

Bytes WavTagged(const Bytes& tag, const std::string& dataByte = "\x11") {
  return Container("RIFF", "WAVE", {ChunkOf("fmt ", PcmFormat()), ChunkOf("data", Bytes(400, static_cast<uint8_t>(dataByte[0]))),
                                    ChunkOf("ID3 ", tag)});
}

INSTANTIATE_TEST_SUITE_P(
    ByHand, ProofOfCopies,
    ::testing::Values(
        Copy{"SameFramesMorePadding", kOriginal, Mp3(TagOf(3, {kTitle3, kComment3, kPrivate3, kBpm3}, 1024)),
             TagContainer::Mp3, ""},
        Copy{"FramesInAnotherOrder", kOriginal, Mp3(TagOf(3, {kBpm3, kPrivate3, kTitle3, kComment3})), TagContainer::Mp3,
             ""},
        Copy{"LastTerminatorLeftOut", Mp3(TagOf(3, {Frame(3, "TIT2", Text(std::string("Title\0", 6)))})),
             Mp3(TagOf(3, {kTitle3, kBpm3})), TagContainer::Mp3, ""},
        Copy{"UnsynchronisationUndone", Mp3(TagOf(4, {Frame(4, "PRIV", {'o', 0, 0xFF, 0x00, 0xE1}, 0x0002)})),
             Mp3(TagOf(4, {Frame(4, "PRIV", {'o', 0, 0xFF, 0xE1}), Frame(4, "TBPM", Text("128"))})), TagContainer::Mp3,
             ""},
        Copy{"V22BecomesV23", Mp3(TagOf(2, {Frame(2, "TT2", Text("Title")), kPic, Frame(2, "TBP", Text("90"))})),
             Mp3(TagOf(3, {kTitle3, kApic, kBpm3})), TagContainer::Mp3, ""},
        Copy{"UntaggedGetsATag", SilentMp3(4), Join({TagOf(3, {kBpm3}), SilentMp3(4)}), TagContainer::Mp3, ""},
        Copy{"FrameLost", kOriginal, Mp3(TagOf(3, {kTitle3, kPrivate3, kBpm3})), TagContainer::Mp3,
             "frame COMM at byte 26 of the original is missing"},
        Copy{"FrameChanged", kOriginal, Mp3(TagOf(3, {kTitle3, kComment3, ChangedAt(kPrivate3, 1), kBpm3})),
             TagContainer::Mp3, "frame PRIV at byte 52 of the original is changed"},
        Copy{"FrameFlagsLost", Mp3(TagOf(3, {Frame(3, "TIT2", Text("Title"), 0x4000)})),
             Mp3(TagOf(3, {kTitle3, kBpm3})), TagContainer::Mp3, "frame TIT2 at byte 10 of the original is changed"},
        Copy{"TwoTerminatorsLost", Mp3(TagOf(3, {Frame(3, "TIT2", Text(std::string("Title\0\0", 7)))})),
             Mp3(TagOf(3, {kTitle3, kBpm3})), TagContainer::Mp3, "is changed"},
        Copy{"FrameAdded", kOriginal, Mp3(TagOf(3, {kTitle3, kComment3, kPrivate3, Frame(3, "TYER", Text("2001")), kBpm3})),
             TagContainer::Mp3, "has a frame TYER"},
        Copy{"NoBpm", kOriginal, Mp3(TagOf(3, {kTitle3, kComment3, kPrivate3})), TagContainer::Mp3, "holds 0 BPM frames"},
        Copy{"TwoBpms", kOriginal, Mp3(TagOf(3, {kTitle3, kComment3, kPrivate3, kBpm3, kBpm3})), TagContainer::Mp3,
             "holds 2 BPM frames"},
        Copy{"WrongBpm", kOriginal, Mp3(TagOf(3, {kTitle3, kComment3, kPrivate3, Frame(3, "TBPM", Text("127"))})),
             TagContainer::Mp3, "holds \"127\", not \"128\""},
        Copy{"AudioChanged", kOriginal, ChangedAt(Mp3(TagOf(3, {kTitle3, kComment3, kPrivate3, kBpm3})), 3),
             TagContainer::Mp3, "changed the audio after the tag"},
        Copy{"AudioCutShort", kOriginal, Join({TagOf(3, {kTitle3, kComment3, kPrivate3, kBpm3}), SilentMp3(5)}),
             TagContainer::Mp3, "changed the audio"},
        Copy{"VersionChanged", kOriginal, Mp3(TagOf(4, {Frame(4, "TIT2", Text("Title")), Frame(4, "TBPM", Text("128"))})),
             TagContainer::Mp3, "ID3v2.4, the original's ID3v2.3"},
        Copy{"V22FrameWithoutEquivalent", Mp3(TagOf(2, {Frame(2, "CRM", Text("x"))})), Mp3(TagOf(3, {kBpm3})),
             TagContainer::Mp3, "has no ID3v2.3 equivalent"},
        Copy{"CopyUnaccountable", kOriginal, Mp3(TagOf(3, {kTitle3, Frame(3, "talb", Text("A")), kBpm3})),
             TagContainer::Mp3, "the written copy cannot be accounted for: an invalid frame ID"},
        Copy{"OriginalUnaccountable", Mp3(TagOf(3, {Frame(3, "talb", Text("A"))})), Mp3(TagOf(3, {kBpm3})),
             TagContainer::Mp3, "the original cannot be accounted for"},
        Copy{"WavTagChunkMoved", WavWith(TagOf(3, {kTitle3})),
             Container("RIFF", "WAVE", {ChunkOf("ID3 ", TagOf(3, {kTitle3, kBpm3})), ChunkOf("fmt ", PcmFormat()),
                                        ChunkOf("note", Text("odds")), ChunkOf("data", Bytes(400, 0x11))}),
             TagContainer::Wav, ""},
        Copy{"WavSampleChanged", WavTagged(TagOf(3, {kTitle3})), WavTagged(TagOf(3, {kTitle3, kBpm3}), "\x12"),
             TagContainer::Wav, "changed chunk \"data\" at byte 36"},
        Copy{"WavChunkLost", WavWith(TagOf(3, {kTitle3})), WavTagged(TagOf(3, {kTitle3, kBpm3})), TagContainer::Wav,
             "has chunk \"data\" at byte 36 where the original has chunk \"note\""},
        Copy{"WavBecomesRifx", WavWith({}),
             Container("RIFX", "WAVE", {ChunkOf("fmt ", PcmFormat(true), true), ChunkOf("ID3 ", TagOf(3, {kBpm3}), true),
                                        ChunkOf("data", Bytes(4, 0), true)}),
             TagContainer::Wav, "is a RIFX file, the original a RIFF file"}),
    [](const ::testing::TestParamInfo<Copy>& test) { return std::string(test.param.name); });

// What TagLib itself writes, on files built byte by byte (so this runs under Wine too):
// the proof holds where TagLib keeps every frame and fails where it drops or changes one.
struct TagLibCase {
  const char* name;
  Bytes original;
  TagContainer container;
  const char* result;  // "" when the proof holds, else a part of the reason
};

class TagLibWrites : public ::testing::TestWithParam<TagLibCase> {};

TEST_P(TagLibWrites, AreProvenOrCaught) {
  const Bytes copy = tagtest::WriteBpmWithTagLib(GetParam().original, GetParam().container, 128);
  ASSERT_FALSE(copy.empty());
  const std::string reason = Prove(GetParam().original, copy, GetParam().container);
  if (std::string(GetParam().result).empty()) {
    EXPECT_EQ(reason, "");
  } else {
    EXPECT_NE(reason.find(GetParam().result), std::string::npos) << reason;
  }
}

const Bytes kUtf16Title = Frame(3, "TIT2", {1, 0xFF, 0xFE, 'T', 0, 0xFF, 0, 0, 0});

INSTANTIATE_TEST_SUITE_P(
    Facts, TagLibWrites,
    ::testing::Values(
        TagLibCase{"Untagged", SilentMp3(6), TagContainer::Mp3, ""},
        TagLibCase{"V23", kOriginal, TagContainer::Mp3, ""},
        TagLibCase{"V23ReplacesItsBpm", Mp3(TagOf(3, {kTitle3, Frame(3, "TBPM", Text("99")), kPrivate3})),
                   TagContainer::Mp3, ""},
        TagLibCase{"V23Utf16", Mp3(TagOf(3, {kUtf16Title, kComment3})), TagContainer::Mp3, ""},
        TagLibCase{"V23WholeTagUnsynchronised",
                   Mp3(Tag(3, Unsynchronised(Join({Frame(3, "PRIV", {'o', 0, 0xFF, 0xE0}), kTitle3})), 0x80)),
                   TagContainer::Mp3, ""},
        TagLibCase{"V24UnsynchronisedFrame",
                   Mp3(TagOf(4, {Frame(4, "TIT2", Text("Title")), Frame(4, "PRIV", {'o', 0, 0xFF, 0, 0xE0}, 0x0002)})),
                   TagContainer::Mp3, ""},
        TagLibCase{"V24FooterAfterPadding", Mp3(TagOf(4, {Frame(4, "TIT2", Text("Title"))}, 20, 0x10)),
                   TagContainer::Mp3, ""},
        // TagLib stops reading 10 bytes before the footer, and loses what is there.
        TagLibCase{"V24FooterRightAfterTheFrames",
                   Mp3(TagOf(4, {Frame(4, "TIT2", Text("Title")), Frame(4, "PRIV", {'o', 0, 7})}, 0, 0x10)),
                   TagContainer::Mp3, "in the last bytes of the ID3v2.4 tag at byte 0, which has a footer"},
        TagLibCase{"V22", Mp3(TagOf(2, {Frame(2, "TT2", Text("Title")), Frame(2, "TP1", Text("Artist")), kPic})),
                   TagContainer::Mp3, ""},
        // TagLib maps ID3v2.2's original artist (TOA) to the original album (TOAL).
        TagLibCase{"V22OriginalArtist", Mp3(TagOf(2, {Frame(2, "TOA", Text("Someone"))})), TagContainer::Mp3,
                   "frame TOPE at byte 10 of the original is missing"},
        // Frame flags: TagLib writes none, and drops a frame marked to be dropped when the
        // tag changes.
        TagLibCase{"V23FileAlterFlag", Mp3(TagOf(3, {Frame(3, "TIT2", Text("Title"), 0x4000)})), TagContainer::Mp3,
                   "frame TIT2 at byte 10 of the original is changed"},
        TagLibCase{"V23TagAlterFlag", Mp3(TagOf(3, {kTitle3, Frame(3, "PRIV", {'o', 0, 5}, 0x8000)})),
                   TagContainer::Mp3, "frame PRIV at byte 26 of the original is missing"},
        // ID3v2.4 has no TSIZ and no TDAT, and TagLib reads every tag as 2.4.
        TagLibCase{"V23Size", Mp3(TagOf(3, {kTitle3, Frame(3, "TSIZ", Text("12345"))})), TagContainer::Mp3,
                   "frame TSIZ at byte 26 of the original is missing"},
        TagLibCase{"V23YearInUtf16", Mp3(TagOf(3, {Frame(3, "TYER", {1, 0xFF, 0xFE, '2', 0, '0', 0, '0', 0, '1', 0})})),
                   TagContainer::Mp3, "frame TYER at byte 10 of the original is changed"},
        TagLibCase{"WavUntagged", WavWith({}), TagContainer::Wav, ""},
        TagLibCase{"WavLowercaseChunkV23", WavWith(TagOf(3, {kTitle3, kComment3}, 10)), TagContainer::Wav, ""},
        TagLibCase{"WavV24", WavWith(TagOf(4, {Frame(4, "TIT2", Text("Title", 3))}), "ID3 "), TagContainer::Wav, ""},
        TagLibCase{"Rifx", Container("RIFX", "WAVE", {ChunkOf("fmt ", PcmFormat(true), true), ChunkOf("data", Bytes(8, 1), true)}),
                   TagContainer::Wav, "the written copy"}),
    [](const ::testing::TestParamInfo<TagLibCase>& test) { return std::string(test.param.name); });

}  // namespace
