#!/usr/bin/env bash
# Compares the Windows build's decode (run under Wine) of every file of the format test
# folder with the native build's. Exits 77 (skipped) when the native digest program or
# the files are missing.
#   compare-decode-digest.sh NATIVE_PROGRAM WINDOWS_PROGRAM FOLDER WINE_RUNNER...
set -uo pipefail
native=$1
windows=$2
folder=$3
shift 3
if [[ ! -x $native ]]; then
  echo "no native build at $native: skipped"
  exit 77
fi
files=("$folder"/*.*)
if [[ ! -f $folder/click.wav ]]; then
  echo "no format test files in $folder (they need ffmpeg and the native build): skipped"
  exit 77
fi
expected=$(mktemp)
actual=$(mktemp)
trap 'rm -f "$expected" "$actual"' EXIT
"$native" "${files[@]}" >"$expected" || { echo "native decode failed"; exit 1; }
windows_files=()
for f in "${files[@]}"; do windows_files+=("Z:$f"); done
"$@" "$windows" "${windows_files[@]}" | tr -d '\r' >"$actual" || { echo "windows decode failed"; exit 1; }
if cmp -s "$expected" "$actual"; then
  echo "$(wc -l <"$expected") decodes identical"
  exit 0
fi
echo "decodes differ:"
diff -u "$expected" "$actual" | head -n 60
exit 1
