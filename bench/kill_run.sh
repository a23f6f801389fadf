#!/bin/sh
# Kills the game at moments that land inside its saves and checks that its
# files survive: N runs of the headless game in one copy of the run folder,
# each playing a short game (started from the title screen, quit on the
# pause screen, the name taken), pressing Tab twice (the settings panel
# saves "Setup.ini"), leaving the title screen and the closing screen
# (which save "Setup.ini" and "nuscores.dat"), killed with SIGKILL:
#   - one run in three at a random moment of the whole run,
#   - two in three while a save is writing: up to 2 ms after a save has
#     made its temporary file (bench/kill_at_save watches the folders for
#     it): one of the run's saves at random, or its last, the score file.
# After each, "Setup.ini" and "nuscores.dat" must be whole, the score file
# must hold every record it held before, and a run that was not killed
# must have added its game (up to the 50 newest games the Hiscore tab
# keeps of a difficulty).
#
#   bench/kill_run.sh [runs] [build-dir]
#
# Prints the counts: runs, kills, kills inside a save (the kill came
# between a save's temporary file and its rename over the old file: the
# temporary file was left behind; the next start removes it), torn or
# missing files, runs that lost records.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
runs=${1:-200}
build=${2:-$here/../build}
cmake --build "$build" --target benchmarks pibbo >/dev/null 2>&1 ||
  { echo "kill_run.sh: cannot build in $build" >&2; exit 1; }
check=$build/bench/file_check
killer=$build/bench/kill_at_save
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
cp -r "$build/run" "$work/run"
rm -f "$work/run/Files/260/nuscores.dat" "$work/run/Files/Setup.ini"
# (The title screen comes about 11 s into the run's own clock.)
printf '%s\n' '12000 mouse 295 300' '12100 click 1' '13000 tap 27' '13200 key 40 down' \
  '13300 key 40 up' '13500 key 32 down' '13600 key 32 up' '19000 tap 13' '20000 tap 9' \
  '20200 tap 9' '20400 tap 27' '20600 tap 32' >"$work/play.txt"
records() { echo "$1" | sed -n 's/.*records=\([0-9]*\).*/\1/p'; }
game() { (cd "$work" && PIBBO_HEADLESS=1 PIBBO_INPUT_SCRIPT="$work/play.txt" SDL_AUDIODRIVER=dummy \
  XDG_DATA_HOME="$work/data" "$killer" "$1" run/Files run/Files/260 -- ./run/pibbo 2>/dev/null); }
# Random numbers from awk, seeded per run.
pick() { awk -v s="$1$$" -v m="$2" 'BEGIN { srand(s); printf "%d", rand() * m }'; }

# Three games first, not killed: a score file with records, the length of
# a whole run, and the number of saves a run makes.
start=$(date +%s%N)
i=0
while [ $i -lt 3 ]; do
  seen=$(game ms:600000 | sed -n 's/.*temps_seen=\([0-9]*\).*/\1/p')
  i=$((i + 1))
done
span=$(( ($(date +%s%N) - start) / 3000000 ))
prev=$(records "$("$check" "$work/run")")
echo "records before: $prev  one run: ${span} ms  saves a run makes: $seen"

kills=0 inside=0 torn=0 lost=0 n=0
while [ $n -lt "$runs" ]; do
  case $((n % 3)) in
    0) when=ms:$(pick "$n" "$span") ;;
    1) when=save:$(( $(pick "$n" "$seen") + 1 )):$(pick "x$n" 2000) ;;
    *) when=save:$seen:$(pick "x$n" 2000) ;;  # the last one: the score file
  esac
  killed=$(game "$when" | sed -n 's/.*killed=\([0-9]\).*/\1/p')
  result=$("$check" "$work/run")
  case $result in *setup=whole*scores=whole*) ;; *) torn=$((torn + 1)) ;; esac
  now=$(records "$result")
  now=${now:-0}
  # The Hiscore tab keeps a difficulty's 50 newest games (and its best):
  # past 50 records a game may push an old one out.
  least=$prev
  [ "$killed" = 1 ] || least=$((prev + 1))
  [ "$least" -gt 50 ] && least=50
  [ "$now" -lt "$least" ] && lost=$((lost + 1))
  if [ "$killed" = 1 ]; then
    kills=$((kills + 1))
    t=$(echo "$result" | sed -n 's/.*temps=\([0-9]*\).*/\1/p')
    [ "${t:-0}" -gt 0 ] && inside=$((inside + 1))
  fi
  prev=$now
  n=$((n + 1))
done
echo "runs: $runs  kills: $kills  kills inside a save: $inside  torn or missing files: $torn  runs that lost records: $lost  records after: $prev"
