// TagLib's write of a BPM frame on a stream in memory, the same calls the tag writer makes
// on its copy of a file.
#include "tests/tags/TagLibWrite.h"

#include <taglib/id3v2tag.h>
#include <taglib/id3v2header.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>
#include <taglib/wavfile.h>

namespace tagtest {

namespace {

void SetBpm(TagLib::ID3v2::Tag* tag, int bpm) {
  tag->removeFrames("TBPM");
  auto* frame = new TagLib::ID3v2::TextIdentificationFrame("TBPM", TagLib::String::Latin1);
  frame->setText(TagLib::String::number(bpm));
  tag->addFrame(frame);
}

TagLib::ID3v2::Version VersionFor(bool hasTag, TagLib::ID3v2::Tag* tag) {
  return hasTag && tag->header()->majorVersion() == 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3;
}

}  // namespace

tags::Bytes WriteBpmWithTagLib(const tags::Bytes& file, tags::TagContainer container, int bpm) {
  if (container == tags::TagContainer::Aiff) return {};
  TagLib::ByteVector data(reinterpret_cast<const char*>(file.data()), static_cast<unsigned>(file.size()));
  TagLib::ByteVectorStream stream(data);
  bool saved = false;
  if (container == tags::TagContainer::Mp3) {
    TagLib::MPEG::File mp3(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!mp3.isValid()) return {};
    const bool hasTag = mp3.hasID3v2Tag();
    SetBpm(mp3.ID3v2Tag(true), bpm);
    saved = mp3.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, VersionFor(hasTag, mp3.ID3v2Tag()),
                     TagLib::File::DoNotDuplicate);
  } else {
    TagLib::RIFF::WAV::File wav(&stream, false);
    if (!wav.isValid() || wav.ID3v2Tag() == nullptr) return {};
    const bool hasTag = wav.hasID3v2Tag();
    SetBpm(wav.ID3v2Tag(), bpm);
    saved = wav.save(TagLib::RIFF::WAV::File::ID3v2, TagLib::File::StripNone, VersionFor(hasTag, wav.ID3v2Tag()));
  }
  if (!saved) return {};
  const TagLib::ByteVector* written = stream.data();
  return tags::Bytes(written->begin(), written->end());
}

}  // namespace tagtest
