#!/bin/sh
# Configures and builds into build/ (the game lands in build/run/).
# SANITIZE=1 builds with AddressSanitizer and UndefinedBehaviorSanitizer
# into build-asan/ instead.
set -e
cd "$(dirname "$0")/.."
if [ "${SANITIZE:-0}" = 1 ]; then
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" -DPIBBO_SANITIZE=ON >/dev/null
  cmake --build build-asan -j "$(nproc)"
else
  cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" >/dev/null
  cmake --build build -j "$(nproc)"
fi
