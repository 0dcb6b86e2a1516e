#!/usr/bin/env bash
# Compares the Windows build's decode (run under Wine) of every file of the format test
# folder with the native build's. Exits 77 (skipped) when the native digest program or
# the files are missing. KNOWN lists files (comma-separated) whose decodes are still known
# to differ: their lines are printed on every run and left out of the verdict, and a file
# of that list that has come to match fails the run, so the list cannot go stale.
#   compare-decode-digest.sh NATIVE_PROGRAM WINDOWS_PROGRAM FOLDER KNOWN WINE_RUNNER...
set -uo pipefail
native=$1
windows=$2
folder=$3
IFS=, read -r -a known <<<"$4"
shift 4
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
status=0
for name in "${known[@]}"; do
  native_line=$(grep "^$name " "$expected")
  windows_line=$(grep "^$name " "$actual")
  if [[ $native_line == "$windows_line" ]]; then
    echo "$name now decodes identically: remove it from the known differences"
    status=1
  else
    echo "KNOWN DIFFERENCE, still to be fixed: native '$native_line', Windows '$windows_line'"
  fi
  sed -i "/^$name /d" "$expected" "$actual"
done
if cmp -s "$expected" "$actual"; then
  echo "$(wc -l <"$expected") decodes identical"
  exit $status
fi
echo "decodes differ:"
diff -u "$expected" "$actual" | head -n 60
exit 1
