#!/usr/bin/env bash
# Builds the development set of the tempo estimator outside the checkout: mma grooves in
# many styles rendered with fluidsynth (WAV and a 128 kbit/s MP3 copy of each), drum-only
# grooves, and generated click tracks, with a manifest of their true tempi.
# Usage: scripts/make-devset.sh [BUILD_DIR]   (BUILD_DIR holds bin/make_test_wav)
# Prints the folder; its manifest.tsv has: name, group, style, true bpm, half (A or B; C
# and D for the second and third sources, game music and demo songs that are only
# measured).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/linux}
cache=${TEMPOSCOUT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/temposcout}
out="$cache/devset"
soundfont=/usr/share/sounds/sf2/FluidR3_GM.sf2
mkdir -p "$out"

for tool in mma fluidsynth lame; do
  command -v "$tool" >/dev/null || { echo "make-devset: $tool is missing (scripts/accuracy.sh installs it)" >&2; exit 1; }
done
[[ -f $soundfont ]] || { echo "make-devset: no $soundfont (fluid-soundfont-gm)" >&2; exit 1; }
[[ -x $build/bin/make_test_wav ]] || { echo "make-devset: no $build/bin/make_test_wav: build the linux preset" >&2; exit 1; }

# Files rendered before the grooves' random seed was fixed differ from machine to
# machine: such a set is rendered afresh.
render_version="mma RndSeed 1"
if [[ ! -f $out/render-version || $(<"$out/render-version") != "$render_version" ]]; then
  find "$out" -maxdepth 1 \( -name '*.wav' -o -name '*.mp3' \) -delete
  # A new manifest date tells scripts/accuracy.sh that results kept for the old
  # files are stale.
  rm -f "$out/manifest.tsv"
  echo "$render_version" >"$out/render-version"
fi

# mma finds grooves through a database of its libraries, made once.
if [[ ! -f /usr/share/mma/lib/stdlib/.mmaDB ]]; then
  sudo_cmd=""
  [[ $(id -u) -eq 0 ]] || sudo_cmd=sudo
  $sudo_cmd mma -G >/dev/null
fi

# group, groove, beats per bar, the true tempo as a share of mma's tempo (a 6/8 groove
# written with an eighth-note beat is tapped on the dotted quarter), three true tempi.
styles=$(cat <<'LIST'
rock 50sRock 4 1 128 151 176
rock BasicRock 4 1 98 121 147
rock SoftRock 4 1 72 89 108
rock FolkRock 4 1 92 114 138
rock 8Beat 4 1 100 118 139
rock 60sRock 4 1 122 145 168
pop Twist 4 1 138 152 166
pop Trance 4 1 124 133 142
pop PopBallad 4 1 62 71 83
funk-disco BVFunk 4 1 88 103 119
funk-disco BoneyM 4 1 108 119 131
funk-disco DSoul 4 1 98 112 126
funk-disco FUNK01 4 1 86 99 114
swing Swing 4 1 112 141 177
swing FastSwing 4 1 172 186 199
swing EasySwing 4 1 88 106 129
swing WesternSwing 4 1 128 151 178
swing BigBand 4 1 132 158 188
swing Jive 4 1 146 164 186
jazz JazzCombo 4 1 102 127 158
jazz Bebop 4 1 168 184 198
jazz MellowJazz 4 1 68 86 108
jazz ModernJazz 4 1 112 134 161
latin BossaNova 4 1 108 126 148
latin Samba 4 1 96 112 132
latin Mambo 4 1 148 168 192
latin ChaCha 4 1 108 118 129
latin Rhumba 4 1 94 108 124
latin Beguine 4 1 108 122 139
latin Merengue 4 1 118 138 158
latin Tango 4 1 108 119 131
reggae Ska 4 1 128 147 168
reggae REGG01 4 1 68 82 98
country SlowCountry 4 1 68 83 99
country BlueGrass 4 1 148 171 196
country HillCountry 4 1 98 113 131
country CNTR01 4 1 98 118 139
polka-march Polka 4 1 108 122 139
polka-march DixieMarch 4 1 108 121 138
polka-march 68March 2 1 98 112 128
ballad Ballad 4 1 60 70 84
ballad RockBallad 4 1 61 72 85
ballad PianoBallad 4 1 60 68 79
blues Blues 4 1 78 101 128
blues ShuffleBoggie 4 1 108 127 149
waltz Waltz 3 1 88 118 156
waltz JazzWaltz 3 1 108 139 178
waltz CountryWaltz 3 1 88 112 146
waltz VieneseWaltz 3 1 158 174 196
waltz FrenchWaltz 3 1 108 131 159
waltz RockWaltz 3 1 88 109 138
compound Ballad68 4 1 60 72 88
compound Blues128 4 1 60 73 89
compound Rock128 4 1 62 78 98
compound 68Swing 6 1/3 82 104 128
LIST
)
drumgrooves="50sRock FUNK01 REGG01 Swing BossaNova Polka"
# Click tracks of the tests' own generator, at periods of whole milliseconds.
click_periods="1000 800 667 600 545 500 469 429 400 375 345 316"

# More grooves, many of them syncopated (dance, hip-hop, R&B, fusion, Afro-Cuban and
# Latin patterns whose strongest recurrence is a dotted beat or a bar rather than the
# beat), then slow ballads, blues, gospel, jazz and Latin grooves in 4/4, 5/4, 3/4, 6/8
# and 12/8 from the rest of mma's standard library (those whose beat its documentation
# leaves no doubt about). They come after the click tracks, so the halves of the files
# above stay as they are.
more_styles=$(cat <<'LIST'
dance 16Beat1 4 1 96 112 128
dance 8BeatDance 4 1 118 126 134
dance Dance1 4 1 116 124 132
dance House 4 1 118 124 130
dance LatinHouse 4 1 116 123 130
dance Rave 4 1 128 138 148
dance Techno 4 1 124 132 140
dance 80sPop 4 1 104 118 132
hiphop-rnb Hip-Hop 4 1 80 90 100
hiphop-rnb HIP03 4 1 78 88 98
hiphop-rnb HIP07 4 1 84 94 104
hiphop-rnb TripHop 4 1 68 78 88
hiphop-rnb ModernR&B 4 1 66 76 92
hiphop-rnb RnB02 4 1 70 84 98
hiphop-rnb R&B 4 1 72 88 104
hiphop-rnb SoulPop 4 1 92 104 116
funk-fusion Funk1 4 1 92 104 116
funk-fusion Funk2 4 1 88 100 112
funk-fusion Fusion 4 1 96 112 128
funk-fusion 16FUS02 4 1 84 98 112
funk-fusion LFusion 4 1 100 116 132
funk-fusion JazzRock 4 1 110 126 142
funk-fusion DiscoSoul 4 1 108 118 128
funk-fusion Strut 4 1 92 106 120
afro-latin Salsa 4 1 160 180 200
afro-latin Son 4 1 84 98 112
afro-latin Calypso 4 1 100 114 128
afro-latin AFRO02 4 1 96 110 126
afro-latin LATN03 4 1 96 112 128
afro-latin SAMBA01 4 1 92 104 116
afro-latin Bolero 4 1 72 84 96
afro-latin Zydeco 4 1 104 120 136
rock-pop HeavyMetal 4 1 100 122 144
rock-pop PUNK01 4 1 150 172 194
rock-pop WorldPop 4 1 92 108 124
rock-pop PopShuffle1 4 1 80 94 108
rock-pop 16Shuffle1 4 1 72 86 100
rock-pop BubbleRock 4 1 104 120 136
old-time Charleston 4 1 180 200 216
old-time RagTime 4 1 80 96 112
old-time Foxtrot 4 1 100 116 132
old-time QuickStep 4 1 180 196 208
old-time ShowTune 4 1 92 110 128
old-time Softshoe 4 1 80 96 112
blues SlowBlues 4 1 56 64 74
blues FastBlues 4 1 140 160 180
blues CountryBlues 4 1 84 98 112
blues BoggieWoggie 4 1 120 140 160
ballad FolkBallad 4 1 64 74 86
ballad GuitarBallad 4 1 72 84 96
ballad StringBallad 4 1 58 66 76
ballad R&B-Ballad 4 1 66 76 86
ballad JazzGuitar 4 1 64 76 90
gospel Hymn 4 1 70 84 98
gospel PopSpiritual 4 1 70 80 90
gospel SlowSpiritual 4 1 60 68 78
gospel Spiritual 4 1 120 145 175
jazz SlowJazz 4 1 72 86 100
jazz DescendingJazz 4 1 100 120 140
jazz NiteJazz 4 1 110 130 150
jazz Evansish 4 1 110 130 150
jazz Desert 4 1 110 130 150
jazz GypsyJazz 4 1 140 170 200
jazz Jazz54 5 1 130 150 170
latin JazzRhumba 4 1 100 116 132
latin LightTango 4 1 110 120 130
latin SlowBolero 4 1 72 84 96
latin CubanGuitar 4 1 80 92 104
country CountrySwing 4 1 110 130 150
rock-pop Folk 4 1 90 105 120
old-time SlowBroadway 4 1 90 110 130
waltz ModernJazzWaltz 3 1 120 140 160
waltz LatinWaltz 3 1 100 120 140
waltz BroadwayWaltz 3 1 110 130 150
compound Ballad128 4 1 54 62 72
compound Blues68 6 1/3 48 56 66
LIST
)

jobs="$out/jobs.txt"
manifest="$out/manifest.tsv"
: >"$jobs"
printf 'name\tgroup\tstyle\tbpm\thalf\n' >"$manifest.new"
index=0
half_of() { (( $1 % 2 == 0 )) && echo A || echo B; }

# A line per file for the renderer (name, groove, mma tempo, beats per bar, bars, drums
# only) and the file's manifest line, into the file named by $2.
add_styles() {
  local group groove beats share t1 t2 t3 truth mmatempo bars name
  while read -r group groove beats share t1 t2 t3; do
    for truth in $t1 $t2 $t3; do
      mmatempo=$(awk -v t="$truth" -v s="$share" 'BEGIN { split(s, f, "/"); if (f[2] == "") f[2] = 1; print t * f[2] / f[1] }')
      # About 64 seconds of music.
      bars=$(awk -v t="$mmatempo" -v b="$beats" 'BEGIN { print int(64 * t / 60 / b) + 1 }')
      # mma's groove names may hold characters a file name should not.
      name="$group-${groove//[^A-Za-z0-9]/}-$truth"
      echo "$name $groove $mmatempo $beats $bars 0" >>"$jobs"
      printf '%s\t%s\t%s\t%s\t%s\n' "$name" "$group" "$groove" "$truth" "$(half_of $index)" >>"$2"
      index=$((index + 1))
    done
  done <<<"$1"
}
add_styles "$styles" "$manifest.new"

for groove in $drumgrooves; do
  for truth in 84 117 143; do
    bars=$(awk -v t="$truth" 'BEGIN { print int(64 * t / 240) + 1 }')
    name="drums-$groove-$truth"
    echo "$name $groove $truth 4 $bars 1" >>"$jobs"
    printf '%s\t%s\t%s\t%s\t%s\n' "$name" drums "$groove" "$truth" "$(half_of $index)" >>"$manifest.new"
    index=$((index + 1))
  done
done

# The grooves added later, indexed after the click tracks.
more_manifest="$out/more.tsv.new"
: >"$more_manifest"
index_before_more=$index
clicks=($click_periods)
index=$((index + ${#clicks[@]}))
add_styles "$more_styles" "$more_manifest"
index=$index_before_more

# A MIDI file into NAME.wav and its 128 kbit/s MP3 copy in the set, through WORK.
synthesize() {
  local name=$1 midi=$2 work=$3
  if fluidsynth -ni -q -g 1.0 -r 44100 -F "$work/$name.wav" "$DEVSET_SOUNDFONT" "$midi" >/dev/null 2>&1 &&
    lame --quiet -b 128 "$work/$name.wav" "$work/$name.mp3"; then
    mv "$work/$name.wav" "$work/$name.mp3" "$DEVSET_DIR/"
  else
    echo "make-devset: could not render $name" >&2
  fi
}
export -f synthesize

render() {
  local name=$1 groove=$2 tempo=$3 bars=$5 drums=$6 dir=$DEVSET_DIR
  [[ -f $dir/$name.mp3 ]] && return 0
  local work
  work=$(mktemp -d)
  {
    # mma varies its grooves' timing and velocities at random: a fixed seed renders the
    # same set on every machine.
    echo "RndSeed 1"
    echo "Tempo $tempo"
    echo "Groove $groove"
    if [[ $drums == 1 ]]; then echo "AllTracks Off"; echo "AllTracks Drum On"; fi
    local chords=(C Am F G Dm G C C)
    for ((bar = 0; bar < bars; bar++)); do echo "${chords[bar % 8]}"; done
  } >"$work/$name.mma"
  if mma -f "$work/$name.mid" "$work/$name.mma" >/dev/null 2>&1; then
    synthesize "$name" "$work/$name.mid" "$work"
  else
    echo "make-devset: could not render $name" >&2
  fi
  rm -rf "$work"
}
export -f render
export DEVSET_DIR=$out DEVSET_SOUNDFONT=$soundfont
xargs -P "$(nproc)" -L 1 bash -c 'render "$@"' render <"$jobs"

for period in $click_periods; do
  name="clicks-$period"
  [[ -f $out/$name.mp3 ]] || {
    "$build/bin/make_test_wav" --period-ms "$period" --seconds 60 "$out/$name.wav" >/dev/null
    lame --quiet -b 128 "$out/$name.wav" "$out/$name.mp3"
  }
  printf '%s\t%s\t%s\t%s\t%s\n' "$name" clicks clicks "$(awk -v p="$period" 'BEGIN { printf "%.3f", 60000 / p }')" \
    "$(half_of $index)" >>"$manifest.new"
  index=$((index + 1))
done

cat "$more_manifest" >>"$manifest.new"
rm "$more_manifest"

# A second source, never tuned on ("half" C): the game music of OpenTTD's openmsx set
# (Debian's openttd-openmsx), MIDI files rendered whole with the same synthesizer; the
# true tempo is the file's own, for the files that keep one tempo throughout.
openmsx=/usr/share/games/openttd/baseset/openmsx
# The tempo reader runs on Debian's own Python, where python3-mido is installed.
if compgen -G "$openmsx/*.mid" >/dev/null && /usr/bin/python3 -c 'import mido' 2>/dev/null; then
  render_midi() {
    local midi=$1 name dir=$DEVSET_DIR work
    name="game-$(basename "$midi" .mid)"
    [[ -f $dir/$name.mp3 ]] && return 0
    work=$(mktemp -d)
    synthesize "$name" "$midi" "$work"
    rm -rf "$work"
  }
  export -f render_midi
  for midi in "$openmsx"/*.mid; do
    tempo=$("$here/midi-tempo.py" "$midi")
    [[ -n $tempo ]] || continue
    echo "$midi"
    printf '%s\t%s\t%s\t%s\t%s\n' "game-$(basename "$midi" .mid)" game openmsx "$tempo" C >>"$manifest.new"
  done | xargs -P "$(nproc)" -I{} bash -c 'render_midi "$1"' render_midi {}
else
  echo "make-devset: no $openmsx (openttd-openmsx) or no python3-mido: the second source is left out" >&2
fi

# A third source, never tuned on ("half" D): the demo songs that come with LMMS and with
# Hydrogen (Debian's lmms and hydrogen), rendered by those programs themselves: their own
# synthesizers, samples and drum kits, composed by their users rather than generated. The
# true tempo is the song's own, for the songs that keep one tempo throughout.
songs=()
for folder in /usr/share/lmms/projects/demos /usr/share/lmms/projects/shorties /usr/share/hydrogen/data/demo_songs; do
  [[ -d $folder ]] && mapfile -t -O "${#songs[@]}" songs < <(find "$folder" -type f \( -name '*.mmp' -o -name '*.mmpz' -o -name '*.h2song' \) | sort)
done
if ((${#songs[@]})) && command -v lmms >/dev/null && command -v h2cli >/dev/null; then
  render_song() {
    local song=$1 name=$2 dir=$DEVSET_DIR work
    [[ -f $dir/$name.mp3 ]] && return 0
    work=$(mktemp -d)
    case $song in
      *.h2song) timeout 900 h2cli -s "$song" -o "$work/$name.wav" >"$work/log" 2>&1 && echo Done >>"$work/log" ;;
      # LMMS refuses to run as root unless told, and needs no display to render.
      *) QT_QPA_PLATFORM=offscreen timeout 900 lmms $( ((EUID == 0)) && echo --allowroot) \
           render "$song" -f wav -o "$work/$name.wav" >"$work/log" 2>&1 ;;
    esac
    # LMMS can crash while it quits after a complete render: its last word counts, not its
    # exit status.
    if grep -q '^Done' "$work/log" && [[ -s $work/$name.wav ]] &&
      lame --quiet -b 128 "$work/$name.wav" "$work/$name.mp3"; then
      mv "$work/$name.wav" "$work/$name.mp3" "$dir/"
    else
      echo "make-devset: could not render $name" >&2
    fi
    rm -rf "$work"
  }
  export -f render_song
  for song in "${songs[@]}"; do
    tempo=$("$here/song-tempo.py" "$song")
    [[ -n $tempo ]] || continue
    case $song in *.h2song) kind=hydrogen ;; *) kind=lmms ;; esac
    base=$(basename "$song"); base=${base%.*}
    name="$kind-${base//[^A-Za-z0-9_-]/}"
    printf '%s\0%s\0' "$song" "$name"
    printf '%s\t%s\t%s\t%s\t%s\n' "$name" "$kind" "$kind" "$tempo" D >>"$manifest.new"
  done | xargs -0 -n 2 -P "$(nproc)" bash -c 'render_song "$1" "$2"' render_song
else
  echo "make-devset: no LMMS or Hydrogen demo songs (lmms, hydrogen): the third source is left out" >&2
fi

# The manifest keeps its date while its content stays the same, so results kept for it
# stay valid.
if cmp -s "$manifest.new" "$manifest"; then rm "$manifest.new"; else mv "$manifest.new" "$manifest"; fi
echo "$out"
