// Reading the formats beside MP3 and WAV (FLAC, ALAC, AIFF, Ogg Vorbis/Opus/FLAC, MP4/M4A,
// Matroska/WebM, ASF/WMA, WavPack, APE, raw AAC) through FFmpeg's libraries.
#pragma once

#include <memory>

#include "audioengine/FileRange.h"
#include "audioengine/StereoInput.h"

namespace audioengine {

// True when the range starts (after any ID3v2 tags) with the signature of a container
// this reader takes: "fLaC", "OggS", "FORM"+"AIFF"/"AIFC", an MP4 "ftyp" box, Matroska's
// EBML header, the ASF header GUID, "wvpk" or "MAC ". Such a file is never MPEG audio.
bool LooksLikeFfmpegContainer(FileRange& file);

// A stereo input over the default audio stream of a file FFmpeg's demuxers recognise;
// other streams (more audio, video, cover art) are ignored. Its length comes from the
// container, or from decoding the whole stream once when the container only estimates it.
// nullptr when no demuxer recognises the file, it holds no audio stream, or its codec
// cannot be decoded.
std::unique_ptr<StereoInput> OpenWithFfmpeg(std::unique_ptr<FileRange> file);

}  // namespace audioengine
