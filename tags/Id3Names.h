// Names and texts of ID3v2 frames shared by the tag walk and the write proof: the frame
// IDs ID3v2.2 used and their later equivalents, and the text inside a text frame.
#pragma once

#include <cstdint>
#include <string>

#include "tags/ByteSource.h"

namespace tags {

// Whether `id` is one of the frame IDs ID3v2.2 defines (or that iTunes wrote into it).
bool IsKnownV22FrameId(const std::string& id);

// The ID3v2.3 (targetMajorVersion 3) or ID3v2.4 (4) frame ID of an ID3v2.2 frame ID, as the
// ID3 standards define the conversion; "" when the later version has no such frame.
std::string ConvertedV22FrameId(const std::string& id, int targetMajorVersion);

// The first text of a text frame (encoding byte, then text) in UTF-8, surrounding white
// space removed; "" when the frame holds none or names no known encoding.
std::string FrameText(const Bytes& payload);

// `text` without the spaces, tabs and line ends around it.
std::string TrimSpace(const std::string& text);

// The bytes of a name or ID for a message: printable ASCII as it is, anything else as \xNN,
// in double quotes.
std::string Quoted(const uint8_t* bytes, size_t lengthBytes);
std::string Quoted(const std::string& text);

}  // namespace tags
