#!/bin/sh
# Installs, on Debian, whatever the build, the game and the tests need and
# the machine lacks. Run as root. Says what it installs; the package tools'
# own output goes to build/deps.log and is shown only when they fail.
set -e
cd "$(dirname "$0")/.."
PKGS="cmake g++ make pkg-config libsdl2-dev libopenal-dev libvorbis-dev libogg-dev
libfreetype-dev libpng-dev zlib1g-dev libgtest-dev libgl-dev libgl1-mesa-dri xvfb xauth
fonts-dejavu-core fonts-liberation fonts-roboto-unhinted xdotool imagemagick libsqlite3-dev libsodium-dev
libmicrohttpd-dev libx11-dev $EXTRA_PKGS"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -n "$missing" ] || exit 0
mkdir -p build
log=build/deps.log
echo "Installing:$missing"
if ! { apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "deps.sh: installing the packages failed (the output above is kept in $log)" >&2
  exit 1
fi
echo "Installed (the package tools' output is in $log)."
