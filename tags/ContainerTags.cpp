// BPM fields of FLAC, Ogg, MP4, ASF, AIFF, WavPack and APE files through TagLib, and the
// check of a written copy against the original by a walk of each container's bytes.
#include "tags/ContainerTags.h"

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apeitem.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/id3v2header.h>
#include <taglib/mp4file.h>
#include <taglib/oggflacfile.h>
#include <taglib/mp4tag.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace tags {

namespace {

constexpr const char* kAsfBpm = "WM/BeatsPerMinute";

std::string Utf8(const TagLib::String& text) {
  return text.stripWhiteSpace().to8Bit(true);
}

std::string Bytes(const TagLib::ByteVector& bytes) {
  return std::string(bytes.data(), bytes.size());
}

// One container opened through TagLib on a file, read-only or for writing.
class ContainerFile {
 public:
  ContainerFile(const std::string& path, Container container, bool readOnly) : container_(container) {
    const char* name = path.c_str();
    switch (container) {
      case Container::Flac:
        flac_ = std::make_unique<TagLib::FLAC::File>(name, false);
        file_ = flac_.get();
        break;
      case Container::OggVorbis:
        vorbis_ = std::make_unique<TagLib::Ogg::Vorbis::File>(name, false);
        file_ = vorbis_.get();
        break;
      case Container::Opus:
        opus_ = std::make_unique<TagLib::Ogg::Opus::File>(name, false);
        file_ = opus_.get();
        break;
      case Container::OggFlac:
        oggFlac_ = std::make_unique<TagLib::Ogg::FLAC::File>(name, false);
        file_ = oggFlac_.get();
        break;
      case Container::Mp4:
        mp4_ = std::make_unique<TagLib::MP4::File>(name, false);
        file_ = mp4_.get();
        break;
      case Container::Asf:
        asf_ = std::make_unique<TagLib::ASF::File>(name, false);
        file_ = asf_.get();
        break;
      case Container::Aiff:
        aiff_ = std::make_unique<TagLib::RIFF::AIFF::File>(name, false);
        file_ = aiff_.get();
        break;
      case Container::WavPack:
        wavPack_ = std::make_unique<TagLib::WavPack::File>(name, false);
        file_ = wavPack_.get();
        break;
      case Container::Ape:
        ape_ = std::make_unique<TagLib::APE::File>(name, false);
        file_ = ape_.get();
        break;
    }
    valid_ = file_->isValid() && (readOnly || !file_->readOnly());
  }

  bool IsValid() const { return valid_; }

  TagLib::Ogg::XiphComment* Xiph(bool create) {
    if (flac_) return flac_->xiphComment(create);
    if (vorbis_) return vorbis_->tag();
    if (oggFlac_) return oggFlac_->tag();
    return opus_ ? opus_->tag() : nullptr;
  }
  TagLib::APE::Tag* Ape(bool create) { return wavPack_ ? wavPack_->APETag(create) : ape_->APETag(create); }

  std::string Bpm() {
    switch (container_) {
      case Container::Flac:
      case Container::OggVorbis:
      case Container::Opus:
      case Container::OggFlac: {
        TagLib::Ogg::XiphComment* comment = Xiph(false);
        if (comment == nullptr || !comment->contains("BPM")) return {};
        return Utf8(comment->fieldListMap()["BPM"].front());
      }
      case Container::Mp4:
        return mp4_->tag()->contains("tmpo") ? std::to_string(mp4_->tag()->item("tmpo").toInt()) : std::string();
      case Container::Asf: {
        const TagLib::ASF::AttributeListMap& map = asf_->tag()->attributeListMap();
        if (!map.contains(kAsfBpm) || map[kAsfBpm].isEmpty()) return {};
        const TagLib::ASF::Attribute& value = map[kAsfBpm].front();
        return value.type() == TagLib::ASF::Attribute::UnicodeType ? Utf8(value.toString())
                                                                   : std::to_string(value.toUInt());
      }
      case Container::Aiff: {
        if (!aiff_->hasID3v2Tag()) return {};
        const TagLib::ID3v2::FrameList& frames = aiff_->tag()->frameListMap()["TBPM"];
        return frames.isEmpty() ? std::string() : Utf8(frames.front()->toString());
      }
      case Container::WavPack:
      case Container::Ape: {
        TagLib::APE::Tag* tag = Ape(false);
        if (tag == nullptr || !tag->itemListMap().contains("BPM")) return {};
        return Utf8(tag->itemListMap()["BPM"].toString());
      }
    }
    return {};
  }

  // Sets the BPM field and saves; false when TagLib could not.
  bool SetBpmAndSave(int bpm) {
    const TagLib::String number = TagLib::String::number(bpm);
    switch (container_) {
      case Container::Flac:
      case Container::OggVorbis:
      case Container::Opus:
      case Container::OggFlac:
        Xiph(true)->addField("BPM", number, true);
        return file_->save();
      case Container::Mp4:
        // iTunes keeps the tempo as a whole number in the tmpo atom.
        mp4_->tag()->setItem("tmpo", TagLib::MP4::Item(bpm));
        return mp4_->save();
      case Container::Asf:
        asf_->tag()->setAttribute(kAsfBpm, TagLib::ASF::Attribute(number));
        return asf_->save();
      case Container::Aiff: {
        const bool hadTag = aiff_->hasID3v2Tag();
        TagLib::ID3v2::Tag* tag = aiff_->tag();
        tag->removeFrames("TBPM");
        auto* frame = new TagLib::ID3v2::TextIdentificationFrame("TBPM", TagLib::String::Latin1);
        frame->setText(number);
        tag->addFrame(frame);
        // As for MP3: a new tag is ID3v2.3, a 2.4 tag keeps its version.
        const bool keepsV4 = hadTag && tag->header()->majorVersion() == 4;
        return aiff_->save(keepsV4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3);
      }
      case Container::WavPack:
      case Container::Ape:
        Ape(true)->addValue("BPM", number, true);
        return file_->save();
    }
    return false;
  }

  // Every field but the BPM, pictures included, as sorted keys with their values and bytes.
  std::vector<std::string> OtherFields() {
    std::vector<std::string> fields;
    switch (container_) {
      case Container::Flac:
      case Container::OggVorbis:
      case Container::Opus:
      case Container::OggFlac: {
        if (TagLib::Ogg::XiphComment* comment = Xiph(false)) {
          for (const auto& [key, values] : comment->fieldListMap()) {
            if (key == "BPM") continue;
            for (const TagLib::String& value : values) fields.push_back(Utf8(key) + '=' + value.to8Bit(true));
          }
          for (const TagLib::FLAC::Picture* picture : comment->pictureList()) {
            fields.push_back("picture=" + Bytes(picture->render()));
          }
        }
        if (flac_) {
          for (const TagLib::FLAC::Picture* picture : flac_->pictureList()) {
            fields.push_back("block picture=" + Bytes(picture->render()));
          }
        }
        break;
      }
      case Container::Mp4: {
        // An item holds its number in a union that only number items set, so the values are
        // taken as the property map renders them for each item's own type.
        const TagLib::PropertyMap properties = mp4_->tag()->properties();
        for (const auto& [key, values] : properties) {
          if (key == "BPM") continue;
          for (const TagLib::String& value : values) fields.push_back(Utf8(key) + '=' + value.to8Bit(true));
        }
        for (const TagLib::String& unsupported : properties.unsupportedData()) {
          fields.push_back("unsupported=" + unsupported.to8Bit(true));
        }
        for (const auto& [key, item] : mp4_->tag()->itemMap()) {
          for (const TagLib::ByteVector& bytes : item.toByteVectorList())
            fields.push_back(Utf8(key) + '=' + Bytes(bytes));
          for (const TagLib::MP4::CoverArt& art : item.toCoverArtList()) {
            fields.push_back(Utf8(key) + '=' + std::to_string(art.format()) + ':' + Bytes(art.data()));
          }
        }
        break;
      }
      case Container::Asf:
        for (const auto& [key, values] : asf_->tag()->attributeListMap()) {
          if (key == kAsfBpm) continue;
          for (const TagLib::ASF::Attribute& value : values) {
            fields.push_back(Utf8(key) + '=' + std::to_string(value.type()) + ':' + value.toString().to8Bit(true) +
                             '\1' + Bytes(value.toByteVector()) + '\2' + std::to_string(value.toULongLong()));
          }
        }
        fields.push_back("title=" + asf_->tag()->title().to8Bit(true));
        fields.push_back("artist=" + asf_->tag()->artist().to8Bit(true));
        fields.push_back("comment=" + asf_->tag()->comment().to8Bit(true));
        break;
      case Container::Aiff:
        if (aiff_->hasID3v2Tag()) {
          for (const TagLib::ID3v2::Frame* frame : aiff_->tag()->frameList()) {
            if (frame->frameID() == "TBPM") continue;
            fields.push_back(Bytes(frame->frameID()) + '=' + Bytes(frame->render().mid(10)));
          }
        }
        break;
      case Container::WavPack:
      case Container::Ape:
        if (TagLib::APE::Tag* tag = Ape(false)) {
          for (const auto& [key, item] : tag->itemListMap()) {
            if (key == "BPM") continue;
            fields.push_back(Bytes(item.render()));
          }
        }
        break;
    }
    std::sort(fields.begin(), fields.end());
    return fields;
  }

 private:
  Container container_;
  TagLib::File* file_ = nullptr;
  bool valid_ = false;
  std::unique_ptr<TagLib::FLAC::File> flac_;
  std::unique_ptr<TagLib::Ogg::Vorbis::File> vorbis_;
  std::unique_ptr<TagLib::Ogg::Opus::File> opus_;
  std::unique_ptr<TagLib::Ogg::FLAC::File> oggFlac_;
  std::unique_ptr<TagLib::MP4::File> mp4_;
  std::unique_ptr<TagLib::ASF::File> asf_;
  std::unique_ptr<TagLib::RIFF::AIFF::File> aiff_;
  std::unique_ptr<TagLib::WavPack::File> wavPack_;
  std::unique_ptr<TagLib::APE::File> ape_;
};

// A run of bytes of a file.
struct Span {
  uint64_t offset;
  uint64_t size;
};

// The bytes a file holds at the spans, read a block at a time.
class SpanStream {
 public:
  SpanStream(const std::string& path, std::vector<Span> spans)
      : file_(path, std::ios::binary), spans_(std::move(spans)) {}

  // Up to `size` next bytes; fewer only at the end of the spans or on a read error.
  std::string Next(size_t size) {
    std::string bytes;
    while (bytes.size() < size && index_ < spans_.size()) {
      const Span& span = spans_[index_];
      const uint64_t take = std::min<uint64_t>(span.size - done_, size - bytes.size());
      std::string block(take, '\0');
      file_.clear();
      file_.seekg(static_cast<std::streamoff>(span.offset + done_));
      if (!file_.read(block.data(), static_cast<std::streamsize>(take))) {
        failed_ = true;
        return bytes;
      }
      bytes += block;
      done_ += take;
      if (done_ == span.size) {
        ++index_;
        done_ = 0;
      }
    }
    return bytes;
  }
  bool Failed() const { return failed_; }

 private:
  std::ifstream file_;
  std::vector<Span> spans_;
  size_t index_ = 0;
  uint64_t done_ = 0;
  bool failed_ = false;
};

std::string ReadAt(std::ifstream& file, uint64_t offset, size_t size) {
  std::string bytes(size, '\0');
  file.clear();
  file.seekg(static_cast<std::streamoff>(offset));
  if (!file.read(bytes.data(), static_cast<std::streamsize>(size))) return {};
  return bytes;
}

uint64_t BigEndian(const std::string& bytes, size_t at, size_t count) {
  uint64_t value = 0;
  for (size_t i = 0; i < count; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

uint64_t LittleEndian(const std::string& bytes, size_t at, size_t count) {
  uint64_t value = 0;
  for (size_t i = count; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

uint64_t FileSize(std::ifstream& file) {
  file.clear();
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  return size < 0 ? 0 : static_cast<uint64_t>(size);
}

// Past an ID3v2 tag at the start, if there is one.
uint64_t SkipId3(std::ifstream& file) {
  const std::string header = ReadAt(file, 0, 10);
  if (header.size() < 10 || header.compare(0, 3, "ID3") != 0) return 0;
  const uint64_t size = (BigEndian(header, 6, 1) & 0x7f) << 21 | (BigEndian(header, 7, 1) & 0x7f) << 14 |
                        (BigEndian(header, 8, 1) & 0x7f) << 7 | (BigEndian(header, 9, 1) & 0x7f);
  return 10 + size + ((static_cast<unsigned char>(header[5]) & 0x10) != 0 ? 10 : 0);
}

// FLAC: the stream info block and everything after the last metadata block.
bool FlacSpans(std::ifstream& file, uint64_t fileSize, std::vector<Span>& spans) {
  uint64_t at = SkipId3(file);
  if (ReadAt(file, at, 4) != "fLaC") return false;
  at += 4;
  for (bool last = false; !last;) {
    const std::string header = ReadAt(file, at, 4);
    if (header.size() < 4) return false;
    last = (static_cast<unsigned char>(header[0]) & 0x80) != 0;
    const uint64_t size = BigEndian(header, 1, 3);
    if ((static_cast<unsigned char>(header[0]) & 0x7f) == 0) spans.push_back({at, 4 + size});
    at += 4 + size;
    if (at > fileSize) return false;
  }
  spans.push_back({at, fileSize - at});
  return true;
}

// Ogg: the bytes of every packet of the one logical stream but the second (the comment
// header). Page headers, which a rewrite renumbers, are left out.
bool OggSpans(std::ifstream& file, uint64_t fileSize, std::vector<Span>& spans) {
  uint64_t at = 0;
  int packet = 0;
  std::string serial;
  while (at < fileSize) {
    const std::string header = ReadAt(file, at, 27);
    if (header.size() < 27 || header.compare(0, 4, "OggS") != 0) return false;
    if (serial.empty()) serial = header.substr(14, 4);
    if (header.substr(14, 4) != serial) return false;
    const size_t segments = static_cast<unsigned char>(header[26]);
    const std::string lacing = ReadAt(file, at + 27, segments);
    if (lacing.size() < segments) return false;
    uint64_t body = at + 27 + segments;
    for (size_t i = 0; i < segments; ++i) {
      const unsigned char size = static_cast<unsigned char>(lacing[i]);
      if (packet != 1 && size > 0) spans.push_back({body, size});
      body += size;
      if (size < 255) ++packet;
    }
    if (body > fileSize) return false;
    at = body;
  }
  return true;
}

// MP4: the contents of every top-level mdat atom.
bool Mp4Spans(std::ifstream& file, uint64_t fileSize, std::vector<Span>& spans) {
  for (uint64_t at = 0; at < fileSize;) {
    const std::string header = ReadAt(file, at, 16);
    if (header.size() < 8) return false;
    uint64_t size = BigEndian(header, 0, 4), headerSize = 8;
    if (size == 1) {
      if (header.size() < 16) return false;
      size = BigEndian(header, 8, 8);
      headerSize = 16;
    } else if (size == 0) {
      size = fileSize - at;
    }
    if (size < headerSize || size > fileSize - at) return false;
    if (header.compare(4, 4, "mdat") == 0) spans.push_back({at + headerSize, size - headerSize});
    at += size;
  }
  return !spans.empty();
}

// ASF: every top-level object but the header object, which holds the fields.
bool AsfSpans(std::ifstream& file, uint64_t fileSize, std::vector<Span>& spans) {
  static const unsigned char kHeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  for (uint64_t at = 0; at < fileSize;) {
    const std::string header = ReadAt(file, at, 24);
    if (header.size() < 24) return false;
    const uint64_t size = LittleEndian(header, 16, 8);
    if (size < 24 || size > fileSize - at) return false;
    if (std::memcmp(header.data(), kHeaderGuid, 16) != 0) spans.push_back({at, size});
    at += size;
  }
  return !spans.empty();
}

// AIFF: every chunk of the FORM but the ID3 one, with its name and size.
bool AiffSpans(std::ifstream& file, uint64_t fileSize, std::vector<Span>& spans) {
  const std::string form = ReadAt(file, 0, 12);
  if (form.size() < 12 || form.compare(0, 4, "FORM") != 0) return false;
  spans.push_back({8, 4});
  for (uint64_t at = 12; at + 8 <= fileSize;) {
    const std::string header = ReadAt(file, at, 8);
    const uint64_t size = BigEndian(header, 4, 4);
    const uint64_t whole = 8 + size + (size & 1);
    if (size > fileSize - at - 8) return false;
    if (header.compare(0, 4, "ID3 ") != 0 && header.compare(0, 4, "id3 ") != 0) spans.push_back({at, 8 + size});
    at += whole;
  }
  return true;
}

// WavPack and APE: everything but an APEv2 tag at the end (before an ID3v1 tag, if any).
bool ApeSpans(std::ifstream& file, uint64_t fileSize, std::vector<Span>& spans) {
  uint64_t end = fileSize;
  if (fileSize >= 128 && ReadAt(file, fileSize - 128, 3) == "TAG") end -= 128;
  uint64_t tagStart = end;
  if (end >= 32) {
    const std::string footer = ReadAt(file, end - 32, 32);
    if (footer.compare(0, 8, "APETAGEX") == 0) {
      const uint64_t size = LittleEndian(footer, 12, 4);
      const bool hasHeader = (LittleEndian(footer, 20, 4) & 0x80000000u) != 0;
      const uint64_t whole = size + (hasHeader ? 32 : 0);
      if (whole > end) return false;
      tagStart = end - whole;
    }
  }
  spans.push_back({0, tagStart});
  return true;
}

// The spans of a file that a rewrite of its tag must keep, in order.
bool KeptSpans(const std::string& path, Container container, std::vector<Span>& spans) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  const uint64_t size = FileSize(file);
  switch (container) {
    case Container::Flac:
      return FlacSpans(file, size, spans);
    case Container::OggVorbis:
    case Container::Opus:
    case Container::OggFlac:
      return OggSpans(file, size, spans);
    case Container::Mp4:
      return Mp4Spans(file, size, spans);
    case Container::Asf:
      return AsfSpans(file, size, spans);
    case Container::Aiff:
      return AiffSpans(file, size, spans);
    case Container::WavPack:
    case Container::Ape:
      return ApeSpans(file, size, spans);
  }
  return false;
}

bool SameKeptBytes(const std::string& original, const std::string& copy, Container container) {
  std::vector<Span> before, after;
  if (!KeptSpans(original, container, before) || !KeptSpans(copy, container, after)) return false;
  SpanStream a(original, std::move(before)), b(copy, std::move(after));
  for (;;) {
    const std::string blockA = a.Next(1 << 16), blockB = b.Next(1 << 16);
    if (a.Failed() || b.Failed() || blockA != blockB) return false;
    if (blockA.empty()) return true;
  }
}

// What an Ogg file named as Vorbis holds: Vorbis, Opus or FLAC.
Container ByContent(const std::string& path, Container container) {
  if (container != Container::OggVorbis) return container;
  for (Container candidate : {Container::OggVorbis, Container::Opus, Container::OggFlac}) {
    if (ContainerFile(path, candidate, true).IsValid()) return candidate;
  }
  return container;
}

}  // namespace

std::optional<Container> ContainerOf(const std::string& path) {
  const size_t dot = path.find_last_of("./\\");
  if (dot == std::string::npos || path[dot] != '.') return std::nullopt;
  std::string extension = path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == "flac") return Container::Flac;
  if (extension == "ogg" || extension == "oga") return Container::OggVorbis;
  if (extension == "opus") return Container::Opus;
  if (extension == "m4a" || extension == "m4b" || extension == "mp4") return Container::Mp4;
  if (extension == "wma" || extension == "asf") return Container::Asf;
  if (extension == "aif" || extension == "aiff" || extension == "aifc") return Container::Aiff;
  if (extension == "wv") return Container::WavPack;
  if (extension == "ape") return Container::Ape;
  return std::nullopt;
}

ContainerBpm ReadContainerBpm(const std::string& path, Container container) {
  ContainerBpm read;
  if (!std::ifstream(path, std::ios::binary)) {
    read.reason = "cannot open the file";
    return read;
  }
  ContainerFile file(path, ByContent(path, container), true);
  if (!file.IsValid()) {
    read.reason = "not a file TagLib can read";
    return read;
  }
  read.ok = true;
  read.bpm = file.Bpm();
  return read;
}

std::string WriteContainerBpm(const std::string& copy, Container container, int bpm) {
  ContainerFile file(copy, ByContent(copy, container), false);
  if (!file.IsValid()) return "TagLib cannot open the copy for writing";
  return file.SetBpmAndSave(bpm) ? std::string() : "TagLib could not save the tag";
}

std::string CheckContainerCopy(const std::string& original, const std::string& copy, Container container, int bpm) {
  container = ByContent(original, container);
  ContainerFile before(original, container, true);
  ContainerFile after(copy, container, true);
  if (!before.IsValid() || !after.IsValid()) return "the written copy cannot be read back";
  if (after.Bpm() != std::to_string(bpm)) return "the written copy does not hold the new BPM";
  if (after.OtherFields() != before.OtherFields()) return "TagLib would not keep every other field of the tag";
  if (!SameKeptBytes(original, copy, container)) return "the written copy differs outside its tag";
  return {};
}

}  // namespace tags
