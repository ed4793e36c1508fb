#!/usr/bin/env bash
# Starts the player. Without a display it starts a virtual one (Xvfb), saves a screenshot of
# the window a few seconds after start-up and says where it is.
set -u
exe=$(realpath "$1")
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$exe"
fi

echo "No display found: starting Wavlon on a virtual display (Xvfb)."
# Without a sound server the volume slider has nothing to show: start a private one with a
# null sink, only when none answers (a desktop's own server, PipeWire's included, is used).
pulse_dir=$(dirname "$exe")/../pulse
no_autospawn=$(mktemp)
echo "autospawn = no" >"$no_autospawn"
if ! PULSE_CLIENTCONFIG=$no_autospawn pactl info >/dev/null 2>&1 && command -v pulseaudio >/dev/null
then
  "$(dirname "$0")/pulse-fixture.sh" start "$pulse_dir" >/dev/null &&
    export PULSE_SERVER="unix:$(realpath "$pulse_dir")/native"
fi
rm -f "$no_autospawn"
shot_dir=$(dirname "$exe")/screenshots
mkdir -p "$shot_dir"
shot="$shot_dir/wavlon-$(date +%Y%m%d-%H%M%S).png"
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; "$(dirname "$0")/pulse-fixture.sh" stop "$pulse_dir" >/dev/null' EXIT
for _ in $(seq 1 50); do
  DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done
export DISPLAY=$display
"$exe" &
app=$!
( sleep 4
  if kill -0 $app 2>/dev/null; then
    # Nobody can read the offline notice on a virtual display: say so and answer it, so the
    # screenshot shows the main window.
    notice=$(xdotool search --name '^信息：$' 2>/dev/null | head -1)
    if [ -n "$notice" ]; then
      echo "The start-up network check found no internet; answering its notice with OK."
      xdotool key --window "$notice" Return 2>/dev/null
      sleep 2
    fi
    xwd -root -silent | convert xwd:- "$shot" 2>/dev/null &&
      echo "Screenshot of the running player: $shot"
  fi ) &
wait $app
code=$?
echo "Wavlon ended with exit code $code."
exit $code
