#!/bin/sh
# Configures and builds into build/ (the game lands in build/run/): the
# targets named (`sh tools/build.sh pibbo` builds the game and its files
# only), or everything.
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" >/dev/null
if [ $# -gt 0 ]; then
  cmake --build build -j "$(nproc)" --target "$@"
else
  cmake --build build -j "$(nproc)"
fi
