#!/usr/bin/env bash
# Installs the Debian packages Wavlon needs to build, run and test.
# Idempotent: prints nothing and touches nothing when every package is already there.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config ccache clang libclang-rt-14-dev
  # user interface and D-Bus (power-off through logind)
  qt6-base-dev libgl-dev dbus
  # playback
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base
  gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-pulseaudio
  gstreamer1.0-tools
  # system volume
  libpulse-dev pulseaudio pulseaudio-utils
  # network, script, regular expressions
  libcurl4-openssl-dev ca-certificates duktape-dev libpcre2-dev
  # the song-search service
  libcpp-httplib-dev libsqlite3-dev libtag1-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev lame mpg123 openssl python3 time locales
  xvfb xauth x11-apps imagemagick xdotool
  # CJK fonts standing in for the Windows faces (Song/Ming, Kai, sans)
  fonts-arphic-uming fonts-arphic-ukai fonts-wqy-microhei
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
