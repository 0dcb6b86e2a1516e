#!/usr/bin/env bash
# Runs a Windows program under Wine: CTest's emulator for cross-built tests, and the
# README's run command. A session folder holds the Wine prefix and, when there is no
# display, the Xvfb server started for it; a persistent wineserver keeps each process
# start fast.
#
#   wine-run.sh [--session DIR] [--isolated] PROGRAM [ARGS...]
#                                                   run one program (exit code passed on)
#   wine-run.sh [--session DIR] --start             prepare the session ahead of a test run
#   wine-run.sh [--session DIR] --stop              stop what the session started
#
# --isolated gives Wine a home folder inside the session, so the desktop and document
# folders a test's dialog may open are empty folders of the session's own, not the
# user's real ones.
set -uo pipefail

session=${TEMPOSCOUT_WINE_SESSION:-$PWD/wine}
if [[ ${1:-} == --session ]]; then session=$2; shift 2; fi
mkdir -p "$session"
session=$(cd "$session" && pwd)
if [[ ${1:-} == --isolated ]]; then
  shift
  export HOME="$session/home"
  mkdir -p "$HOME"
fi

export WINEPREFIX="$session/prefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko installers: they would try to download.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

stop_session() {
  wineserver -k >/dev/null 2>&1
  if [[ -f $session/xvfb.pid ]]; then
    kill "$(cat "$session/xvfb.pid")" >/dev/null 2>&1
    rm -f "$session/xvfb.pid" "$session/display"
  fi
}

start_display() {
  if [[ -n ${DISPLAY:-} && ! -f $session/display ]]; then return; fi
  if [[ -f $session/display && -f $session/xvfb.pid ]] && kill -0 "$(cat "$session/xvfb.pid")" 2>/dev/null; then
    export DISPLAY=$(cat "$session/display")
    return
  fi
  command -v Xvfb >/dev/null || { echo "wine-run: no display and no Xvfb" >&2; exit 125; }
  local fdfile="$session/xvfb.displayfd"
  rm -f "$fdfile"
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" </dev/null >/dev/null 2>&1 &
  echo $! >"$session/xvfb.pid"
  for _ in $(seq 100); do
    [[ -s $fdfile ]] && break
    sleep 0.1
  done
  [[ -s $fdfile ]] || { echo "wine-run: Xvfb did not start" >&2; exit 125; }
  echo ":$(head -n1 "$fdfile" | tr -d '[:space:]')" >"$session/display"
  export DISPLAY=$(cat "$session/display")
}

start_wine() {
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  # Stays up 60 s after its last client, so consecutive tests reuse it and it ends
  # by itself when nobody stops it.
  wineserver -p60 >/dev/null 2>&1
}

prepare() {
  exec 9>"$session/lock"
  flock 9
  start_display
  start_wine
  flock -u 9
}

case ${1:-} in
  --stop) stop_session; exit 0 ;;
  --start) prepare; exit 0 ;;
  "") echo "usage: wine-run.sh [--session DIR] PROGRAM [ARGS...] | --start | --stop" >&2; exit 2 ;;
esac

prepare
# Wine's helper processes (services, explorer) outlive the program and inherit its
# output handles; writing through files keeps them from holding the caller's pipe
# open, which would make CTest wait for them.
out=$(mktemp)
err=$(mktemp)
wine "$@" >"$out" 2>"$err"
rc=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $rc
