// Frame by frame and region by region comparison of an original file and its tagged copy,
// both walked by the strict tag walk.
#include "tags/TagProof.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

namespace tags {

namespace {

std::string At(uint64_t offset) {
  return " at byte " + std::to_string(offset);
}

// A frame as it is compared: in the copy's version, its transit encoding undone.
struct Comparable {
  std::string id;
  uint16_t flags = 0;
  Bytes payload;
  uint64_t offset = 0;  // of the frame in its own file
};

// How many bytes at the end of a frame's payload are the terminator of its last string,
// which writers differ on: 0 when the frame ends with none or holds no such string.
size_t TrailingTerminatorBytes(const Comparable& frame) {
  const std::string& id = frame.id;
  const Bytes& payload = frame.payload;
  size_t textAt = 1;  // behind the encoding byte
  bool encoded = true;
  if (id == "COMM" || id == "USLT") {
    textAt = 4;  // and the language
  } else if (id[0] == 'T' || id == "WXXX" || id == "IPLS" || id == "WFED" || id == "GRP1" || id == "MVNM" ||
             id == "MVIN") {
    textAt = 1;
  } else if (id[0] == 'W') {
    textAt = 0;  // a URL, always ISO-8859-1
    encoded = false;
  } else {
    return 0;
  }
  if (payload.size() <= textAt) return 0;
  size_t width = 1;
  if (encoded && (payload[0] == 1 || payload[0] == 2)) {
    width = 2;
  } else if (encoded && payload[0] != 0 && payload[0] != 3) {
    return 0;
  }
  const size_t textBytes = payload.size() - textAt;
  if (textBytes < width || textBytes % width != 0) return 0;
  return std::all_of(payload.end() - static_cast<std::ptrdiff_t>(width), payload.end(),
                     [](uint8_t b) { return b == 0; })
             ? width
             : 0;
}

bool SameFrame(const Comparable& a, const Comparable& b) {
  if (a.id != b.id || a.flags != b.flags) return false;
  const size_t endA = a.payload.size() - TrailingTerminatorBytes(a);
  const size_t endB = b.payload.size() - TrailingTerminatorBytes(b);
  return endA == endB &&
         std::equal(a.payload.begin(), a.payload.begin() + static_cast<std::ptrdiff_t>(endA), b.payload.begin());
}

// An ID3v2.2 picture's three-letter image format as the MIME type of its later form.
std::optional<std::string> PictureMime(const Bytes& payload) {
  if (payload.size() < 5) return std::nullopt;
  std::string format(payload.begin() + 1, payload.begin() + 4);
  std::transform(format.begin(), format.end(), format.begin(),
                 [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
  if (format == "JPG") return std::string("image/jpeg");
  if (format == "PNG") return std::string("image/png");
  return std::nullopt;
}

// `frame` of a tag of version `from` as a frame of version `to`; "" or why it has none.
std::string Converted(const Id3Frame& frame, int from, int to, Comparable& out) {
  out.offset = frame.offset;
  out.payload = frame.payload;
  // ID3v2.4 marks unsynchronised frames; the walk has undone it.
  out.flags = from == 4 ? static_cast<uint16_t>(frame.flags & ~0x0002) : frame.flags;
  out.id = frame.id;
  if (from == to) return {};
  out.id = ConvertedV22FrameId(frame.id, to);
  if (out.id.empty()) {
    return "frame " + frame.id + At(frame.offset) + " of the original's ID3v2.2 tag has no ID3v2." +
           std::to_string(to) + " equivalent";
  }
  if (frame.id == "PIC") {
    const std::optional<std::string> mime = PictureMime(frame.payload);
    if (!mime) {
      return "the picture" + At(frame.offset) +
             " of the original's ID3v2.2 tag has an image format without a MIME type";
    }
    out.payload.assign(frame.payload.begin(), frame.payload.begin() + 1);
    out.payload.insert(out.payload.end(), mime->begin(), mime->end());
    out.payload.push_back(0);
    out.payload.insert(out.payload.end(), frame.payload.begin() + 4, frame.payload.end());
  }
  return {};
}

std::string ProveFrames(const std::optional<Id3Tag>& before, const Id3Tag& after, const std::string& bpmText) {
  const int to = after.majorVersion;
  const int from = before ? before->majorVersion : to;
  if (from != to && !(from == 2 && to >= 3)) {
    return "the written copy's tag is ID3v2." + std::to_string(to) + ", the original's ID3v2." + std::to_string(from);
  }
  std::vector<Comparable> expected;
  if (before) {
    for (const Id3Frame& frame : before->frames) {
      if (frame.id == BpmFrameId(from)) continue;
      Comparable converted;
      if (std::string reason = Converted(frame, from, to, converted); !reason.empty()) return reason;
      expected.push_back(std::move(converted));
    }
  }
  std::vector<Comparable> written;
  int bpmFrames = 0;
  for (const Id3Frame& frame : after.frames) {
    if (frame.id == BpmFrameId(to)) {
      ++bpmFrames;
      const std::string text = FrameText(frame.payload);
      if (text != bpmText) {
        return "the written copy's BPM frame" + At(frame.offset) + " holds " + Quoted(text) + ", not " +
               Quoted(bpmText);
      }
      continue;
    }
    Comparable comparable;
    Converted(frame, to, to, comparable);
    written.push_back(std::move(comparable));
  }
  if (bpmFrames != 1) return "the written copy holds " + std::to_string(bpmFrames) + " BPM frames, not one";
  std::vector<bool> matched(written.size(), false);
  for (const Comparable& frame : expected) {
    size_t found = 0;
    while (found < written.size() && (matched[found] || !SameFrame(frame, written[found]))) ++found;
    if (found < written.size()) {
      matched[found] = true;
      continue;
    }
    const bool sameId =
        std::any_of(written.begin(), written.end(), [&](const Comparable& w) { return w.id == frame.id; });
    return "frame " + frame.id + At(frame.offset) + " of the original is " +
           (sameId ? "changed in the written copy" : "missing from the written copy");
  }
  for (size_t i = 0; i < written.size(); ++i) {
    if (!matched[i])
      return "the written copy has a frame " + written[i].id + At(written[i].offset) + " the original does not";
  }
  return {};
}

std::string Describe(const Region& region) {
  return region.name == "audio" ? std::string("the audio after the tag") : "chunk " + Quoted(region.name);
}

std::string ProveUntouched(const TagWalk& before, const ByteSource& original, const TagWalk& after,
                           const ByteSource& copy) {
  const size_t common = std::min(before.untouched.size(), after.untouched.size());
  for (size_t i = 0; i < common; ++i) {
    const Region& a = before.untouched[i];
    const Region& b = after.untouched[i];
    if (a.name != b.name) {
      return "the written copy has " + Describe(b) + At(b.offset) + " where the original has " + Describe(a) +
             At(a.offset);
    }
    if (a.lengthBytes != b.lengthBytes || !SameBytes(original, a.offset, copy, b.offset, a.lengthBytes)) {
      return "the written copy changed " + Describe(a) + At(a.offset) + " of the original";
    }
  }
  if (before.untouched.size() > common) {
    return "the written copy lacks " + Describe(before.untouched[common]) + At(before.untouched[common].offset) +
           " of the original";
  }
  if (after.untouched.size() > common) {
    return "the written copy has " + Describe(after.untouched[common]) + At(after.untouched[common].offset) +
           " the original does not";
  }
  return {};
}

}  // namespace

std::string ProveBpmWrite(const ByteSource& original, const ByteSource& copy, TagContainer container,
                          const std::string& bpmText) {
  const TagWalk before = WalkTags(original, container);
  if (!before.Accepted()) return "the original cannot be accounted for: " + before.refusal;
  const TagWalk after = WalkTags(copy, container);
  if (!after.Accepted()) return "the written copy cannot be accounted for: " + after.refusal;
  if (before.form != after.form)
    return "the written copy is a " + after.form + " file, the original a " + before.form + " file";
  if (!after.tag) return "the written copy has no ID3v2 tag";
  if (std::string reason = ProveFrames(before.tag, *after.tag, bpmText); !reason.empty()) return reason;
  return ProveUntouched(before, original, after, copy);
}

std::string ProveBpmWrite(const std::string& originalPath, const std::string& copyPath, TagContainer container,
                          const std::string& bpmText) {
  const FileBytes original(originalPath);
  if (!original.IsOpen()) return "cannot open the original";
  const FileBytes copy(copyPath);
  if (!copy.IsOpen()) return "cannot open the written copy";
  return ProveBpmWrite(original, copy, container, bpmText);
}

}  // namespace tags
