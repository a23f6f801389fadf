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
# Two series of N runs each:
#   - rename: the saves write a temporary file beside each file and rename
#     it over the file;
#   - in place: the game runs as the user "nobody" (the script runs as
#     root), "Files/" and "Files/260/" are read-only for it and the two
#     files writable, so every save first keeps its content whole in the
#     data folder, then rewrites the file in place and removes the copy.
#     The temporary files watched are those of the copies, and one run in
#     three is killed within 0.3 ms after a copy has been renamed into
#     place, when the rewrite of the file itself begins.
#   - two copies: two copies of the game run at once on one run folder
#     (saves by rename), each killed at a random moment of a run, or, one
#     in three, not killed: every game of a copy that was not killed must
#     be in the score file afterwards (the two copies' saves merge), and
#     so must every record read before (up to the 50 newest).
#   - held: two copies on one run folder, one of them stopped (SIGSTOP)
#     inside one of its saves, its locks held: the save of the score file
#     in every other pair, a save at random in the rest. While it stands
#     the other copy plays a whole run (its saves wait out the lock and
#     keep what they cannot write), then the stopped one goes on. Both
#     games must be kept, and every record read before.
# After each run, "Setup.ini" and "nuscores.dat" must be whole as the next
# start reads them (a file a kill tore in the middle of a rewrite in place
# counts as recovered when its whole copy is read back instead), the next
# start must read every record read before, and a run that was not killed
# must have added its game (up to the 50 newest games the Hiscore tab
# keeps of a difficulty).
#
#   bench/kill_run.sh [runs] [build-dir]
#
# SERIES=rename, SERIES=two, SERIES=held or SERIES=inplace runs that
# series alone.
#
# Prints per series the counts: runs, kills, kills inside a save (a
# temporary file was left behind; the next start removes it), kills inside
# a rewrite in place (its copy or the copy's temporary file was left),
# files torn in place and read back from their copy, torn or missing
# files, runs that lost records; for "held", the stops that landed inside
# a save (its temporary file not yet in place) and the pairs that lost a
# game.
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
chmod 755 "$work"
# (The title screen comes about 11 s into the run's own clock.)
printf '%s\n' '12000 mouse 295 300' '12100 click 1' '13000 tap 27' '13200 key 40 down' \
  '13300 key 40 up' '13500 key 32 down' '13600 key 32 up' '19000 tap 13' '20000 tap 9' \
  '20200 tap 9' '20400 tap 27' '20600 tap 32' >"$work/play.txt"
records() { echo "$1" | sed -n 's/.*records=\([0-9]*\).*/\1/p'; }
field() { echo "$2" | sed -n "s/.*$1=\([0-9]*\).*/\1/p"; }
# Microseconds after a temporary file appears within which a kill lands.
window=2000
# Random numbers from awk, seeded per run (the seed is a number: digits
# only).
pick() { awk -v s="$1$$" -v m="$2" 'BEGIN { srand(s); printf "%d", rand() * m }'; }

# series NAME: runs the game in $work/NAME; $as is the command prefix that
# runs it (empty, or as nobody), $watch the folders watched for saves.
series() {
  name=$1
  game() { (cd "$work/$name" && PIBBO_HEADLESS=1 PIBBO_INPUT_SCRIPT="$work/play.txt" SDL_AUDIODRIVER=dummy \
    XDG_DATA_HOME="$work/$name/data" "$killer" "$1" $watch -- $as ./run/pibbo 2>/dev/null); }
  check_run() { XDG_DATA_HOME="$work/$name/data" "$check" "$work/$name/run"; }

  # Three games first, not killed: a score file with records, the length
  # of a whole run, and the number of saves a run makes.
  start=$(date +%s%N)
  i=0
  while [ $i -lt 3 ]; do
    seen=$(game ms:600000 | sed -n 's/.*temps_seen=\([0-9]*\).*/\1/p')
    i=$((i + 1))
  done
  span=$(( ($(date +%s%N) - start) / 3000000 ))
  prev=$(records "$(check_run)")
  echo "$name: records before: $prev  one run: ${span} ms  saves a run makes: $seen"

  kills=0 inside=0 inplace=0 recovered=0 torn=0 lost=0 n=0
  while [ $n -lt "$runs" ]; do
    case $((n % 3)) in
      0) when=ms:$(pick "$n" "$span") ;;
      1) when=save:$(( $(pick "$n" "$seen") + 1 )):$(pick "9$n" "$window") ;;
      *)
        if [ "$name" = inplace ]; then
          # Just after a copy is whole: inside the rewrite of the file itself.
          when=moved:$(( $(pick "$n" "$seen") + 1 )):$(pick "9$n" 300)
        else
          when=save:$seen:$(pick "9$n" "$window")  # the last one: the score file
        fi ;;
    esac
    touch "$work/$name/mark"
    killed=$(game "$when" | sed -n 's/.*killed=\([0-9]\).*/\1/p')
    # A copy of a rewrite in place (or the copy's temporary file) written
    # in this run and left: the kill came inside the rewrite.
    fresh=$(find "$work/$name/data" -type f -newer "$work/$name/mark" 2>/dev/null | wc -l)
    result=$(check_run)
    case $result in
      *setup=torn* | *setup=missing* | *scores=torn* | *scores=missing*) torn=$((torn + 1)) ;;
    esac
    case $result in *=recovered*) recovered=$((recovered + 1)) ;; esac
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
      [ "$(field temps "$result")" -gt 0 ] && inside=$((inside + 1))
      [ "$fresh" -gt 0 ] && inplace=$((inplace + 1))
    fi
    prev=$now
    n=$((n + 1))
  done
  echo "$name: runs: $runs  kills: $kills  kills inside a save: $inside  kills inside a rewrite in place: $inplace" \
    " torn in place and read back from the copy: $recovered  torn or missing files: $torn" \
    " runs that lost records: $lost  records after: $prev"
}

# A run folder of its own for the series NAME of two copies at once,
# with the folders watched for saves: its game and check_run.
pair_folder() {
  name=$1 watch=$2
  mkdir "$work/$name"
  cp -r "$build/run" "$work/$name/run"
  rm -f "$work/$name/run/Files/260/nuscores.dat" "$work/$name/run/Files/Setup.ini"
  game() { (cd "$work/$name" && PIBBO_HEADLESS=1 PIBBO_INPUT_SCRIPT="$work/play.txt" SDL_AUDIODRIVER=dummy \
    XDG_DATA_HOME="$work/$name/data" "$killer" "$1" $watch -- ./run/pibbo 2>/dev/null); }
  check_run() { XDG_DATA_HOME="$work/$name/data" "$check" "$work/$name/run" "${1:-0}"; }
  torn=0 lost=0 short=0 kept=0 n=0
}

# t0: a stamp later than every record so far; the games of the next pair
# are those stamped from it on.
fresh_stamp() {
  result=$(check_run)
  while [ "$(field now "$result")" -le "$(field newest "$result")" ]; do
    sleep 0.2
    result=$(check_run)
  done
  t0=$(field now "$result")
}

# Counts what a pair left: torn files, fewer than $1 games since t0 (a
# pair that lost a game), fewer records than before (up to the 50 newest).
tally_pair() {
  result=$(check_run "$t0")
  case $result in
    *setup=torn* | *setup=missing* | *scores=torn* | *scores=missing*) torn=$((torn + 1)) ;;
  esac
  now=$(records "$result")
  now=${now:-0}
  since=$(field since "$result")
  kept=$((kept + since))
  [ "$since" -lt "$1" ] && short=$((short + 1))
  least=$prev
  [ "$least" -gt 50 ] && least=50
  [ "$now" -lt "$least" ] && lost=$((lost + 1))
  prev=$now
  n=$((n + 1))
}

# Two copies on one folder, each killed at random (or not).
two_copies() {
  pair_folder two "run/Files"
  start=$(date +%s%N)
  game ms:600000 >/dev/null
  span=$(( ($(date +%s%N) - start) / 1000000 ))
  prev=$(records "$(check_run)")
  echo "$name: records before: $prev  one run: ${span} ms"
  kills=0
  while [ $n -lt "$runs" ]; do
    fresh_stamp
    for copy in 1 2; do
      case $(pick "$copy$n" 3) in
        0) eval "when_$copy=ms:600000" ;;
        *) eval "when_$copy=ms:$(pick "$((copy + 2))$n" $((span * 3 / 2)))" ;;
      esac
    done
    game "$when_1" >"$work/1.out" &
    game "$when_2" >"$work/2.out" &
    wait
    whole=0
    for copy in 1 2; do
      if grep -q killed=1 "$work/$copy.out"; then kills=$((kills + 1)); else whole=$((whole + 1)); fi
    done
    tally_pair $whole
  done
  echo "$name: pairs: $runs  copies killed: $kills  torn or missing files: $torn" \
    " pairs that lost a game of a copy not killed: $short  pairs that lost older records: $lost" \
    " games kept: $kept  records after: $prev"
}

# One copy stopped inside a save while the other plays a whole run.
held_copies() {
  pair_folder held "run/Files run/Files/260"
  seen=$(game ms:600000 | sed -n 's/.*temps_seen=\([0-9]*\).*/\1/p')
  prev=$(records "$(check_run)")
  echo "$name: records before: $prev  saves a run makes: $seen"
  inside=0
  while [ $n -lt "$runs" ]; do
    fresh_stamp
    case $((n % 2)) in
      0) k=$seen ;;  # the last save: the score file
      *) k=$(( $(pick "$n" "$seen") + 1 )) ;;
    esac
    rm -f "$work/go" "$work/go.stopped"
    game "stop:$k:$work/go" >"$work/1.out" &
    held=$!
    # The other copy plays once the first stands inside its save.
    i=0
    while [ ! -e "$work/go.stopped" ] && [ $i -lt 6000 ]; do sleep 0.1; i=$((i + 1)); done
    game ms:600000 >/dev/null
    touch "$work/go"
    wait $held
    grep -q inside=1 "$work/1.out" && inside=$((inside + 1))
    tally_pair 2
  done
  echo "$name: pairs: $runs  stops inside a save: $inside  torn or missing files: $torn" \
    " pairs that lost a game: $short  pairs that lost older records: $lost  games kept: $kept  records after: $prev"
}

# SERIES=rename, two, held or inplace runs that series alone.
series_wanted() { [ "${SERIES:-all}" = all ] || [ "${SERIES:-all}" = "$1" ]; }
if series_wanted two && [ "${SERIES:-all}" = two ]; then two_copies; exit 0; fi
if [ "${SERIES:-all}" = held ]; then held_copies; exit 0; fi

# Saves by rename.
if series_wanted rename; then
mkdir "$work/rename"
cp -r "$build/run" "$work/rename/run"
rm -f "$work/rename/run/Files/260/nuscores.dat" "$work/rename/run/Files/Setup.ini"
as="" watch="run/Files run/Files/260"
series rename
fi
series_wanted two && two_copies
series_wanted held && held_copies
series_wanted inplace || exit 0

# Saves in place: one run as root makes the files, then they are handed to
# nobody in folders that stay root's. The data folder's copies are watched
# (their folders made by one save in place first).
if [ "$(id -u)" != 0 ] || ! id nobody >/dev/null 2>&1 || ! command -v setpriv >/dev/null; then
  echo "in place: skipped (needs root, the user nobody and setpriv)"
  exit 0
fi
mkdir "$work/inplace"
cp -r "$build/run" "$work/inplace/run"
rm -f "$work/inplace/run/Files/260/nuscores.dat" "$work/inplace/run/Files/Setup.ini"
as="" watch="run/Files"
series_setup() { (cd "$work/inplace" && PIBBO_HEADLESS=1 PIBBO_INPUT_SCRIPT="$work/play.txt" SDL_AUDIODRIVER=dummy \
  XDG_DATA_HOME="$work/inplace/data" "$killer" ms:600000 run/Files -- $as ./run/pibbo >/dev/null 2>&1); }
series_setup
chmod -R a+rX "$work/inplace/run"
chmod 666 "$work/inplace/run/Files/Setup.ini" "$work/inplace/run/Files/260/nuscores.dat" \
  "$work/inplace/run/Files/Debug.txt"
chmod 755 "$work/inplace/run/Files" "$work/inplace/run/Files/260"
mkdir -p "$work/inplace/data"
chown nobody "$work/inplace/data"
as="setpriv --reuid=nobody --regid=nogroup --clear-groups"
series_setup
watch=$(find "$work/inplace/data/pibbo-zorravel" -mindepth 1 -maxdepth 1 -type d | tr '\n' ' ')
[ -n "$watch" ] || { echo "kill_run.sh: no save in place was made" >&2; exit 1; }
series inplace
