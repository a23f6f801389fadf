#!/bin/sh
# Installs what is missing, builds, and runs every test. The window tests
# run on a virtual X display (Xvfb with Mesa's software OpenGL).
# SANITIZE=1 builds and tests the sanitizer build in build-asan/: its
# tests get the leak suppressions of tools/lsan.supp and longer time limits.
set -e
cd "$(dirname "$0")/.."
dir=build
[ "${SANITIZE:-0}" = 1 ] && dir=build-asan
sh tools/deps.sh
sh tools/build.sh
# A second build with nothing changed must do nothing.
if cmake --build "$dir" 2>&1 | grep -E "Building|Linking|Generating|Embedding"; then
  echo "test.sh: a build with nothing changed did the work above" >&2
  exit 1
fi
# The tests set their own audio drivers (tests/CMakeLists.txt). -noreset:
# an X server that resets whenever its last client leaves refuses the
# connections that come meanwhile.
export LIBGL_ALWAYS_SOFTWARE=1
xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" \
  ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 300
