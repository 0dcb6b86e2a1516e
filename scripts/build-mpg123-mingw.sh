#!/usr/bin/env bash
# Cross-builds libmpg123 and libsyn123 for 64-bit Windows from Debian's own source
# package of mpg123, as DLLs with import libraries, into a cache outside the checkout,
# and keeps the source package beside them (it ships with the program). A build for the
# same package version is reused. Prints the folder to pass as MPG123_ROOT.
set -euo pipefail

cache=${TEMPOSCOUT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/temposcout}
host=x86_64-w64-mingw32

version=$(apt-cache policy mpg123 | awk '/Candidate:/ {print $2}')
[[ -n $version && $version != "(none)" ]] || { echo "build-mpg123-mingw: apt knows no mpg123 package" >&2; exit 1; }
out="$cache/mpg123-$version-$host-shared"
if [[ -f $out/.complete ]]; then
  echo "$out"
  exit 0
fi

sudo_cmd=""
[[ $(id -u) -eq 0 ]] || sudo_cmd=sudo

# apt-get source needs deb-src entries for the same archive the binaries come from.
if ! apt-get source --print-uris "mpg123=$version" >/dev/null 2>&1; then
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
  # Fetch the source package file by file and check each against its checksum; the
  # upstream signature file (.asc) is not always served by the mirror, and apt-get
  # source gives up without it.
  apt-get source --print-uris -q "mpg123=$version" | grep "^'" |
    while read -r uri name _ sum; do
      [[ $name == *.asc ]] && continue
      curl -fsSL -o "$name" "${uri//\'/}"
      echo "${sum#SHA256:}  $name" | sha256sum -c --quiet -
    done
  dpkg-source --no-check -x ./*.dsc >&2
  cd mpg123-*/
  options=(--host=$host CC=$host-gcc-posix --enable-shared --disable-static
           --disable-components --enable-libmpg123 --enable-libsyn123
           --with-cpu=x86-64 --disable-modules)
  ./configure --prefix="$out" "${options[@]}" >&2
  make -j"$(nproc)" >&2
  make install-strip >&2
  cp COPYING "$out/COPYING"
  # The exact source the DLLs were built from, as Debian publishes it, and how.
  mkdir -p "$out/source"
  cp "$work"/*.dsc "$work"/*.orig.tar.* "$work"/*.debian.tar.* "$out/source/"
  cat >"$out/SOURCE.txt" <<EOF
libmpg123-0.dll and libsyn123-0.dll (GNU LGPL 2.1, see mpg123-COPYING.txt) are built
from Debian's source package mpg123 $version, unpacked with Debian's patches
and otherwise unchanged. Its files are in source/mpg123/ (on Debian 12 also:
apt-get source mpg123=$version). The build for 64-bit Windows with mingw-w64:

  dpkg-source -x $(cd "$work" && echo ./*.dsc | sed 's|^\./||')
  ./configure ${options[*]}
  make && make install-strip

bass.dll loads them by name from its own folder, so either can be replaced by another
build of the same library.
EOF
)
touch "$out/.complete"
echo "$out"
