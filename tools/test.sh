#!/bin/sh
# Installs what is missing, builds, and runs every test. The window tests
# run on a virtual X display (Xvfb with Mesa's software OpenGL).
set -e
cd "$(dirname "$0")/.."
sh tools/deps.sh
sh tools/build.sh
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export LIBGL_ALWAYS_SOFTWARE=1
xvfb-run -a -s "-screen 0 1600x1200x24" \
  ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 300
