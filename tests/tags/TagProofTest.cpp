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
#include "tests/TestHelpers.h"
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
const Bytes kComment3 =
    Frame(3, "COMM", Join({{1}, {'e', 'n', 'g'}, {0xFF, 0xFE, 0, 0}, {0xFF, 0xFE, 'h', 0, 'i', 0, 0, 0}}));
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
const Bytes kApic =
    Frame(3, "APIC", Join({{0}, {'i', 'm', 'a', 'g', 'e', '/', 'j', 'p', 'e', 'g', 0}, {3}, {'c', 0}, {9, 9}}));

Bytes WavTagged(const Bytes& tag, const std::string& dataByte = "\x11") {
  return Container("RIFF", "WAVE",
                   {ChunkOf("fmt ", PcmFormat()), ChunkOf("data", Bytes(400, static_cast<uint8_t>(dataByte[0]))),
                    ChunkOf("ID3 ", tag)});
}

INSTANTIATE_TEST_SUITE_P(
    ByHand, ProofOfCopies,
    ::testing::Values(
        Copy{"SameFramesMorePadding", kOriginal, Mp3(TagOf(3, {kTitle3, kComment3, kPrivate3, kBpm3}, 1024)),
             TagContainer::Mp3, ""},
        Copy{"FramesInAnotherOrder", kOriginal, Mp3(TagOf(3, {kBpm3, kPrivate3, kTitle3, kComment3})),
             TagContainer::Mp3, ""},
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
        Copy{"FrameAdded", kOriginal,
             Mp3(TagOf(3, {kTitle3, kComment3, kPrivate3, Frame(3, "TYER", Text("2001")), kBpm3})), TagContainer::Mp3,
             "has a frame TYER"},
        Copy{"NoBpm", kOriginal, Mp3(TagOf(3, {kTitle3, kComment3, kPrivate3})), TagContainer::Mp3,
             "holds 0 BPM frames"},
        Copy{"TwoBpms", kOriginal, Mp3(TagOf(3, {kTitle3, kComment3, kPrivate3, kBpm3, kBpm3})), TagContainer::Mp3,
             "holds 2 BPM frames"},
        Copy{"WrongBpm", kOriginal, Mp3(TagOf(3, {kTitle3, kComment3, kPrivate3, Frame(3, "TBPM", Text("127"))})),
             TagContainer::Mp3, "holds \"127\", not \"128\""},
        Copy{"AudioChanged", kOriginal, ChangedAt(Mp3(TagOf(3, {kTitle3, kComment3, kPrivate3, kBpm3})), 3),
             TagContainer::Mp3, "changed the audio after the tag"},
        Copy{"AudioCutShort", kOriginal, Join({TagOf(3, {kTitle3, kComment3, kPrivate3, kBpm3}), SilentMp3(5)}),
             TagContainer::Mp3, "changed the audio"},
        Copy{"VersionChanged", kOriginal,
             Mp3(TagOf(4, {Frame(4, "TIT2", Text("Title")), Frame(4, "TBPM", Text("128"))})), TagContainer::Mp3,
             "ID3v2.4, the original's ID3v2.3"},
        Copy{"V22FrameWithoutEquivalent", Mp3(TagOf(2, {Frame(2, "CRM", Text("x"))})), Mp3(TagOf(3, {kBpm3})),
             TagContainer::Mp3, "has no ID3v2.3 equivalent"},
        Copy{"CopyUnaccountable", kOriginal, Mp3(TagOf(3, {kTitle3, Frame(3, "talb", Text("A")), kBpm3})),
             TagContainer::Mp3, "the written copy cannot be accounted for: an invalid frame ID"},
        Copy{"OriginalUnaccountable", Mp3(TagOf(3, {Frame(3, "talb", Text("A"))})), Mp3(TagOf(3, {kBpm3})),
             TagContainer::Mp3, "the original cannot be accounted for"},
        Copy{"WavTagChunkMoved", WavWith(TagOf(3, {kTitle3})),
             Container("RIFF", "WAVE",
                       {ChunkOf("ID3 ", TagOf(3, {kTitle3, kBpm3})), ChunkOf("fmt ", PcmFormat()),
                        ChunkOf("note", Text("odds")), ChunkOf("data", Bytes(400, 0x11))}),
             TagContainer::Wav, ""},
        Copy{"WavSampleChanged", WavTagged(TagOf(3, {kTitle3})), WavTagged(TagOf(3, {kTitle3, kBpm3}), "\x12"),
             TagContainer::Wav, "changed chunk \"data\" at byte 36"},
        Copy{"WavChunkLost", WavWith(TagOf(3, {kTitle3})), WavTagged(TagOf(3, {kTitle3, kBpm3})), TagContainer::Wav,
             "has chunk \"data\" at byte 36 where the original has chunk \"note\""},
        Copy{"WavBecomesRifx", WavWith({}),
             Container("RIFX", "WAVE",
                       {ChunkOf("fmt ", PcmFormat(true), true), ChunkOf("ID3 ", TagOf(3, {kBpm3}), true),
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
        TagLibCase{
            "Rifx",
            Container("RIFX", "WAVE", {ChunkOf("fmt ", PcmFormat(true), true), ChunkOf("data", Bytes(8, 1), true)}),
            TagContainer::Wav, "the written copy"}),
    [](const ::testing::TestParamInfo<TagLibCase>& test) { return std::string(test.param.name); });

// Adds a tag full of the frames a tag writer could lose, or prints every frame, one a line.
constexpr const char* kMutagenScript = R"(import sys
from mutagen.id3 import ID3, ID3NoHeaderError, APIC, COMM, PRIV, TALB, TDRC, TIT2, TPE1, TXXX, TYER, USLT
from mutagen.wave import WAVE
command, path = sys.argv[1], sys.argv[2]
wav = path.endswith('.wav')
if command == 'prepare':
    version = int(sys.argv[3])
    if wav:
        f = WAVE(path); f.add_tags(); tags = f.tags
    else:
        tags = ID3()
    tags.add(TIT2(encoding=1, text=['T\u00edtulo \u266b']))
    tags.add(TPE1(encoding=3 if version == 4 else 1, text=['\u00c4rtist']))
    tags.add(TALB(encoding=0, text=['Album']))
    tags.add(APIC(encoding=0, mime='image/png', type=3, desc='Cover', data=bytes(range(256)) * 64))
    tags.add(COMM(encoding=1, lang='eng', desc='', text=['Comment \u00fcn\u00efc\u00f6d\u00e9']))
    tags.add(PRIV(owner='WM/MediaClassPrimaryID', data=bytes(range(16))))
    tags.add(TXXX(encoding=0, desc='REPLAYGAIN_TRACK_GAIN', text=['-6.50 dB']))
    tags.add(TXXX(encoding=0, desc='REPLAYGAIN_TRACK_PEAK', text=['0.988']))
    tags.add(USLT(encoding=1, lang='eng', desc='', text='Line one\nLine two'))
    tags.add(TYER(encoding=0, text=['2001']) if version == 3 else TDRC(encoding=3, text=['2001-05-06']))
    if wav:
        f.save(v2_version=version)
    else:
        tags.save(path, v1=0, v2_version=version)
else:
    try:
        tags = WAVE(path, translate=False).tags if wav else ID3(path, translate=False, load_v1=False)
    except ID3NoHeaderError:
        tags = None
    print('version', 'none' if tags is None else '%d.%d' % tags.version[:2])
    for frame in sorted(tags.values() if tags else [], key=repr):
        print(repr(frame))
)";

bool HaveMutagenAndLame() {
  return testaudio::HaveTool("lame") && testaudio::HaveTool("mpg123") &&
         testaudio::RunCommand(std::string(testaudio::kPython) + " -c 'import mutagen' 2>/dev/null") == 0;
}

std::vector<std::string> Lines(const std::string& command) {
  std::vector<std::string> lines;
  FILE* out = popen(command.c_str(), "r");
  if (out == nullptr) return {"cannot run " + command};
  char buffer[1 << 16];
  while (fgets(buffer, sizeof buffer, out) != nullptr) lines.emplace_back(buffer);
  return pclose(out) == 0 ? lines : std::vector<std::string>{"failed: " + command};
}

// A click track from lame (or as a WAV), tagged by mutagen with ID3v2.`version` (0: none).
class MutagenFile {
 public:
  MutagenFile(bool wav, int version) : wav_(wav), path_(dir_.File(wav ? "track.wav" : "track.mp3")) {
    testaudio::WriteClickWav(dir_.File("click.wav"), {.seconds = 2.0});
    if (wav) {
      std::rename(dir_.File("click.wav").c_str(), path_.c_str());
    } else {
      testaudio::RunCommand("lame --quiet -b 128 '" + dir_.File("click.wav") + "' '" + path_ + "'");
    }
    std::ofstream(dir_.File("tags.py")) << kMutagenScript;
    if (version) testaudio::RunCommand(Python() + "prepare '" + path_ + "' " + std::to_string(version));
  }
  std::string Python() const { return std::string(testaudio::kPython) + " '" + dir_.File("tags.py") + "' "; }
  Bytes Read() const { return testaudio::ReadFile(path_); }
  // What mutagen reads in `bytes`, and the hash of the audio they decode to.
  std::vector<std::string> Judge(const Bytes& bytes) const {
    testaudio::WriteFile(path_, bytes);
    std::vector<std::string> lines = Lines(Python() + "dump '" + path_ + "'");
    const std::string decode = wav_ ? std::string(testaudio::kPython) +
                                          " -c \"import wave,sys; w=wave.open(sys.argv[1]); "
                                          "sys.stdout.buffer.write(w.readframes(w.getnframes()))\" '" +
                                          path_ + "'"
                                    : "mpg123 -q -s '" + path_ + "'";
    const std::vector<std::string> audio = Lines(decode + " | sha256sum");
    lines.insert(lines.end(), audio.begin(), audio.end());
    return lines;
  }

 private:
  testaudio::ScratchDir dir_;
  bool wav_;
  std::string path_;
};

struct Clean {
  const char* name;
  bool wav;
  int version;
};

class CleanFiles : public ::testing::TestWithParam<Clean> {};

TEST_P(CleanFiles, TagLibsWriteIsProvenAndMutagenSeesOnlyTheBpmAdded) {
  if (!HaveMutagenAndLame()) GTEST_SKIP() << "needs lame, mpg123 and python3-mutagen (scripts/setup.sh)";
  const TagContainer container = GetParam().wav ? TagContainer::Wav : TagContainer::Mp3;
  const MutagenFile file(GetParam().wav, GetParam().version);
  const Bytes original = file.Read();
  const Bytes copy = tagtest::WriteBpmWithTagLib(original, container, 128);
  ASSERT_FALSE(copy.empty());
  EXPECT_EQ(Prove(original, copy, container), "");

  std::vector<std::string> expected = file.Judge(original);
  if (expected.at(0) == "version none\n") expected.at(0) = "version 2.3\n";
  expected.push_back("TBPM(encoding=<Encoding.LATIN1: 0>, text=['128'])\n");
  std::vector<std::string> judged = file.Judge(copy);
  std::sort(expected.begin(), expected.end());
  std::sort(judged.begin(), judged.end());
  EXPECT_EQ(judged, expected);
}

INSTANTIATE_TEST_SUITE_P(Mutagen, CleanFiles,
                         ::testing::Values(Clean{"Mp3Untagged", false, 0}, Clean{"Mp3Id3v23", false, 3},
                                           Clean{"Mp3Id3v24", false, 4}, Clean{"WavUntagged", true, 0},
                                           Clean{"WavId3v23", true, 3}, Clean{"WavId3v24", true, 4}),
                         [](const ::testing::TestParamInfo<Clean>& test) { return std::string(test.param.name); });

// Where the ID3v2 tag of a file mutagen tagged starts: at 0 in an MP3, in its chunk in a WAV.
size_t TagAt(const Bytes& file, bool wav) {
  for (size_t at = 12; wav && at + 8 <= file.size();
       at += 8 + ((file[at + 4] | file[at + 5] << 8 | file[at + 6] << 16) + 1) / 2 * 2) {
    if (std::equal(file.begin() + at + 1, file.begin() + at + 4, "d3 ") ||
        std::equal(file.begin() + at + 1, file.begin() + at + 4, "D3 ")) {
      return at + 8;
    }
  }
  return 0;
}

// Adds `delta` to a little-endian 32-bit size at `at` (a WAV's RIFF or chunk size).
void Grow(Bytes& file, size_t at, uint32_t delta) {
  uint32_t size = file[at] | file[at + 1] << 8 | file[at + 2] << 16 | static_cast<uint32_t>(file[at + 3]) << 24;
  size += delta;
  for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(size >> (8 * i));
}

// Inserts bytes inside the tag (behind its header, when `extendedHeader`, marked as one).
Bytes WithInsideTag(Bytes file, bool wav, const Bytes& inserted, bool extendedHeader) {
  const size_t tag = TagAt(file, wav);
  const Bytes grown =
      Tag(file[tag + 3],
          Join({inserted, Bytes(file.begin() + tag + 10, file.begin() + tag + 10 +
                                                             ((file[tag + 6] << 21) | (file[tag + 7] << 14) |
                                                              (file[tag + 8] << 7) | file[tag + 9]))}),
          static_cast<uint8_t>(file[tag + 5] | (extendedHeader ? 0x40 : 0)));
  file.erase(file.begin() + tag, file.begin() + tag + static_cast<std::ptrdiff_t>(grown.size() - inserted.size()));
  file.insert(file.begin() + tag, grown.begin(), grown.end());
  if (wav) {
    Grow(file, 4, static_cast<uint32_t>(inserted.size()));
    Grow(file, tag - 4, static_cast<uint32_t>(inserted.size()));
  }
  return file;
}

Bytes Replaced(Bytes file, const std::string& from, const std::string& to) {
  const auto at = std::search(file.begin(), file.end(), from.begin(), from.end());
  if (at != file.end()) std::copy(to.begin(), to.end(), at);
  return file;
}

struct Damage {
  const char* name;
  bool wav;
  Bytes (*damage)(const Bytes& clean, bool wav);
  const char* reason;  // a part of the refusal
};

const Bytes kBpm99 = TagOf(3, {Frame(3, "TBPM", Text("99"))});

const Damage kDamages[] = {
    {"ExtendedHeader", false,
     [](const Bytes& f, bool w) {
       return WithInsideTag(f, w, {0, 0, 0, 6, 0, 0, 0, 0, 4, 0}, true);
     },
     "has an extended header, which TagLib misreads"},
    {"ExtendedHeaderWithCrc", false,
     [](const Bytes& f, bool w) {
       return WithInsideTag(f, w, {0, 0, 0, 10, 0x80, 0, 0, 0, 0, 0, 1, 2, 3, 4}, true);
     },
     "extended header with a CRC"},
    {"WavExtendedHeader", true,
     [](const Bytes& f, bool w) {
       return WithInsideTag(f, w, {0, 0, 0, 6, 0, 0, 0, 0, 0, 0}, true);
     },
     "extended header"},
    {"LowercaseId", false, [](const Bytes& f, bool) { return Replaced(f, "TALB", "talb"); },
     "invalid frame ID \"talb\""},
    {"V22IdInV23", false, [](const Bytes& f, bool) { return Replaced(f, "TPE1", std::string("TP1\0", 4)); },
     "ID3v2.2 frame ID \"TP1\""},
    {"CorruptIdByte", false, [](const Bytes& f, bool) { return Replaced(f, "COMM", "C\xCFMM"); }, "\"C\\xCFMM\""},
    {"WavCorruptIdByte", true, [](const Bytes& f, bool) { return Replaced(f, "USLT", "US\x01T"); }, "\"US\\x01T\""},
    {"TwoTags", false,
     [](const Bytes& f, bool) {
       Bytes file = f;
       const size_t end = 10 + ((f[6] << 21) | (f[7] << 14) | (f[8] << 7) | f[9]);
       file.insert(file.begin() + static_cast<std::ptrdiff_t>(end), kBpm99.begin(), kBpm99.end());
       return file;
     },
     "a second ID3v2 tag"},
    {"WavId3AndID3Chunks", true,
     [](const Bytes& f, bool) {
       Bytes file = Join({f, ChunkOf(f[TagAt(f, true) - 8] == 'i' ? "ID3 " : "id3 ", kBpm99)});
       Grow(file, 4, static_cast<uint32_t>(file.size() - f.size()));
       return file;
     },
     "more than one ID3 chunk"},
    {"WavDataSizeZero", true, [](const Bytes& f, bool) { return Replaced(f, "data", std::string("data\0\0\0\0", 8)); },
     "has a size of 0"},
};

class DamagedFiles : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedFiles, AreRefusedAndTagLibsWriteFailsTheProof) {
  if (!HaveMutagenAndLame()) GTEST_SKIP() << "needs lame, mpg123 and python3-mutagen (scripts/setup.sh)";
  const TagContainer container = GetParam().wav ? TagContainer::Wav : TagContainer::Mp3;
  const Bytes damaged = GetParam().damage(MutagenFile(GetParam().wav, 3).Read(), GetParam().wav);
  const tags::TagWalk walk = tags::WalkTags(tags::MemoryBytes(damaged), container);
  EXPECT_NE(walk.refusal.find(GetParam().reason), std::string::npos) << walk.refusal;
  const Bytes copy = tagtest::WriteBpmWithTagLib(damaged, container, 128);
  if (!copy.empty()) {
    EXPECT_NE(Prove(damaged, copy, container), "");
  }
}

INSTANTIATE_TEST_SUITE_P(FromTheIssue, DamagedFiles, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& test) { return std::string(test.param.name); });

}  // namespace
