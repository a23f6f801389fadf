#!/bin/sh
# Installs what is missing, builds the game (not the tests), and starts it.
set -e
cd "$(dirname "$0")/.."
sh tools/deps.sh
sh tools/build.sh pibbo
exec ./build/run/pibbo
