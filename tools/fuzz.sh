#!/bin/sh
# Builds the fuzz harnesses of fuzz/ with clang into build-fuzz/ and runs
# each for SECONDS (default 60) from its seed corpus in fuzz/corpus/NAME/;
# then prints per harness its executions, corpus size and crashes.
# New corpus entries go to build-fuzz/corpus/NAME/, crash inputs to
# build-fuzz/crashes/NAME/. Needs clang and libFuzzer:
#   EXTRA_PKGS="clang libclang-rt-14-dev" sh tools/deps.sh
# JOBS=4 runs that many harnesses at once (default 1).
set -e
cd "$(dirname "$0")/.."
SECONDS_EACH="${1:-60}"
JOBS="${JOBS:-1}"
EXTRA_PKGS="$EXTRA_PKGS clang libclang-rt-14-dev" sh tools/deps.sh
launcher=""
command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIBBO_FUZZ=ON -DBUILD_TESTING=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ $launcher >/dev/null
cmake --build build-fuzz --target fuzzers -j "$(nproc)"

# The harnesses write their inputs into a scratch folder: in memory when
# the system has one.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
out=build-fuzz/out
rm -rf "$out"
mkdir -p "$out"
names=""
for f in build-fuzz/fuzz/*_fuzz; do
  [ -x "$f" ] || continue
  names="$names $(basename "$f" _fuzz)"
done

run_one() {
  name=$1
  rm -rf "build-fuzz/crashes/$name"
  mkdir -p "build-fuzz/corpus/$name" "build-fuzz/crashes/$name"
  seeds=""
  [ -d "fuzz/corpus/$name" ] && seeds="fuzz/corpus/$name"
  # A crash ends that harness's run early; its input is kept.
  "build-fuzz/fuzz/${name}_fuzz" -max_total_time="$SECONDS_EACH" -print_final_stats=1 \
    -artifact_prefix="build-fuzz/crashes/$name/" -max_len=65536 -timeout=10 -rss_limit_mb=4096 \
    "build-fuzz/corpus/$name" $seeds >"$out/$name.log" 2>&1 || true
}

running=0
for name in $names; do
  run_one "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$JOBS" ]; then
    wait
    running=0
  fi
done
wait

printf '%-12s %12s %10s %8s %8s %8s\n' harness executions exec/s corpus coverage crashes
status=0
for name in $names; do
  log="$out/$name.log"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  # From libFuzzer's last status line: "cov: N ft: N corp: N/size ...".
  corpus=$(grep -o 'corp: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  crashes=$(ls "build-fuzz/crashes/$name" | wc -l)
  printf '%-12s %12s %10s %8s %8s %8s\n' "$name" "${execs:-?}" "${speed:-?}" "${corpus:-?}" "${cov:-?}" "$crashes"
  [ "$crashes" -eq 0 ] || status=1
done
[ "$status" -eq 0 ] || echo "fuzz.sh: crash inputs are in build-fuzz/crashes/ (logs in $out/)" >&2
exit $status
