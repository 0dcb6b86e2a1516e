#!/usr/bin/env bash
# Cross-builds libmpg123 and libsyn123 for 64-bit Windows from Debian's own source
# package of mpg123, as DLLs with import libraries, into a cache outside the checkout,
# and keeps the source package beside them (it ships with the program). A build for the
# same package version is reused. Prints the folder to pass as MPG123_ROOT.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/debian-source.sh"

cache=${TEMPOSCOUT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/temposcout}
host=x86_64-w64-mingw32

version=$(debian_candidate_version mpg123)
[[ -n $version ]] || { echo "build-mpg123-mingw: apt knows no mpg123 package" >&2; exit 1; }
out="$cache/mpg123-$version-$host-shared"
if [[ -f $out/.complete ]]; then
  echo "$out"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(
  fetch_debian_source mpg123 "$version" "$work"
  cd "$work"/mpg123-*/
  options=(--host=$host CC=$host-gcc-posix --enable-shared --disable-static
           --disable-components --enable-libmpg123 --enable-libsyn123
           --with-cpu=x86-64 --disable-modules)
  ./configure --prefix="$out" "${options[@]}" >&2
  make -j"$(nproc)" >&2
  make install-strip >&2
  cp COPYING "$out/COPYING"
  # The exact source the DLLs were built from, as Debian publishes it, and how.
  keep_debian_source "$work" "$out/source"
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
