#!/usr/bin/env bash
# Builds the Windows package (the portable folder and its zip, from the install rules)
# and checks what a user unpacks: the programs, the engine and library DLLs, the pages,
# README.txt (plain text with Windows line ends), the licences and the libraries'
# sources; that the pages and README.txt name only options the command-line tool has;
# and that every DLL a program or library of the package imports is either in the
# package or part of Windows.
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

python3 - "$zip" "$root/cli" <<'PY'
import pathlib, re, subprocess, sys, tempfile, zipfile
archive = zipfile.ZipFile(sys.argv[1])
names = {n[len("TempoScout/"):] for n in archive.namelist() if n.startswith("TempoScout/")}
required = ["TempoScout.exe", "temposcout-cli.exe", "bass.dll", "bass_fx.dll", "libmpg123-0.dll",
            "libsyn123-0.dll", "libtag.dll", "help.html", "about.html", "README.txt", "LICENSE.txt",
            "licenses/mpg123-COPYING.txt", "licenses/mpg123-SOURCE.txt", "licenses/taglib-COPYING.txt",
            "licenses/taglib-SOURCE.txt", "licenses/kissfft-COPYING.txt", "licenses/kissfft-SOURCE.txt",
            "licenses/mingw-w64-runtime.txt",
            "avformat-59.dll", "avcodec-59.dll", "avutil-57.dll", "swresample-4.dll",
            "licenses/ffmpeg-COPYING.txt", "licenses/ffmpeg-SOURCE.txt"]
problems = [f"missing {n}" for n in required if n not in names]
for library in ("mpg123", "taglib", "ffmpeg"):
    if not any(re.fullmatch(rf"source/{library}/.*\.dsc", n) for n in names):
        problems.append(f"missing the source package of {library}")
if "README.txt" in names:
    readme = archive.read("TempoScout/README.txt")
    if readme.count(b"\n") == 0 or readme.count(b"\n") != readme.count(b"\r\n"):
        problems.append("README.txt does not end every line with CR LF")
    if any(byte > 127 for byte in readme):
        problems.append("README.txt is not plain ASCII")
    if b"temposcout-cli.exe" not in readme:
        problems.append("README.txt does not name temposcout-cli.exe")
# Every option the user guides name must be one the tool has: its sources spell each
# one out in the usage text.
known = set()
for source in (p for p in pathlib.Path(sys.argv[2]).rglob("*") if p.suffix in (".cpp", ".h")):
    known.update(re.findall(r"--[a-z][a-z0-9-]+", source.read_text(errors="replace")))
for guide in ("README.txt", "help.html", "about.html"):
    if guide in names:
        text = archive.read("TempoScout/" + guide).decode("utf-8", "replace")
        for option in sorted(set(re.findall(r"--[a-z][a-z0-9-]+", text)) - known):
            problems.append(f"{guide} names {option}, which temposcout-cli does not have")
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
# FFmpeg is built with LGPL parts only: its configuration names no GPL or non-free option.
with tempfile.TemporaryDirectory() as folder:
    path = archive.extract("TempoScout/avcodec-59.dll", folder) if "avcodec-59.dll" in names else None
    if path:
        text = open(path, "rb").read()
        if b"--enable-gpl" in text or b"--enable-nonfree" in text:
            problems.append("avcodec-59.dll was configured with GPL or non-free parts")
        if b"LGPL" not in text:
            problems.append("avcodec-59.dll does not name its LGPL licence")
size = __import__("os").path.getsize(sys.argv[1])
if size >= 20 * 1024 * 1024:
    problems.append(f"the zip is {size} bytes, 20 MB or more")
for problem in problems:
    print("package:", problem)
print(f"package: {len(names)} entries, {len(binaries)} programs and libraries checked, zip {size / 1048576:.1f} MiB")
sys.exit(1 if problems else 0)
PY
