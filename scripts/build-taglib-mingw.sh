#!/usr/bin/env bash
# Cross-builds TagLib for 64-bit Windows from Debian's own source package, as a DLL shipped
# beside the programs, into a cache outside the checkout. A build for the same package
# version is reused. Prints the folder to pass as TAGLIB_ROOT.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/debian-source.sh"

cache=${TEMPOSCOUT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/temposcout}
host=x86_64-w64-mingw32

version=$(debian_candidate_version libtag1-dev)
[[ -n $version ]] || { echo "build-taglib-mingw: apt knows no libtag1-dev package" >&2; exit 1; }
out="$cache/taglib-$version-$host"
if [[ -f $out/.complete && -f $out/SOURCE.txt ]]; then
  echo "$out"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fetch_debian_source taglib "$version" "$work"
if [[ ! -f $out/.complete ]]; then (
  cd "$work"/taglib-*/
  # Debian points TagLib at its separately packaged copy of utf8-cpp; the copy bundled in
  # the same source serves the cross build without another package.
  patch -R -p1 <debian/patches/0001-Use-system-libutf8cpp-library.patch >&2
  # Without zlib: compressed ID3v2 frames (rare) are then kept as they are, unread.
  # libstdc++, libgcc and winpthread are linked in, as for our own programs, so the DLL
  # needs nothing beside it but the system's libraries.
  cmake -S . -B build -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/../cmake/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$out" \
    -DBUILD_SHARED_LIBS=ON -DBUILD_BINDINGS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTS=OFF \
    -DWITH_ZLIB=OFF -DVISIBILITY_HIDDEN=ON \
    -DCMAKE_SHARED_LINKER_FLAGS="-static -static-libgcc -static-libstdc++ -s" >&2
  cmake --build build -j"$(nproc)" >&2
  cmake --install build >&2
  cat COPYING.LGPL >"$out/COPYING"
  [[ -f COPYING.MPL ]] && cp COPYING.MPL "$out/COPYING.MPL"
  touch "$out/.complete"
) fi

# The exact source the DLL was built from, as Debian publishes it, and how. (A build
# cached before the source was kept gets it here without building again.)
keep_debian_source "$work" "$out/source"
cat >"$out/SOURCE.txt" <<EOF
libtag.dll (GNU LGPL 2.1 or Mozilla Public License 1.1, see taglib-COPYING.txt) is built
from Debian's source package taglib $version, unpacked with Debian's patches, with
the patch that makes it use a separately packaged utf8-cpp reversed (the copy bundled in
the same source is used) and otherwise unchanged. Its files are in source/taglib/ (on
Debian 12 also: apt-get source taglib=$version). It is built with CMake for 64-bit
Windows with mingw-w64 as a shared library without zlib (scripts/build-taglib-mingw.sh).

temposcout-cli.exe loads it by name from its own folder, so it can be replaced by another
build of the same library.
EOF
echo "$out"
