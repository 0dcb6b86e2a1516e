#!/usr/bin/env bash
# Builds libmpg123 and libsyn123 from Debian's own source package of mpg123 as static
# libraries for the native fuzz build: clang with the address and undefined-behaviour
# sanitizers and libFuzzer's coverage, plain C decoders only (no assembly), so that the
# sanitizers and the fuzzer see all of the decoder. The result goes into a cache outside
# the checkout and is reused for the same package version. Prints the folder to pass as
# MPG123_ROOT.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/debian-source.sh"

cache=${TEMPOSCOUT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/temposcout}

version=$(debian_candidate_version mpg123)
[[ -n $version ]] || { echo "build-mpg123-fuzz: apt knows no mpg123 package" >&2; exit 1; }
out="$cache/mpg123-$version-fuzz"
if [[ -f $out/.complete ]]; then
  echo "$out"
  exit 0
fi

# The same sanitizers as the fuzz target; recovery off so that undefined behaviour in
# the decoder stops the fuzzer like any other fault. fuzzer-no-link adds the coverage
# instrumentation without libFuzzer's main, which only the fuzz target links.
sanitize="-fsanitize=address,undefined -fsanitize=fuzzer-no-link -fno-sanitize-recover=all"
cflags="-O1 -g -fno-omit-frame-pointer $sanitize"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(
  fetch_debian_source mpg123 "$version" "$work"
  cd "$work"/mpg123-*/
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
