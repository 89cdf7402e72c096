#!/bin/sh
# Installs every Debian package that building, running and testing Torvex needs.
# Safe to run again; uses sudo when not root.
set -e
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
PACKAGES="build-essential cmake ninja-build git pkg-config \
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 libgl-dev \
  libcurl4-openssl-dev libssl-dev ca-certificates \
  lighttpd tinyproxy python3 python3-pyftpdlib python3-openssl openssl curl wget httrack wrk ffmpeg \
  chromium xvfb xauth fonts-dejavu-core \
  dbus-daemon at-spi2-core python3-pyatspi x11-utils \
  clang libclang-rt-14-dev \
  dpkg-dev file desktop-file-utils appstream lintian"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends $missing
fi
