#!/usr/bin/env bash
# Compares the tempo digest of the Windows build (run under Wine) with the native
# build's. Exits 77 (skipped) when the native digest program has not been built.
#   compare-digest.sh NATIVE_PROGRAM WINDOWS_PROGRAM WINE_RUNNER...
set -uo pipefail
native=$1
windows=$2
shift 2
if [[ ! -x $native ]]; then
  echo "no native build at $native: skipped"
  exit 77
fi
expected=$(mktemp)
actual=$(mktemp)
trap 'rm -f "$expected" "$actual"' EXIT
"$native" >"$expected" || { echo "native digest failed"; exit 1; }
"$@" "$windows" | tr -d '\r' >"$actual" || { echo "windows digest failed"; exit 1; }
if cmp -s "$expected" "$actual"; then
  echo "$(wc -l <"$expected") outputs identical"
  exit 0
fi
echo "outputs differ:"
diff -u "$expected" "$actual" | head -n 40
exit 1
