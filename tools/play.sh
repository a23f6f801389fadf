#!/bin/sh
# Installs what is missing, builds the game (not the tests) and the score
# server (build/scoreserver/pibbo-scoreserver), and starts the game.
set -e
cd "$(dirname "$0")/.."
sh tools/deps.sh
sh tools/build.sh pibbo pibbo-scoreserver
exec ./build/run/pibbo
