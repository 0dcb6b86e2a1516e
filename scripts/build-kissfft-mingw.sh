#!/usr/bin/env bash
# Cross-builds KissFFT (single precision) for 64-bit Windows from Debian's own source
# package, as a static library the programs link in, into a cache outside the checkout.
# A build for the same package version is reused. Prints the folder to pass as KISSFFT_ROOT.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/debian-source.sh"

cache=${TEMPOSCOUT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/temposcout}
host=x86_64-w64-mingw32

version=$(debian_candidate_version libkissfft-dev)
[[ -n $version ]] || { echo "build-kissfft-mingw: apt knows no libkissfft-dev package" >&2; exit 1; }
out="$cache/kissfft-$version-$host"
if [[ -f $out/.complete && -f $out/SOURCE.txt ]]; then
  echo "$out"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fetch_debian_source kissfft "$version" "$work"
(
  cd "$work"/kissfft-*/
  cmake -S . -B build -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/../cmake/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$out" \
    -DKISSFFT_DATATYPE=float -DKISSFFT_STATIC=ON -DKISSFFT_OPENMP=OFF \
    -DKISSFFT_TEST=OFF -DKISSFFT_TOOLS=OFF -DKISSFFT_PKGCONFIG=OFF >&2
  cmake --build build -j"$(nproc)" >&2
  cmake --install build >&2
  # The installed library and headers under the names the native package uses.
  mkdir -p "$out/lib" "$out/include/kissfft"
  if [[ ! -f $out/lib/libkissfft-float.a ]]; then
    find "$out" -name 'libkissfft-float*.a' -exec cp {} "$out/lib/libkissfft-float.a" \; -quit
  fi
  [[ -f $out/include/kissfft/kiss_fftr.h ]] || cp kiss_fft.h kiss_fftr.h "$out/include/kissfft/"
  if [[ -f COPYING ]]; then cp COPYING "$out/COPYING"; else cat LICENSES/BSD-3-Clause >"$out/COPYING"; fi
)
keep_debian_source "$work" "$out/source"
cat >"$out/SOURCE.txt" <<EOT
KissFFT (BSD-3-Clause, see kissfft-COPYING.txt) is linked into the programs from Debian's
source package kissfft $version, unpacked with Debian's patches and otherwise unchanged
(on Debian 12: apt-get source kissfft=$version). It is built with CMake for 64-bit Windows
with mingw-w64 as a static single-precision library (scripts/build-kissfft-mingw.sh).
EOT
touch "$out/.complete"
echo "$out"
