#!/bin/sh
# Installs what is missing, builds, and starts the game.
set -e
cd "$(dirname "$0")/.."
sh tools/deps.sh
sh tools/build.sh
exec ./build/run/pibbo
