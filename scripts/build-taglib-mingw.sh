#!/usr/bin/env bash
# Cross-builds TagLib for 64-bit Windows from Debian's own source package, as a DLL shipped
# beside the programs, into a cache outside the checkout. A build for the same package
# version is reused. Prints the folder to pass as TAGLIB_ROOT.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

cache=${TEMPOSCOUT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/temposcout}
host=x86_64-w64-mingw32

version=$(apt-cache policy libtag1-dev | awk '/Candidate:/ {print $2}')
[[ -n $version && $version != "(none)" ]] || { echo "build-taglib-mingw: apt knows no libtag1-dev package" >&2; exit 1; }
out="$cache/taglib-$version-$host"
if [[ -f $out/.complete ]]; then
  echo "$out"
  exit 0
fi

sudo_cmd=""
[[ $(id -u) -eq 0 ]] || sudo_cmd=sudo

# apt-get source needs deb-src entries for the same archive the binaries come from.
if ! apt-get source --print-uris "taglib=$version" >/dev/null 2>&1; then
  src=/etc/apt/sources.list.d/temposcout-deb-src.sources
  if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
    sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $sudo_cmd tee "$src" >/dev/null
  else
    grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $sudo_cmd tee "${src%.sources}.list" >/dev/null
  fi
  $sudo_cmd apt-get update -q >&2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(
  cd "$work"
  # Fetched file by file and checked against the checksums, as for mpg123: the mirror
  # does not always serve the upstream signature apt-get source insists on.
  apt-get source --print-uris -q "taglib=$version" | grep "^'" |
    while read -r uri name _ sum; do
      [[ $name == *.asc ]] && continue
      curl -fsSL -o "$name" "${uri//\'/}"
      echo "${sum#SHA256:}  $name" | sha256sum -c --quiet -
    done
  dpkg-source --no-check -x ./*.dsc >&2
  cd taglib-*/
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
)
touch "$out/.complete"
echo "$out"
