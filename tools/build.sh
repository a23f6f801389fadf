#!/bin/sh
# Configures and builds into build/ (the game lands in build/run/).
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" >/dev/null
cmake --build build -j "$(nproc)"
