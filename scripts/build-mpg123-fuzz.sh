#!/usr/bin/env bash
# Builds libmpg123 and libsyn123 from Debian's own source package of mpg123 as static
# libraries for the native fuzz build: clang with the address and undefined-behaviour
# sanitizers and libFuzzer's coverage, plain C decoders only (no assembly), so that the
# sanitizers and the fuzzer see all of the decoder. The result goes into a cache outside
# the checkout and is reused for the same package version. Prints the folder to pass as
# MPG123_ROOT.
set -euo pipefail

cache=${TEMPOSCOUT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/temposcout}

version=$(apt-cache policy mpg123 | awk '/Candidate:/ {print $2}')
[[ -n $version && $version != "(none)" ]] || { echo "build-mpg123-fuzz: apt knows no mpg123 package" >&2; exit 1; }
out="$cache/mpg123-$version-fuzz"
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

# The same sanitizers as the fuzz target; recovery off so that undefined behaviour in
# the decoder stops the fuzzer like any other fault. fuzzer-no-link adds the coverage
# instrumentation without libFuzzer's main, which only the fuzz target links.
sanitize="-fsanitize=address,undefined -fsanitize=fuzzer-no-link -fno-sanitize-recover=all"
cflags="-O1 -g -fno-omit-frame-pointer $sanitize"

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
  # generic_fpu: the portable C synthesis, no hand-written assembly the sanitizers
  # cannot look into.
  ./configure CC=clang CFLAGS="$cflags" LDFLAGS="$sanitize" \
    --prefix="$out" --enable-static --disable-shared \
    --disable-components --enable-libmpg123 --enable-libsyn123 \
    --with-cpu=generic_fpu --disable-modules >&2
  # The resampler's inner loops would spend most of each run in comparison tracing,
  # which learns nothing there (its branches follow the sample rates, not the data):
  # it keeps the sanitizers and edge coverage only.
  make -j"${TEMPOSCOUT_JOBS:-2}" src/libsyn123/libsyn123.la CFLAGS="$cflags -fno-sanitize-coverage=trace-cmp" >&2
  make -j"${TEMPOSCOUT_JOBS:-2}" >&2
  make install >&2
  cp COPYING "$out/COPYING"
)
touch "$out/.complete"
echo "$out"
