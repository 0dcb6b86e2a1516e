// BPM tags in FLAC, Ogg Vorbis, Opus, M4A, WMA, AIFF, WavPack and Monkey's Audio files made
// by ffmpeg (or, for APE, which ffmpeg cannot write, by a script) and tagged by mutagen: mutagen reads the new BPM back, every other field and picture stay,
// and ffmpeg decodes the same audio from the written file.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "tags/BpmTag.h"
#include "tags/ContainerTags.h"
#include "tests/TestHelpers.h"

namespace {

using tags::BpmTagOutcome;
using testaudio::kPython;

// 'prepare' gives a file a title, an artist and a cover the way each format keeps them;
// 'dump' prints the BPM field as "bpm VALUE" and every other field and picture sorted.
constexpr const char* kMutagenScript = R"(import sys, hashlib, struct, base64
import mutagen
from mutagen.flac import Picture
from mutagen.id3 import APIC, TIT2, TPE1
from mutagen.mp4 import MP4Cover
from mutagen.apev2 import APEValue, BINARY
from mutagen.asf import ASFByteArrayAttribute
command, path = sys.argv[1], sys.argv[2]
cover = bytes(range(256)) * 40
kind = type(mutagen.File(path)).__name__
f = mutagen.File(path)
if command == 'prepare':
    if kind in ('FLAC', 'OggVorbis', 'OggOpus', 'OggFLAC'):
        f['title'] = ['T\u00edtulo \u266b']; f['artist'] = ['\u00c4rtist', 'Second']
        p = Picture(); p.type = 3; p.mime = 'image/png'; p.desc = 'Cover'; p.data = cover
        if kind == 'FLAC': f.add_picture(p)
        else: f['metadata_block_picture'] = [base64.b64encode(p.write()).decode('ascii')]
    elif kind == 'MP4':
        f['\xa9nam'] = ['T\u00edtulo \u266b']; f['\xa9ART'] = ['\u00c4rtist']
        f['covr'] = [MP4Cover(cover, imageformat=MP4Cover.FORMAT_PNG)]
    elif kind == 'ASF':
        f['Title'] = ['T\u00edtulo \u266b']; f['Author'] = ['\u00c4rtist']; f['WM/AlbumTitle'] = ['Album']
        mime = 'image/png\0'.encode('utf-16-le'); desc = 'Cover\0'.encode('utf-16-le')
        f['WM/Picture'] = [ASFByteArrayAttribute(struct.pack('<bi', 3, len(cover)) + mime + desc + cover)]
    elif kind == 'AIFF':
        f.add_tags()
        f.tags.add(TIT2(encoding=1, text=['T\u00edtulo \u266b'])); f.tags.add(TPE1(encoding=1, text=['\u00c4rtist']))
        f.tags.add(APIC(encoding=0, mime='image/png', type=3, desc='Cover', data=cover))
    else:
        if f.tags is None: f.add_tags()
        f['Title'] = 'T\u00edtulo \u266b'; f['Artist'] = '\u00c4rtist'
        f['Cover Art (Front)'] = APEValue(b'cover.png\0' + cover, BINARY)
    f.save()
else:
    lines = []
    for key, value in (f.tags.items() if f.tags is not None else []):
        if key.lower() in ('bpm', 'tmpo', 'wm/beatsperminute', 'tbpm'):
            first = value[0] if isinstance(value, list) else value
            lines.append('bpm ' + str(first))
        elif all(str(v) == '' for v in (value if isinstance(value, list) else [value])):
            # TagLib writes WMA's content description whole: its empty texts are no field.
            continue
        else:
            lines.append('field %s %s' % (key, hashlib.md5(repr(value).encode()).hexdigest()))
    for p in getattr(f, 'pictures', []):
        lines.append('picture ' + hashlib.md5(p.data).hexdigest())
    print('\n'.join(sorted(lines)))
)";

// A Monkey's Audio file (version 3.99) of two frames of 3 s of stereo silence in all, each
// frame flagged as silence, with its CRC, and followed by filler bytes its decoder does
// not read: the audio the decoder gives cannot change, but the check of the written copy
// still sees every byte of the frames.
constexpr const char* kApeScript = R"(import struct, sys, zlib, random
blocks_per_frame, total = 73728, 3 * 44100
frames = [blocks_per_frame, total - blocks_per_frame]
rng = random.Random(1)
bodies = [struct.pack('<II', zlib.crc32(bytes(4 * n)) >> 1 | 0x80000000, 3) + rng.randbytes(120000) for n in frames]
first = 52 + 24 + 4 * len(frames)
seek = [first, first + len(bodies[0])]
audio = b''.join(bodies)
descriptor = b'MAC ' + struct.pack('<HHIIIIIII', 3990, 0, 52, 24, 4 * len(frames), 0, len(audio), 0, 0) + bytes(16)
header = struct.pack('<HHIIIHHI', 2000, 32, blocks_per_frame, frames[-1], len(frames), 16, 2, 44100)
open(sys.argv[1], 'wb').write(descriptor + header + struct.pack('<2I', *seek) + audio)
)";

struct FormatCase {
  const char* extension;
  const char* encoder;  // ffmpeg's audio options; null: made by kApeScript
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class ContainerTagTest : public ::testing::TestWithParam<FormatCase> {
 protected:
  void SetUp() override {
    if (!testaudio::HaveTool("ffmpeg") ||
        testaudio::RunCommand(std::string(kPython) + " -c 'import mutagen' 2>/dev/null") != 0) {
      GTEST_SKIP() << "needs ffmpeg and python3-mutagen (scripts/setup.sh)";
    }
    std::ofstream(dir_.File("tags.py")) << kMutagenScript;
    file_ = dir_.File(std::string("track.") + GetParam().extension);
    if (GetParam().encoder == nullptr) {
      std::ofstream(dir_.File("ape.py")) << kApeScript;
      ASSERT_EQ(testaudio::RunCommand(std::string(kPython) + " '" + dir_.File("ape.py") + "' '" + file_ + "'"), 0);
    } else {
      ASSERT_EQ(testaudio::RunCommand("ffmpeg -v error -f lavfi -i 'sine=frequency=440:duration=3' -ac 2 " +
                                      std::string(GetParam().encoder) + " '" + file_ + "'"),
                0);
    }
    ASSERT_EQ(Mutagen("prepare"), "");
  }

  std::string Mutagen(const char* command) {
    const std::string out = dir_.File("out.txt");
    if (testaudio::RunCommand(std::string(kPython) + " '" + dir_.File("tags.py") + "' " + command + " '" + file_ +
                              "' > '" + out + "'") != 0) {
      return "mutagen failed";
    }
    return ReadText(out);
  }

  std::string AudioDigest() {
    const std::string out = dir_.File("md5.txt");
    if (testaudio::RunCommand("ffmpeg -v fatal -i '" + file_ + "' -map 0:a -f md5 - 2>/dev/null > '" + out + "'") != 0)
      return "";
    return ReadText(out);
  }

  testaudio::ScratchDir dir_;
  std::string file_;
};

TEST_P(ContainerTagTest, WritesTheBpmFieldAndKeepsEverythingElse) {
  const std::string fieldsBefore = Mutagen("dump");
  const std::string audioBefore = AudioDigest();
  ASSERT_NE(audioBefore, "");
  ASSERT_EQ(fieldsBefore.find("bpm "), std::string::npos) << fieldsBefore;
  ASSERT_NE(fieldsBefore.find("field "), std::string::npos) << fieldsBefore;

  EXPECT_EQ(tags::ReadBpmTag(file_).bpm, "");
  const tags::BpmTagResult written = tags::WriteBpmTag(file_, 128, {});
  ASSERT_EQ(written.outcome, BpmTagOutcome::Written) << written.reason;
  EXPECT_EQ(Mutagen("dump"), "bpm 128\n" + fieldsBefore);
  EXPECT_EQ(AudioDigest(), audioBefore);
  EXPECT_EQ(tags::ReadBpmTag(file_).bpm, "128");

  // A BPM already there stays unless overwritten.
  const tags::BpmTagResult kept = tags::WriteBpmTag(file_, 100, {});
  EXPECT_EQ(kept.outcome, BpmTagOutcome::SkippedExisting);
  EXPECT_EQ(kept.existing, "128");
  const tags::BpmTagResult replaced = tags::WriteBpmTag(file_, 100, {.overwrite = true});
  ASSERT_EQ(replaced.outcome, BpmTagOutcome::Written) << replaced.reason;
  EXPECT_EQ(Mutagen("dump"), "bpm 100\n" + fieldsBefore);
  EXPECT_EQ(AudioDigest(), audioBefore);

  // The check of a copy sees one changed byte of the audio, which no tag reader looks at.
  std::string altered = ReadText(file_);
  altered[altered.size() * 3 / 4] ^= 0x01;
  const std::string alteredPath = dir_.File(std::string("altered.") + GetParam().extension);
  std::ofstream(alteredPath, std::ios::binary) << altered;
  const std::optional<tags::Container> container = tags::ContainerOf(file_);
  ASSERT_TRUE(container);
  EXPECT_EQ(tags::CheckContainerCopy(file_, file_, *container, 100), "");
  EXPECT_EQ(tags::CheckContainerCopy(file_, alteredPath, *container, 100), "the written copy differs outside its tag");
}

INSTANTIATE_TEST_SUITE_P(Formats, ContainerTagTest,
                         ::testing::Values(FormatCase{"flac", "-c:a flac"}, FormatCase{"ogg", "-c:a libvorbis"},
                                           FormatCase{"opus", "-c:a libopus"}, FormatCase{"oga", "-c:a flac"},
                                           FormatCase{"m4a", "-c:a aac"}, FormatCase{"wma", "-c:a wmav2"},
                                           FormatCase{"aiff", "-c:a pcm_s16be"}, FormatCase{"wv", "-c:a wavpack"},
                                           FormatCase{"ape", nullptr}),
                         [](const auto& test) { return std::string(test.param.extension); });

// A damaged copy of a format TagLib reads is refused and left byte for byte.
TEST(ContainerTag, TruncatedFileIsRefusedAndLeftAlone) {
  testaudio::ScratchDir dir;
  for (const char* name : {"cut.flac", "cut.m4a", "cut.ogg", "cut.wma"}) {
    const std::string path = dir.File(name);
    const std::string bytes("fLaC\x80\0\0", 7);
    std::ofstream(path, std::ios::binary) << bytes;
    const tags::BpmTagResult result = tags::WriteBpmTag(path, 120, {});
    EXPECT_EQ(result.outcome, BpmTagOutcome::Failed) << name;
    EXPECT_FALSE(result.reason.empty()) << name;
    EXPECT_EQ(ReadText(path), bytes) << name;
  }
}

}  // namespace
