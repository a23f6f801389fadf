#!/bin/sh
# Installs, on Debian, whatever the build, the game and the tests need and
# the machine lacks. Run as root.
set -e
PKGS="cmake g++ make pkg-config libsdl2-dev libopenal-dev libvorbis-dev libogg-dev
libfreetype-dev libpng-dev zlib1g-dev libgtest-dev libgl-dev libgl1-mesa-dri xvfb xauth
fonts-dejavu-core fonts-freefont-ttf fonts-liberation xdotool imagemagick libsqlite3-dev libsodium-dev
libmicrohttpd-dev $EXTRA_PKGS"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
fi
