#!/bin/sh
# Runs the sprite benchmark of the real back end beside SDL's testsprite2
# (Debian package libsdl2-tests) on a private Xvfb server, with the same
# window size, sprite size (32x32) and sprite counts, and prints both frame
# rates side by side, then the largest sprite count each holds at 60 fps.
#
#   bench/run.sh [build-dir]
#
# Environment: SIZE (window, default 640x480, testsprite2's default),
# COUNTS (default "500 1000 2000 4000 8000"), SECONDS_PER_RUN (testsprite2
# run time, default 10: it spends its first seconds compiling shaders, which
# its own frame rate leaves out), REPEAT (runs per table cell, the best
# counts, default 3: other load on the machine only ever slows a run down),
# SEARCH (0 skips the 60 fps search), FRAME (0 skips the engine-test
# frame), GAME (0 skips the game and title frames), MUSIC (0 skips the
# mixer), BASE (the build folder of another checkout, built with the
# targets draw_bench and game_bench: its sprite and game frames are run in
# the same session, taking turns with this build's, as a "before" column).
# Builds the `benchmarks` target first. Use a Release build for real numbers.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
size=${SIZE:-640x480}
counts=${COUNTS:-"500 1000 2000 4000 8000"}
secs=${SECONDS_PER_RUN:-10}
search=${SEARCH:-1}
repeat=${REPEAT:-3}

cmake --build "$build" --target benchmarks >/dev/null 2>&1 ||
  { echo "run.sh: cannot build the benchmarks in $build" >&2; exit 1; }
bench=$build/bench/draw_bench
[ -x "$bench" ] || { echo "run.sh: $bench not built" >&2; exit 1; }

base=${BASE:-}
if [ -n "$base" ]; then
  [ -x "$base/bench/draw_bench" ] || { echo "run.sh: $base/bench/draw_bench not built" >&2; exit 1; }
fi

sprite2=$(dpkg -L libsdl2-tests 2>/dev/null | grep '/testsprite2$' | head -n 1 || true)
[ -n "$sprite2" ] || sprite2=/usr/libexec/installed-tests/SDL2/testsprite2
[ -x "$sprite2" ] || { echo "run.sh: testsprite2 not found (apt-get install libsdl2-tests)" >&2; exit 1; }
icon=$(dirname "$sprite2")/icon.bmp

# A private X server; -displayfd reports the display number it took.
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
xvfb=$!
read -r dpy <"$fifo"
rm -f "$fifo"
trap 'kill $xvfb 2>/dev/null || true' EXIT INT TERM
export DISPLAY=":$dpy"
w=${size%x*}
h=${size#*x}

# testsprite2 prints its average frame rate when it is asked to quit.
ts_fps() {  # blend count
  (cd "$(dirname "$sprite2")" &&
    timeout -s INT "$secs" "$sprite2" --geometry "$size" --blend "$1" "$2" "$icon" 2>&1) |
    sed -n 's/.* \([0-9.]*\) frames per second.*/\1/p' | tail -n 1
}
db_fps() {  # blend count [draw_bench]
  "${3:-$bench}" --size "$size" --blend "$1" --frames 200 --sprites "$2" |
    sed -n 's/.*: \([0-9.]*\) fps.*/\1/p'
}

# Best of $repeat runs, the programs taking turns.
best_pair() {  # blend tsblend count
  db=0 ts=0 bs=0 i=0
  while [ $i -lt "$repeat" ]; do
    db=$(awk -v a="$db" -v b="$(db_fps "$1" "$3")" 'BEGIN{print (b + 0 > a + 0) ? b : a}')
    ts=$(awk -v a="$ts" -v b="$(ts_fps "$2" "$3")" 'BEGIN{print (b + 0 > a + 0) ? b : a}')
    if [ -n "$base" ]; then
      bs=$(awk -v a="$bs" -v b="$(db_fps "$1" "$3" "$base/bench/draw_bench")" 'BEGIN{print (b + 0 > a + 0) ? b : a}')
    fi
    i=$((i + 1))
  done
  if [ -n "$base" ]; then
    printf '%-8s %8d %14s %15s %7s %14s %9s\n' "" "$3" "$db" "$ts" "$(ratio "$db" "$ts")" "$bs" "$(ratio "$db" "$bs")"
  else
    printf '%-8s %8d %14s %15s %7s\n' "" "$3" "$db" "$ts" "$(ratio "$db" "$ts")"
  fi
}

# draw_bench over testsprite2, "-" when testsprite2 gave no figure.
ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN{ if (b + 0 > 0) printf "%.2fx", a / b; else printf "-" }'
}

echo "Window ${w}x${h}, 32x32 sprites, no vertical sync, Xvfb; best of $repeat runs"
for blend in alpha add; do
  tsblend=blend
  [ "$blend" = add ] && tsblend=add
  if [ -n "$base" ]; then
    printf '\n%-8s %8s %14s %15s %7s %14s %9s\n' "$blend" sprites "draw_bench fps" "testsprite2 fps" ratio \
      "BASE fps" "over BASE"
  else
    printf '\n%-8s %8s %14s %15s %7s\n' "$blend" sprites "draw_bench fps" "testsprite2 fps" ratio
  fi
  for n in $counts; do
    best_pair "$blend" "$tsblend" "$n"
  done
done

# The game's own frame: the engine test's busy screen ended by fps, at
# several loads, and the budgets the engine test settles on (FRAME=0 skips).
if [ "${FRAME:-1}" != 0 ] && [ -x "$build/bench/frame_bench" ]; then
  echo
  "$build/bench/frame_bench"
fi

# A game frame (PlayFrame) at several loads beside the title frame, at the
# default window and at the virtual screen's own size (GAME=0 skips).
if [ "${GAME:-1}" != 0 ] && [ -x "$build/bench/game_bench" ]; then
  for s in 800x600 1280x960; do
    echo
    "$build/bench/game_bench" --size "$s"
    if [ -n "$base" ] && [ -x "$base/bench/game_bench" ]; then
      echo
      echo "BASE ($base):"
      "$base/bench/game_bench" --size "$s"
    fi
  done
fi

# The mixer with a generated song on its five voices and twenty effects
# (MUSIC=0 skips).
if [ "${MUSIC:-1}" != 0 ] && [ -x "$build/bench/music_bench" ]; then
  echo
  "$build/bench/music_bench"
fi

[ "$search" = 0 ] && exit 0

# Largest count that holds 60 fps: doubling, then halving the gap.
ts_budget() {  # blend
  good=0 bad=0 n=250
  while [ "$bad" = 0 ]; do
    f=$(ts_fps "$1" "$n")
    if awk "BEGIN{exit !(${f:-0} >= 60)}"; then good=$n n=$((n * 2)); else bad=$n; fi
    [ "$n" -gt 1000000 ] && break
  done
  while [ $((bad - good)) -gt $((good / 20 > 50 ? good / 20 : 50)) ]; do
    n=$(((good + bad) / 2))
    f=$(ts_fps "$1" "$n")
    if awk "BEGIN{exit !(${f:-0} >= 60)}"; then good=$n; else bad=$n; fi
  done
  echo "$good"
}

printf '\n%-8s %22s %22s %7s\n' "" "draw_bench at 60 fps" "testsprite2 at 60 fps" ratio
for blend in alpha add; do
  tsblend=blend
  [ "$blend" = add ] && tsblend=add
  db=$("$bench" --size "$size" --blend "$blend" | sed -n 's/.*: \([0-9]*\) sprites per frame.*/\1/p')
  ts=$(ts_budget "$tsblend")
  printf '%-8s %22s %22s %7s\n' "$blend" "$db" "$ts" "$(ratio "$db" "$ts")"
done

# The game's own frame loop (sleep until 15 ms have passed, then present):
# the load its engine test would accept.
printf '\n%-8s %22s\n' "" "draw_bench paced loop"
for blend in alpha add; do
  db=$("$bench" --size "$size" --blend "$blend" --paced | sed -n 's/.*: \([0-9]*\) sprites per frame.*/\1/p')
  printf '%-8s %22s\n' "$blend" "$db"
done

