# Sourced by scripts that show the program on a 1280x800 Wine virtual desktop under
# the session's Xvfb (a bare Xvfb draws a maximised window at its restored size).
#
#   source scripts/wine-desktop.sh
#   start_wine_desktop SESSION_DIR PROGRAM [ARGS...]   # returns once the desktop shows
#
# Sets DISPLAY, WINEPREFIX and `wine_run` (the session's runner, for more programs on
# the same desktop through `$wine_run explorer /desktop=TempoScout,1280x800 PROGRAM`),
# and stops the session when the calling script exits.

start_wine_desktop() {
  local session=$1
  shift
  wine_run="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-run.sh --session $session"
  $wine_run --start
  export DISPLAY=$(cat "$session/display") WINEPREFIX="$session/prefix" WINEDEBUG=-all
  trap '$wine_run --stop' EXIT
  $wine_run explorer /desktop=TempoScout,1280x800 "$@" &
  # The virtual desktop is the only X window; the program's own windows live inside it.
  local desktop=""
  for _ in $(seq 150); do
    desktop=$(xdotool search --name "TempoScout - Wine desktop" 2>/dev/null | head -n1 || true)
    [[ -n $desktop ]] && return 0
    sleep 0.2
  done
  echo "the Wine desktop did not appear" >&2
  return 1
}

# Saves the virtual desktop's picture.
save_wine_desktop() {
  import -window root -crop 1280x800+0+0 +repage "$1"
}
