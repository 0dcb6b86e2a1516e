#!/usr/bin/env bash
# Builds the Windows package (the portable folder and its zip, from the install rules)
# and checks what a user unpacks: the programs, the engine and library DLLs, the pages,
# the licences and the libraries' sources, and that every DLL a program or library of
# the package imports is either in the package or part of Windows.
#   check-package.sh [build/win64]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win64}

if ! cmake --build "$build" --target portable >/dev/null; then
  echo "package: FAILED to build the portable target"
  exit 1
fi
version=$(sed -n 's/^#define TEMPOSCOUT_VERSION "\(.*\)"/\1/p' "$build/generated/Version.h")
zip=$build/TempoScout-$version-win64.zip
[[ -f $zip ]] || { echo "package: FAILED: no $zip"; exit 1; }

python3 - "$zip" <<'PY'
import re, subprocess, sys, tempfile, zipfile
archive = zipfile.ZipFile(sys.argv[1])
names = {n[len("TempoScout/"):] for n in archive.namelist() if n.startswith("TempoScout/")}
required = ["TempoScout.exe", "temposcout-cli.exe", "bass.dll", "bass_fx.dll", "libmpg123-0.dll",
            "libsyn123-0.dll", "libtag.dll", "help.html", "about.html", "LICENSE.txt",
            "licenses/mpg123-COPYING.txt", "licenses/mpg123-SOURCE.txt", "licenses/taglib-COPYING.txt",
            "licenses/taglib-SOURCE.txt", "licenses/kissfft-COPYING.txt", "licenses/kissfft-SOURCE.txt",
            "licenses/mingw-w64-runtime.txt"]
problems = [f"missing {n}" for n in required if n not in names]
for library in ("mpg123", "taglib"):
    if not any(re.fullmatch(rf"source/{library}/.*\.dsc", n) for n in names):
        problems.append(f"missing the source package of {library}")
windows = re.compile(r"(kernel32|user32|gdi32|comctl32|comdlg32|shell32|shlwapi|ole32|oleaut32|advapi32|"
                     r"version|msvcrt|ws2_32|winmm|uxtheme|dwmapi|imm32|bcrypt|api-ms-win-.*)\.dll", re.I)
binaries = sorted(n for n in names if n.endswith((".exe", ".dll")))
with tempfile.TemporaryDirectory() as folder:
    for name in binaries:
        path = archive.extract("TempoScout/" + name, folder)
        dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", path], capture_output=True, text=True).stdout
        for imported in re.findall(r"DLL Name: (\S+)", dump):
            if imported not in names and not windows.fullmatch(imported):
                problems.append(f"{name} imports {imported}, which is neither in the package nor part of Windows")
for problem in problems:
    print("package:", problem)
print(f"package: {len(names)} entries, {len(binaries)} programs and libraries checked")
sys.exit(1 if problems else 0)
PY
