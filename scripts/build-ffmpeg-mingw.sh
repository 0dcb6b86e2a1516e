#!/usr/bin/env bash
# Cross-builds FFmpeg's libavformat, libavcodec, libavutil and libswresample (which the
# Opus decoder needs) for 64-bit Windows from Debian's own ffmpeg source package, as DLLs
# with import libraries, with only the demuxers, decoders and parsers the engine reads,
# into a cache outside the checkout.
# A build for the same package version is reused. Prints the folder to pass as FFMPEG_ROOT.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/debian-source.sh"

cache=${TEMPOSCOUT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/temposcout}
host=x86_64-w64-mingw32

version=$(debian_candidate_version libavformat-dev)
[[ -n $version ]] || { echo "build-ffmpeg-mingw: apt knows no libavformat-dev package" >&2; exit 1; }
# The epoch ("7:") is no part of the source package's file names.
out="$cache/ffmpeg-${version#*:}-$host-shared"
if [[ -f $out/.complete ]]; then
  echo "$out"
  exit 0
fi

# The containers and codecs of the formats the engine reads beside MP3 and WAV: FLAC,
# ALAC, AIFF/AIFC (with its PCM variants), Ogg (Vorbis, Opus, FLAC), MP4/M4A (AAC, ALAC),
# Matroska/WebM (Opus, Vorbis), ASF (WMA 1/2, Pro, Lossless), WavPack, APE, raw AAC (ADTS).
demuxers=flac,ogg,mov,aiff,matroska,asf,wv,ape,aac
decoders=flac,alac,vorbis,opus,aac,wmav1,wmav2,wmapro,wmalossless,wavpack,ape
decoders+=,pcm_s8,pcm_u8,pcm_s16be,pcm_s16le,pcm_s24be,pcm_s24le,pcm_s32be,pcm_s32le
decoders+=,pcm_f32be,pcm_f32le,pcm_f64be,pcm_f64le,pcm_alaw,pcm_mulaw
parsers=flac,vorbis,opus,aac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fetch_debian_source ffmpeg "$version" "$work"
(
  cd "$work"/ffmpeg-*/
  # Only LGPL parts (no --enable-gpl, no --enable-nonfree), nothing found on the build
  # machine by itself, no programs, no network. Windows' own threads; libgcc and
  # winpthreads (which the -posix compiler's runtime calls on) linked in,
  # so the DLLs need nothing beside them but each other and the system's libraries. The
  # x86 assembly (nasm) stays on, as in Debian's native libraries, so both targets run
  # the same decoder code.
  options=(--target-os=mingw32 --arch=x86_64 --enable-cross-compile
           --cross-prefix=$host- --cc=$host-gcc-posix --cxx=$host-g++-posix
           --enable-shared --disable-static
           --disable-everything --disable-programs --disable-doc --disable-network
           --disable-autodetect --enable-w32threads
           --disable-avdevice --disable-avfilter --disable-swscale
           --disable-postproc --disable-debug
           --enable-protocol=file --enable-demuxer=$demuxers --enable-decoder=$decoders
           --enable-parser=$parsers
           --extra-ldflags="-static-libgcc -static")
  command -v nasm >/dev/null || options+=(--disable-x86asm)
  ./configure --prefix="$out" "${options[@]}" >&2
  make -j"$(nproc)" >&2
  make install >&2
  # Import libraries only: the static archives and headers of the install stay, the
  # DLLs are stripped.
  $host-strip --strip-unneeded "$out"/bin/*.dll
  cp COPYING.LGPLv2.1 "$out/COPYING"
  keep_debian_source "$work" "$out/source"
  cat >"$out/SOURCE.txt" <<EOF
avformat-59.dll, avcodec-59.dll, avutil-57.dll and swresample-4.dll (FFmpeg, GNU LGPL
2.1 or later, see
ffmpeg-COPYING.txt) are built from Debian's source package ffmpeg ${version#*:},
unpacked with Debian's patches and otherwise unchanged. Its files are in
source/ffmpeg/ (on Debian 12 also: apt-get source ffmpeg=$version). The build
for 64-bit Windows with mingw-w64 (scripts/build-ffmpeg-mingw.sh):

  dpkg-source -x $(cd "$work" && echo ./*.dsc | sed 's|^\./||')
  ./configure ${options[*]}
  make && make install

No GPL or non-free part is enabled. bass.dll loads them by name from its own folder,
so each can be replaced by another build of the same libraries.
EOF
)
touch "$out/.complete"
echo "$out"
