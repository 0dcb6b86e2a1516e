#!/usr/bin/env bash
# Installs what building, running and testing TempoScout needs on Debian 12, and builds
# libmpg123, TagLib, FFmpeg and KissFFT for mingw and a sanitized libmpg123 for fuzzing into the cache.
# Safe to run again: it only installs and builds what is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

packages=(
  cmake ninja-build pkgconf g++ clang libclang-rt-14-dev
  googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine64 wine xvfb xauth x11-utils xdotool imagemagick
  libmpg123-dev mpg123 lame sox libsox-fmt-mp3
  dpkg-dev curl util-linux python3
  libtag1-dev python3-mutagen
  libavformat-dev libavcodec-dev libavutil-dev ffmpeg nasm
  libkissfft-dev
)

source "$here/debian-source.sh"
install_missing_packages "${packages[@]}"

"$here/build-mpg123-mingw.sh" >/dev/null
"$here/build-taglib-mingw.sh" >/dev/null
"$here/build-ffmpeg-mingw.sh" >/dev/null
"$here/build-kissfft-mingw.sh" >/dev/null

# The sanitized native libmpg123 the fuzz build links, so the decoder is fuzzed too.
"$here/build-mpg123-fuzz.sh" >/dev/null
