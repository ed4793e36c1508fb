#!/usr/bin/env bash
# Installs the Debian packages Wavlon needs.
#   install-deps.sh run    building and running (the default): what `make run` needs
#   install-deps.sh test   that, and the tools and servers the tests use: what `make test` needs
#   install-deps.sh windows the cross-compiler and wine: what `make windows` adds
# Idempotent: prints nothing and touches nothing when every package is already there.
set -euo pipefail
set_name=${1:-run}

run_packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config ccache
  # user interface, D-Bus (power-off through logind, media keys), Wayland, Qt's translations
  qt6-base-dev libgl-dev qt6-wayland qt6-translations-l10n
  # playback
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base
  gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly
  # system volume: the client library and pactl, never a server (see below)
  libpulse-dev pulseaudio-utils
  # network, script, regular expressions
  libcurl4-openssl-dev ca-certificates duktape-dev libpcre2-dev
  # the song-search service; lame makes the sample library that `make run` serves
  libmicrohttpd-dev libsqlite3-dev libtag1-dev libopencc-dev libopencc-data lame
  # the test and benchmark libraries the dev build compiles against
  libgtest-dev libgmock-dev libbenchmark-dev
  # the HTTP client of the song service's benchmarks
  libcpp-httplib-dev
  # CJK fonts standing in for the Windows faces (Song/Ming, Kai, sans)
  fonts-arphic-uming fonts-arphic-ukai fonts-wqy-microhei
)
test_packages=(
  # fuzz targets, MP3 decoding, local servers, timing, a generated German locale
  clang libclang-rt-14-dev mpg123 openssl python3 time gstreamer1.0-tools locales fontconfig
  # a headless music player that the benchmarks compare playback costs with, and the music
  # server the song service's first index is measured beside
  audacious audacious-plugins mpd
  # a sound server with a null sink, private session buses, a virtual display
  pulseaudio dbus xvfb xauth x11-apps x11-utils imagemagick xdotool
  # the package and its validators
  dpkg-dev lintian desktop-file-utils appstream
  # the fonts that stand in after the first choices
  fonts-noto-cjk
)
# The Windows build: mingw-w64's posix-thread g++, wine to run its tests, and the sources of
# the libraries it compiles itself (duktape.c from duktape-dev, GoogleTest from libgtest-dev;
# PCRE2's comes from Debian's source archive through apt); NSIS makes the installer, and
# python3 the program's icon file from the icon PNGs. `make windows-screenshot` shows the
# program on a virtual display, answers its notice with xdotool and saves it with ImageMagick.
windows_packages=(
  cmake ninja-build ccache g++-mingw-w64-x86-64-posix wine wine64 duktape-dev libgtest-dev
  libgmock-dev fonts-arphic-uming fonts-arphic-ukai fonts-wqy-microhei locales nsis python3
  xvfb x11-utils xdotool imagemagick
)
# A headless `make run` shows the player on a virtual display and takes a screenshot.
headless_packages=(xvfb xauth x11-apps imagemagick xdotool)

# True when a sound server (PulseAudio, or PipeWire's PulseAudio server) answers. Never starts
# one: autospawn is switched off for the question.
sound_server_answers() {
  command -v pactl >/dev/null || [ -S "${XDG_RUNTIME_DIR:-/nonexistent}/pulse/native" ] || return 1
  command -v pactl >/dev/null || return 0
  local conf
  conf=$(mktemp)
  echo "autospawn = no" >"$conf"
  PULSE_CLIENTCONFIG=$conf timeout 5 pactl info >/dev/null 2>&1
  local answered=$?
  rm -f "$conf"
  return $answered
}

case "$set_name" in
  run)
    packages=("${run_packages[@]}")
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      packages+=("${headless_packages[@]}")
    fi
    # A desktop's own sound server is never replaced: pulseaudio only where none answers.
    sound_server_answers || packages+=(pulseaudio)
    ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  windows) packages=("${windows_packages[@]}") ;;
  *) echo "usage: $0 [run|test|windows]" >&2; exit 2 ;;
esac

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
