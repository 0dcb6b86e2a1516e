// Reading and writing the BPM frame of MP3 and WAV files with TagLib, by way of a
// checked copy that replaces the original in one step.
#include "tags/BpmTag.h"

#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfilestream.h>
#include <taglib/unknownframe.h>
#include <taglib/wavfile.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <system_error>
#include <vector>

#include "platform/FileReplace.h"
#include "tags/ByteSource.h"
#include "tags/ContainerTags.h"
#include "tags/TagProof.h"
#include "tags/TagWalk.h"

namespace tags {

namespace {

enum class Kind { Mp3, Wav };

std::optional<Kind> KindOf(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos) return std::nullopt;
  std::string extension = path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == "mp3") return Kind::Mp3;
  if (extension == "wav") return Kind::Wav;
  return std::nullopt;
}

// RIFF::File keeps its chunk list to itself; the check of a written copy needs it to
// compare every chunk but the tag's.
class WavChunks : public TagLib::RIFF::WAV::File {
 public:
  using TagLib::RIFF::WAV::File::File;

  struct Span {
    TagLib::ByteVector name;
    std::streamoff offset;
    std::streamoff size;
  };

  // TagLib takes any run of chunks for a WAV; a wave has its format and its samples.
  bool HasAudio() const {
    bool format = false, data = false;
    for (unsigned i = 0; i < chunkCount(); ++i) {
      format = format || chunkName(i) == "fmt ";
      data = data || chunkName(i) == "data";
    }
    return format && data;
  }

  std::vector<Span> UntaggedChunks() const {
    std::vector<Span> spans;
    for (unsigned i = 0; i < chunkCount(); ++i) {
      const TagLib::ByteVector name = chunkName(i);
      if (name == "ID3 " || name == "id3 ") continue;
      spans.push_back({name, chunkOffset(i), chunkDataSize(i)});
    }
    return spans;
  }
};

// A frame's flags sit behind Frame::header(), which is protected; a pointer to it taken
// in a derived class may be applied to any frame.
struct FrameFlags : TagLib::ID3v2::Frame {
  static TagLib::ID3v2::Frame::Header* Of(const TagLib::ID3v2::Frame* frame) { return (frame->*&FrameFlags::header)(); }
};

// A file opened read-only through TagLib, as an MP3 or a WAV.
class TaggedFile {
 public:
  TaggedFile(const std::string& path, Kind kind) : stream_(path.c_str(), true) {
    if (!stream_.isOpen()) return;
    if (kind == Kind::Mp3) {
      mp3_ = std::make_unique<TagLib::MPEG::File>(&stream_, TagLib::ID3v2::FrameFactory::instance(), false);
    } else {
      wav_ = std::make_unique<WavChunks>(&stream_, false);
    }
  }

  bool IsOpen() { return stream_.isOpen(); }
  bool IsValid() {
    if (mp3_) return mp3_->isValid() && mp3_->firstFrameOffset() >= 0;
    return wav_ && wav_->isValid() && wav_->HasAudio();
  }
  bool HasTag() const { return mp3_ ? mp3_->hasID3v2Tag() : wav_->hasID3v2Tag(); }
  TagLib::ID3v2::Tag* Tag() { return mp3_ ? mp3_->ID3v2Tag() : wav_->ID3v2Tag(); }
  WavChunks* Wav() { return wav_.get(); }

  // The size of the ID3v2 tag on disk, padding included; 0 without one.
  std::streamoff TagBytes() {
    return HasTag() && Tag() != nullptr ? static_cast<std::streamoff>(Tag()->header()->completeTagSize()) : 0;
  }

  std::string Bpm() {
    TagLib::ID3v2::Tag* tag = Tag();
    if (tag == nullptr) return {};
    const TagLib::ID3v2::FrameList& frames = tag->frameListMap()["TBPM"];
    if (frames.isEmpty()) return {};
    return frames.front()->toString().stripWhiteSpace().to8Bit(true);
  }

  // Every frame but the BPM as TagLib reads it, sorted: the text of text frames (a rewrite
  // may change their encoding, never their text), the bytes of every other frame.
  std::vector<std::string> OtherFrames() {
    std::vector<std::string> frames;
    if (!HasTag() || Tag() == nullptr) return frames;
    for (const TagLib::ID3v2::Frame* frame : Tag()->frameList()) {
      const TagLib::ByteVector id = frame->frameID();
      if (id == "TBPM") continue;
      std::string key(id.data(), id.size());
      if (const auto* text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(frame)) {
        for (const TagLib::String& field : text->fieldList()) key += '\0' + field.to8Bit(true);
      } else {
        // Past the frame header, which TagLib always renders as 10 bytes.
        const TagLib::ByteVector bytes = frame->render().mid(10);
        key += '\1' + std::string(bytes.data(), bytes.size());
      }
      frames.push_back(std::move(key));
    }
    std::sort(frames.begin(), frames.end());
    return frames;
  }

  // Frames TagLib keeps only as bytes it cannot read and would write back without their
  // flags, which makes them unreadable.
  bool HasSealedFrames() {
    if (!HasTag() || Tag() == nullptr) return false;
    for (const TagLib::ID3v2::Frame* frame : Tag()->frameList()) {
      if (FrameFlags::Of(frame)->encryption() || (FrameFlags::Of(frame)->compression() &&
                                                  dynamic_cast<const TagLib::ID3v2::UnknownFrame*>(frame) != nullptr)) {
        return true;
      }
    }
    return false;
  }

 private:
  TagLib::FileStream stream_;
  std::unique_ptr<TagLib::MPEG::File> mp3_;
  std::unique_ptr<WavChunks> wav_;
};

const char* KindName(Kind kind) {
  return kind == Kind::Mp3 ? "MP3" : "WAV";
}

// Compares `size` bytes at `offsetA` in `a` with those at `offsetB` in `b`.
bool SameBytes(std::ifstream& a, std::streamoff offsetA, std::ifstream& b, std::streamoff offsetB,
               std::streamoff size) {
  std::vector<char> bufferA(1 << 16), bufferB(1 << 16);
  a.clear();
  b.clear();
  a.seekg(offsetA);
  b.seekg(offsetB);
  while (size > 0) {
    const std::streamsize block = static_cast<std::streamsize>(std::min<std::streamoff>(size, 1 << 16));
    if (!a.read(bufferA.data(), block) || !b.read(bufferB.data(), block)) return false;
    if (std::memcmp(bufferA.data(), bufferB.data(), static_cast<size_t>(block)) != 0) return false;
    size -= block;
  }
  return true;
}

std::streamoff SizeOf(std::ifstream& file) {
  file.clear();
  file.seekg(0, std::ios::end);
  return file.tellg();
}

// Length of the longest run of equal bytes at the start (fromEnd: at the end) of both.
std::streamoff CommonRun(std::ifstream& a, std::streamoff sizeA, std::ifstream& b, std::streamoff sizeB, bool fromEnd) {
  const std::streamoff limit = std::min(sizeA, sizeB);
  std::vector<char> bufferA(1 << 16), bufferB(1 << 16);
  std::streamoff run = 0;
  while (run < limit) {
    const std::streamoff block = std::min<std::streamoff>(limit - run, 1 << 16);
    a.clear();
    b.clear();
    a.seekg(fromEnd ? sizeA - run - block : run);
    b.seekg(fromEnd ? sizeB - run - block : run);
    if (!a.read(bufferA.data(), block) || !b.read(bufferB.data(), block)) return run;
    for (std::streamoff i = 0; i < block; ++i) {
      const std::streamoff at = fromEnd ? block - 1 - i : i;
      if (bufferA[at] != bufferB[at]) return run + i;
    }
    run += block;
  }
  return run;
}

// Whether `copy` holds the BPM and everything else of `original` unchanged: an MP3 may
// differ only inside its ID3v2 tag, a WAV only in its ID3 chunk (and the RIFF size).
std::string CheckCopy(const std::string& original, const std::string& copy, Kind kind, int bpm) {
  TaggedFile before(original, kind);
  TaggedFile after(copy, kind);
  if (!before.IsValid() || !after.IsValid()) return "the written copy cannot be read back";
  if (before.HasSealedFrames()) return "the tag holds encrypted or compressed frames TagLib cannot keep";
  if (after.Bpm() != std::to_string(bpm)) return "the written copy does not hold the new BPM";
  // TagLib drops frames it cannot write in the tag's version (an ID3v2.3 RVAD, say).
  if (after.OtherFrames() != before.OtherFrames()) return "TagLib would not keep every other frame of the tag";

  std::ifstream a(original, std::ios::binary);
  std::ifstream b(copy, std::ios::binary);
  const std::streamoff sizeA = SizeOf(a), sizeB = SizeOf(b);
  if (!a || !b) return "the written copy cannot be compared";
  if (kind == Kind::Mp3) {
    const std::streamoff tagA = before.TagBytes(), tagB = after.TagBytes();
    const std::streamoff kept = CommonRun(a, sizeA, b, sizeB, false) + CommonRun(a, sizeA, b, sizeB, true);
    if (sizeA - tagA != sizeB - tagB || sizeA - std::min(kept, sizeA) > tagA || sizeB - std::min(kept, sizeB) > tagB) {
      return "the written copy differs outside its tag";
    }
    return {};
  }
  const std::vector<WavChunks::Span> chunksA = before.Wav()->UntaggedChunks();
  const std::vector<WavChunks::Span> chunksB = after.Wav()->UntaggedChunks();
  bool same = chunksA.size() == chunksB.size();
  for (size_t i = 0; same && i < chunksA.size(); ++i) {
    same = chunksA[i].name == chunksB[i].name && chunksA[i].size == chunksB[i].size &&
           SameBytes(a, chunksA[i].offset, b, chunksB[i].offset, chunksA[i].size);
  }
  return same ? std::string() : "the written copy differs outside its ID3 chunk";
}

// Sets the BPM frame in the copy and saves it, keeping the tag's ID3v2 version.
std::string WriteTag(const std::string& copy, Kind kind, int bpm) {
  const auto setBpm = [bpm](TagLib::ID3v2::Tag* tag) {
    tag->removeFrames("TBPM");
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame("TBPM", TagLib::String::Latin1);
    frame->setText(TagLib::String::number(bpm));
    tag->addFrame(frame);
  };
  // A new tag (or an ID3v2.2 one, which TagLib cannot write) becomes ID3v2.3, the version
  // DJ software and Windows Explorer read most widely; 2.3 and 2.4 tags keep theirs.
  const auto versionFor = [](bool hasTag, TagLib::ID3v2::Tag* tag) {
    return hasTag && tag->header()->majorVersion() == 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3;
  };
  bool saved = false;
  if (kind == Kind::Mp3) {
    TagLib::MPEG::File file(copy.c_str(), TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid() || file.readOnly()) return "TagLib cannot open the copy for writing";
    const bool hasTag = file.hasID3v2Tag();
    setBpm(file.ID3v2Tag(true));
    // Only the ID3v2 tag is written: ID3v1 and APE tags stay as they are, and nothing is
    // copied between the tags.
    saved = file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, versionFor(hasTag, file.ID3v2Tag()),
                      TagLib::File::DoNotDuplicate);
  } else {
    TagLib::RIFF::WAV::File file(copy.c_str(), false);
    if (!file.isValid() || file.readOnly() || file.ID3v2Tag() == nullptr) {
      return "TagLib cannot open the copy for writing";
    }
    const bool hasTag = file.hasID3v2Tag();
    setBpm(file.ID3v2Tag());
    saved = file.save(TagLib::RIFF::WAV::File::ID3v2, TagLib::File::StripNone, versionFor(hasTag, file.ID3v2Tag()));
  }
  return saved ? std::string() : "TagLib could not save the tag";
}

constexpr const char* kChangedReason = "changed since it was analysed";
constexpr const char* kNoSpaceReason = "no space left on the device";
// Room a tag rewrite may need beyond the copy: TagLib pads a grown tag to whole KiB.
constexpr uint64_t kRoomForTagBytes = 1 << 20;

BpmTagResult Failure(BpmTagResult result, const std::string& reason) {
  result.outcome = BpmTagOutcome::Failed;
  result.reason = reason;
  return result;
}

}  // namespace

std::optional<int> TagBpm(std::optional<double> bpm) {
  // The upper bound only keeps the conversion to int defined; no music comes near it.
  if (!bpm || !std::isfinite(*bpm) || *bpm < 0.5 || *bpm > 1e6) return std::nullopt;
  return static_cast<int>(std::floor(*bpm + 0.5));
}

const char* BpmTagOutcomeName(BpmTagOutcome outcome) {
  switch (outcome) {
    case BpmTagOutcome::Written:
      return "written";
    case BpmTagOutcome::WouldWrite:
      return "would-write";
    case BpmTagOutcome::SkippedExisting:
      return "skipped-existing";
    case BpmTagOutcome::Failed:
      break;
  }
  return "failed";
}

BpmTagRead ReadBpmTag(const std::string& path) {
  BpmTagRead read;
  const std::optional<Kind> kind = KindOf(path);
  if (!kind) {
    if (const std::optional<Container> container = ContainerOf(path)) {
      const ContainerBpm field = ReadContainerBpm(path, *container);
      read.ok = field.ok;
      read.bpm = field.bpm;
      read.reason = field.reason;
      return read;
    }
    read.reason = "not a format whose BPM tag can be written";
    return read;
  }
  TaggedFile file(path, *kind);
  if (!file.IsOpen()) {
    read.reason = "cannot open the file";
  } else if (!file.IsValid()) {
    read.reason = std::string("not a readable ") + KindName(*kind) + " file";
  } else {
    read.ok = true;
    read.bpm = file.Bpm();
  }
  return read;
}

bool IsValidBpmText(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return false;
  const size_t last = text.find_last_not_of(' ');
  double value = 0.0;
  double scale = 0.1;  // the weight of the next digit after the point
  bool point = false;
  bool digits = false;
  for (size_t i = first; i <= last; ++i) {
    const char c = text[i];
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9') {
      digits = true;
      if (!point) {
        value = value * 10.0 + (c - '0');
      } else {
        value += (c - '0') * scale;
        scale /= 10.0;
      }
    } else {
      return false;
    }
  }
  return digits && value >= 20.0 && value <= 400.0;
}

BpmTagResult WriteBpmTag(const std::string& path, int bpm, const BpmTagOptions& options,
                         const std::optional<platform::FileIdentity>& analysed) {
  BpmTagResult result;
  result.bpm = bpm;
  if (bpm < 1) return Failure(result, "no tempo to write");
  const BpmTagRead current = ReadBpmTag(path);
  if (!current.ok) return Failure(result, current.reason);
  // MP3 and WAV go through the ID3 path with its strict walk and proof; every other
  // container through its own field and copy check.
  const std::optional<Kind> kind = KindOf(path);
  const std::optional<Container> container = ContainerOf(path);
  if (!kind && !container) return Failure(result, "not a file whose BPM tag can be written");
  // Through a symbolic link the file it points to is replaced, and the link stays.
  const std::string target = platform::LinkTarget(path);
  const std::optional<platform::FileIdentity> identity = platform::IdentityOf(target);
  if (!identity) return Failure(result, "cannot read the file's identity");
  if (analysed && *analysed != *identity) return Failure(result, kChangedReason);

  // What TagLib cannot read it would not keep: the file's own structure decides first.
  const TagContainer tagContainer = kind == Kind::Mp3 ? TagContainer::Mp3 : TagContainer::Wav;
  TagWalk walk;
  if (kind) {
    // Closed again before the replace: Windows renames nothing over an open file.
    const FileBytes bytes(target);
    if (!bytes.IsOpen()) return Failure(result, "cannot open the file");
    walk = WalkTags(bytes, tagContainer);
    if (!walk.Accepted()) return Failure(result, walk.refusal);
    if (walk.form == "RIFX" || walk.form == "RF64" || walk.form == "BW64") {
      return Failure(result, "TagLib cannot tag a " + walk.form + " file");
    }
  }
  result.existing = current.bpm;
  // A tempo in another tag or chunk counts as much as TagLib's reading of the first.
  for (const auto& other : walk.bpms) {
    if (IsValidBpmText(result.existing)) break;
    if (IsValidBpmText(other.text)) result.existing = other.text;
  }
  if (result.existing.empty() && !walk.bpms.empty()) result.existing = walk.bpms.front().text;
  if (IsValidBpmText(result.existing) && !options.overwrite) {
    result.outcome = BpmTagOutcome::SkippedExisting;
    return result;
  }
  if (options.dryRun) {
    result.outcome = BpmTagOutcome::WouldWrite;
    return result;
  }

  // A replace gives the name a new file: other hard links would keep the old one, and a
  // Windows link would become a plain file.
  if (identity->linkCount > 1) return Failure(result, "the file has other hard links, which a tagged copy would break");
  if (identity->reparsePoint) return Failure(result, "the file is a symbolic link, which a tagged copy would replace");
  if (std::string reason = platform::ReadOnlyReason(target); !reason.empty()) return Failure(result, reason);
  platform::ReplacementCopy copy;
  if (std::string reason = copy.Make(target); !reason.empty()) {
    return Failure(result, "cannot copy the file: " + reason);
  }
  // TagLib does not say why a save failed; a full disk is the one cause a user can act on.
  const auto saveFailure = [&](const std::string& reason) {
    return platform::FolderIsFull(target, kRoomForTagBytes) ? std::string(kNoSpaceReason) : reason;
  };
  if (std::string reason = kind ? WriteTag(copy.Path(), *kind, bpm) : WriteContainerBpm(copy.Path(), *container, bpm);
      !reason.empty()) {
    return Failure(result, saveFailure(reason));
  }
  if (std::string reason = copy.Flush(); !reason.empty()) {
    return Failure(result, "cannot flush the copy: " + reason);
  }
  if (std::string reason = kind ? CheckCopy(target, copy.Path(), *kind, bpm)
                                : CheckContainerCopy(target, copy.Path(), *container, bpm);
      !reason.empty()) {
    return Failure(result, saveFailure(reason));
  }
  // TagLib's reading of both files is not trusted: the file's own structure must show
  // that every other frame and byte survived.
  if (kind) {
    if (std::string reason = ProveBpmWrite(target, copy.Path(), tagContainer, std::to_string(bpm)); !reason.empty()) {
      return Failure(result, saveFailure(reason));
    }
  }
  // Another program's edit made while the copy was written would be undone by the rename.
  const std::optional<platform::FileIdentity> before = platform::IdentityOf(target);
  if (!before || *before != *identity) return Failure(result, kChangedReason);
  if (std::string reason = copy.Replace(target); !reason.empty()) {
    return Failure(result, "cannot replace the file: " + reason);
  }
  result.outcome = BpmTagOutcome::Written;
  return result;
}

}  // namespace tags
