#!/usr/bin/env bash
# A screenshot of the Windows program for the README: the build's wavlon.exe under wine on a
# virtual X display (Xvfb), in wine's virtual desktop, with a music folder of a few MP3 files.
# It runs in a private copy of the build's wine prefix, switched from the null display driver
# to X11, so that the tests' prefix is left as it is. The offline notice (no server answers
# here) is answered with Enter, and the desktop is saved as a PNG, in 256 colours when the
# full colours take more than 200 KB.
#   windows-screenshot.sh <build folder> <out.png>
set -euo pipefail
build=$(realpath "$1")
out=$(realpath -m "$2")
here=$(dirname "$(realpath "$0")")
exe=$build/src/wavlon.exe
[ -f "$exe" ] || { echo "no $exe: run make windows first" >&2; exit 1; }
width=1280 height=740

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# shellcheck source=scripts/wine-locale.sh
. "$here/wine-locale.sh" "$build"
"$here/wine-prefix.sh" "$build/wineprefix"
work=$(mktemp -d)
export WINEPREFIX=$work/prefix
xvfb="" desktop=""
cleanup() {
  # The wine processes of the private prefix only, then the display.
  [ ! -d "$WINEPREFIX" ] || timeout 60 wineserver -k 2>/dev/null || true
  [ -z "$desktop" ] || wait "$desktop" 2>/dev/null || true
  [ -z "$xvfb" ] || { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; } || true
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP

cp -a "$build/wineprefix" "$WINEPREFIX"
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d x11 /f >/dev/null
# The program in a folder of its own, beside a config.ini (GB18030) naming the music folder.
# The tracks are the test files (tests/support/make_mp3_fixtures.py), under titles.
program_dir=$WINEPREFIX/drive_c/Wavlon
mkdir -p "$program_dir" "$WINEPREFIX/drive_c/Music"
cp "$exe" "$program_dir/wavlon.exe"
printf '[config]\r\n路径=C:\\Music\r\n' | iconv -f UTF-8 -t GB18030 >"$program_dir/config.ini"
python3 "$here/../tests/support/make_mp3_fixtures.py" "$build/mp3-fixtures"
for track in cbr:春江花月夜 vbr:茉莉花 mono:高山流水 short:梁祝 falling:平湖秋月 long:二泉映月; do
  cp "$build/mp3-fixtures/${track%%:*}.mp3" "$WINEPREFIX/drive_c/Music/${track#*:}.mp3"
done

# The first free display from :91 on.
number=91
while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do
  number=$((number + 1))
done
export DISPLAY=:$number
unset WAYLAND_DISPLAY
Xvfb "$DISPLAY" -screen 0 1300x760x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
# Waits up to half a minute for a window named so; prints its id.
window_named() {
  local id
  for _ in $(seq 60); do
    id=$(xdotool search --name "$1" 2>/dev/null | head -1) || true
    [ -z "$id" ] || { echo "$id"; return 0; }
    sleep 0.5
  done
  return 1
}
for _ in $(seq 50); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
kill -0 "$xvfb" 2>/dev/null || { echo "Xvfb could not start on $DISPLAY" >&2; exit 1; }

wine explorer "/desktop=Wavlon,${width}x$height" 'C:\Wavlon\wavlon.exe' >/dev/null 2>&1 &
desktop=$!
if notice=$(window_named '^信息'); then
  xdotool windowfocus --sync "$notice" 2>/dev/null || true
  xdotool key Return
  xdotool keyup Return
else
  echo "no offline notice came; taking the screenshot as it is" >&2
fi
window_named '^Wavlon$' >/dev/null || echo "no main window came" >&2
sleep 3
# The virtual desktop's place on the screen.
eval "$(xdotool getwindowgeometry --shell "$(window_named 'Wine desktop')")"
mkdir -p "$(dirname "$out")"
import -window root -crop "${width}x$height+$X+$Y" +repage "$out"
[ "$(stat -c %s "$out")" -le $((200 * 1024)) ] || convert "$out" -colors 256 "PNG8:$out"
echo "Screenshot: $out ($(du -k "$out" | cut -f1) KB)"
