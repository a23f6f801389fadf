#!/bin/sh
# Configures and builds into build/ (the game lands in build/run/): the
# targets named (`sh tools/build.sh pibbo` builds the game and its files
# only), or everything. SANITIZE=1 builds with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ instead.
set -e
cd "$(dirname "$0")/.."
if [ "${SANITIZE:-0}" = 1 ]; then
  dir=build-asan
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" -DPIBBO_SANITIZE=ON >/dev/null
else
  dir=build
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" >/dev/null
fi
if [ $# -gt 0 ]; then
  cmake --build "$dir" -j "$(nproc)" --target "$@"
else
  cmake --build "$dir" -j "$(nproc)"
fi
