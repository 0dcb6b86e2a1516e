#!/usr/bin/env bash
# Cross-builds FFmpeg's libavformat, libavcodec, libavutil and libswresample (which the
# Opus decoder needs) for 64-bit Windows from Debian's own ffmpeg source package, as DLLs
# with import libraries, with only the demuxers, decoders and parsers the engine reads,
# into a cache outside the checkout.
# The float functions Opus's CELT layer calls per band (exp2f, sinf, cosf and sincosf,
# which the compiler calls for a sine and cosine of the same angle) come from Debian's
# glibc source rather than from mingw-w64's math library, which rounds between six in
# ten thousand (exp2f) and three in a hundred (sinf) of their results differently: both
# targets then decode Opus to the same samples. A build for the same ffmpeg and glibc
# versions is reused. Prints the folder to pass as FFMPEG_ROOT.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/debian-source.sh"

cache=${TEMPOSCOUT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/temposcout}
host=x86_64-w64-mingw32

version=$(debian_candidate_version libavformat-dev)
[[ -n $version ]] || { echo "build-ffmpeg-mingw: apt knows no libavformat-dev package" >&2; exit 1; }
# The glibc whose libm the native build's libavcodec calls.
libc_version=$(debian_candidate_version libc6)
[[ -n $libc_version ]] || { echo "build-ffmpeg-mingw: apt knows no libc6 package" >&2; exit 1; }
# The epoch ("7:") is no part of the source package's file names. The ".glibm" part
# sorts this build above the ones made with mingw-w64's own math functions.
out="$cache/ffmpeg-${version#*:}.glibm${libc_version#*:}-$host-shared"
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

# glibc's exp2f, sinf, cosf and sincosf (and their tables and error paths), built
# unchanged from its source with a small header standing in for glibc's internal ones.
# The portable C versions: glibc runs FMA builds of the same code on CPUs that have FMA;
# they compute in double before rounding to float, and gave the same results as these
# on every one of a million inputs tried per function.
mkdir "$work/glibc"
fetch_debian_source glibc "$libc_version" "$work/glibc"
math="$work/glibc-math"
mkdir "$math"
flt32=$(echo "$work"/glibc/glibc-*/sysdeps/ieee754/flt-32)
math_sources=(e_exp2f.c e_exp2f_data.c s_sinf.c s_cosf.c s_sincosf.c s_sincosf_data.c math_errf.c)
cp "${math_sources[@]/#/$flt32/}" "$flt32/s_sincosf.h" "$flt32/sincosf_poly.h" "$math/"
for header in math-barriers.h math-narrow-eval.h libm-alias-finite.h libm-alias-float.h; do
  : >"$math/$header"
done
{
  cat <<'EOF'
/* glibc's sysdeps/ieee754/flt-32/math_config.h for a build outside glibc: the
   definitions glibc's internal headers would give, then the file's own body. */
#ifndef _MATH_CONFIG_H
#define _MATH_CONFIG_H
#include <math.h>
#include <stdint.h>
#define __glibc_likely(x) __builtin_expect ((x), 1)
#define __glibc_unlikely(x) __builtin_expect ((x), 0)
#define attribute_hidden
#define HIGH_ORDER_BIT_IS_SET_FOR_SNAN 0
#define math_narrow_eval(x) (x)
#define math_force_eval(x) ({ __typeof (x) __x = (x); __asm__ __volatile__ ("" : : "m" (__x)); })
#define libm_alias_float(a, b)
#define libm_alias_finite(a, b)
#define libm_alias_float_other(a, b)
#define strong_alias(a, b)
#define versioned_symbol(a, b, c, d)
EOF
  sed -n '/^#ifndef WANT_ROUNDING/,$p' "$flt32/math_config.h"
} >"$math/math_config.h"
# -ffp-contract=off: no fused multiply-adds, whatever the compiler's defaults.
math_cflags=(-O2 -ffp-contract=off -I. -D__exp2f=exp2f -DSINF=sinf -DCOSF=cosf -DSINCOSF=sincosf)
(
  cd "$math"
  for source in "${math_sources[@]}"; do
    $host-gcc-posix "${math_cflags[@]}" -c "$source" -o "${source%.c}.o"
  done
  $host-ar rcs libglibc-math.a ./*.o
)

fetch_debian_source ffmpeg "$version" "$work"
(
  cd "$work"/ffmpeg-*/
  # Only LGPL parts (no --enable-gpl, no --enable-nonfree), nothing found on the build
  # machine by itself, no programs, no network. Windows' own threads; libgcc and
  # winpthreads (which the -posix compiler's runtime calls on) linked in,
  # so the DLLs need nothing beside them but each other and the system's libraries. The
  # x86 assembly (nasm) stays on, as in Debian's native libraries, so both targets run
  # the same decoder code. Every library links glibc's float functions ahead of
  # mingw-w64's; mingw-w64 keeps sincosf in one object with the double sincos the
  # libraries also call, so the linker keeps the first sincosf it meets (glibc's).
  options=(--target-os=mingw32 --arch=x86_64 --enable-cross-compile
           --cross-prefix=$host- --cc=$host-gcc-posix --cxx=$host-g++-posix
           --enable-shared --disable-static
           --disable-everything --disable-programs --disable-doc --disable-network
           --disable-autodetect --enable-w32threads
           --disable-avdevice --disable-avfilter --disable-swscale
           --disable-postproc --disable-debug
           --enable-protocol=file --enable-demuxer=$demuxers --enable-decoder=$decoders
           --enable-parser=$parsers
           --extra-ldflags="-static-libgcc -static -Wl,--allow-multiple-definition" --extra-libs="$math/libglibc-math.a")
  command -v nasm >/dev/null || options+=(--disable-x86asm)
  ./configure --prefix="$out" "${options[@]}" >&2
  make -j"$(nproc)" >&2
  make install >&2
  # Import libraries only: the static archives and headers of the install stay, the
  # DLLs are stripped.
  $host-strip --strip-unneeded "$out"/bin/*.dll
  cp COPYING.LGPLv2.1 "$out/COPYING"
  keep_debian_source "$work" "$out/source"
  # glibc's files as they were compiled, with the header written above and glibc's
  # source package description (its whole source is too large to ship).
  math_archive=glibc-math-${libc_version#*:}.tar.xz
  cp "$work"/glibc/*.dsc "$math/"
  tar -C "$work" -cJf "$out/source/$math_archive" --exclude='*.o' --exclude='*.a' glibc-math
  cat >"$out/SOURCE.txt" <<EOF
avformat-59.dll, avcodec-59.dll, avutil-57.dll and swresample-4.dll (FFmpeg, GNU LGPL
2.1 or later, see
ffmpeg-COPYING.txt) are built from Debian's source package ffmpeg ${version#*:},
unpacked with Debian's patches and otherwise unchanged. Its files are in
source/ffmpeg/ (on Debian 12 also: apt-get source ffmpeg=$version). The build
for 64-bit Windows with mingw-w64 (scripts/build-ffmpeg-mingw.sh):

  dpkg-source -x $(cd "$work" && echo ./*.dsc | sed 's|^\./||')
  ./configure ${options[*]//$work\//}
  make && make install

Every library links glibc's exp2f, sinf, cosf and sincosf (GNU LGPL 2.1 or later)
in place of mingw-w64's, from Debian's source package glibc ${libc_version#*:}: the
files of its sysdeps/ieee754/flt-32/ named below are in
source/ffmpeg/$math_archive with the header standing in for
glibc's internal ones, built in that folder with

  $host-gcc-posix ${math_cflags[*]} -c FILE.c  (${math_sources[*]})
  $host-ar rcs libglibc-math.a *.o

and given to configure as above.

No GPL or non-free part is enabled. bass.dll loads them by name from its own folder,
so each can be replaced by another build of the same libraries.
EOF
)
touch "$out/.complete"
echo "$out"
