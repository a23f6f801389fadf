#!/bin/sh
# Kills the game at random moments and checks that its files survive:
# N runs of the headless game in one copy of the run folder, each playing a
# short session (title screen, Tab to save the settings, Escape, a key on
# the closing screen) and killed with SIGKILL after a random delay; after
# each, "Setup.ini" and "nuscores.dat" must be whole and the score file
# must hold every record it held before.
#
#   bench/kill_run.sh [runs] [build-dir]
#
# Prints the counts: runs, torn or missing files, lost records, and
# temporary files left behind (the next start removes those).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
runs=${1:-200}
build=${2:-$here/../build}
cmake --build "$build" --target benchmarks pibbo >/dev/null 2>&1 ||
  { echo "kill_run.sh: cannot build in $build" >&2; exit 1; }
check=$build/bench/file_check
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
cp -r "$build/run" "$work/run"
cat >"$work/script.txt" <<'SCRIPT'
12000 tap 9
12200 tap 9
12400 tap 27
12600 tap 32
SCRIPT

# Three games first, not killed: settings and a score file with records.
# (The title screen comes about 11 s into the run's own clock.)
i=0
while [ $i -lt 3 ]; do
  printf '12000 mouse 295 300\n12100 click 1\n13000 tap 27\n13200 key 40 down\n13300 key 40 up\n13500 key 32 down\n13600 key 32 up\n19000 tap 13\n20000 tap 27\n20500 tap 32\n' >"$work/play.txt"
  (cd "$work" && PIBBO_HEADLESS=1 PIBBO_INPUT_SCRIPT="$work/play.txt" SDL_AUDIODRIVER=dummy ./run/pibbo >/dev/null 2>&1) || true
  i=$((i + 1))
done
before=$("$check" "$work/run" | sed -n 's/.*records=\([0-9]*\).*/\1/p')
echo "records before: $before"

torn=0 lost=0 temps=0 n=0
while [ $n -lt "$runs" ]; do
  (cd "$work" && PIBBO_HEADLESS=1 PIBBO_INPUT_SCRIPT="$work/script.txt" SDL_AUDIODRIVER=dummy exec ./run/pibbo >/dev/null 2>&1) &
  pid=$!
  # 0 to 1.5 s: the whole session takes about a second on a fast machine.
  sleep "$(awk -v s="$n$$" 'BEGIN { srand(s); printf "%.3f", rand() * 1.5 }')"
  kill -9 $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
  result=$("$check" "$work/run")
  case $result in *setup=whole*scores=whole*) ;; *) torn=$((torn + 1)) ;; esac
  records=$(echo "$result" | sed -n 's/.*records=\([0-9]*\).*/\1/p')
  [ "${records:-0}" -lt "$before" ] && lost=$((lost + 1))
  t=$(echo "$result" | sed -n 's/.*temps=\([0-9]*\).*/\1/p')
  [ "${t:-0}" -gt 0 ] && temps=$((temps + 1))
  n=$((n + 1))
done
echo "runs: $runs  torn or missing files: $torn  runs that lost records: $lost  runs that left temporary files: $temps"
