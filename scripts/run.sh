#!/usr/bin/env bash
# Starts the player. When nothing answers at the song-search address the player was built
# for, starts wavlon-songd there first (over the user's music, or over the sample library when
# there is none) and stops it again when the player ends. Without a display it starts a
# virtual one (Xvfb), saves a screenshot of the window a few seconds after start-up and says
# where it is.
set -u
exe=$(realpath "$1")
bin_dir=$(dirname "$exe")
build_dir=$(dirname "$bin_dir")
service_pid=""

cleanup() {
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  # Stops the sound server only if this run started it.
  [ -n "${pulse_dir:-}" ] && "$(dirname "$0")/pulse-fixture.sh" stop "$pulse_dir" >/dev/null
}
trap cleanup EXIT

# The stored music folder of a config.ini (GB18030 text), as a UTF-8 path.
stored_folder() {
  [ -r "$1" ] || return 0
  iconv -f GB18030 -t UTF-8 "$1" 2>/dev/null | tr -d '\r' |
    awk '/^\[/ { section = tolower($0) } section == "[config]" && /^路径=/ { sub(/^路径=/, ""); print; exit }'
}

has_music() {
  [ -d "$1" ] && [ -n "$(find -L "$1" -maxdepth 8 -type f \( -iname '*.mp3' -o -iname '*.ogg' \
    -o -iname '*.oga' -o -iname '*.opus' -o -iname '*.flac' -o -iname '*.wav' \) -print -quit \
    2>/dev/null)" ]
}

start_song_service() {
  local url host port songd="$bin_dir/wavlon-songd"
  url=$(sed -n 's/^WAVLON_SEARCH_SERVICE_URL:[A-Z]*=//p' "$build_dir/CMakeCache.txt" 2>/dev/null)
  url=${url:-http://127.0.0.1:8765/}
  host=$(printf '%s' "$url" | sed -E 's#^[a-z]+://(\[[^]]*\]|[^/:]*).*#\1#')
  port=$(printf '%s' "$url" | sed -nE 's#^[a-z]+://(\[[^]]*\]|[^/:]*):([0-9]+).*#\2#p')
  [ -n "$port" ] || port=80
  if (exec 3<>"/dev/tcp/${host//[\[\]]/}/$port") 2>/dev/null; then
    echo "A song-search service already answers at $url."
    return
  fi
  case "$host" in
    127.0.0.1 | localhost | "[::1]") ;;
    *) echo "Nothing answers at $url, the song search this player was built for."; return ;;
  esac
  [ -x "$songd" ] || return

  local folders=() folder music_dir args=() db=()
  for config in "$bin_dir/config.ini" "${XDG_CONFIG_HOME:-$HOME/.config}/wavlon/config.ini"; do
    folder=$(stored_folder "$config")
    [ -n "$folder" ] && has_music "$folder" && folders+=("$folder")
  done
  music_dir=$(xdg-user-dir MUSIC 2>/dev/null || true)
  [ -n "$music_dir" ] && [ "$music_dir" != "$HOME" ] || music_dir="$HOME/Music"
  has_music "$music_dir" && folders+=("$music_dir")
  if [ ${#folders[@]} -eq 0 ]; then
    folders=("$build_dir/sample-music")
    db=(--db "$build_dir/songd/sample.db")
  fi
  for folder in "${folders[@]}"; do args+=(--music "$folder"); done
  "$songd" --listen "$host:$port" "${args[@]}" "${db[@]}" 2>"$build_dir/songd.log" &
  service_pid=$!
  for _ in $(seq 1 50); do
    (exec 3<>"/dev/tcp/${host//[\[\]]/}/$port") 2>/dev/null && break
    kill -0 "$service_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$service_pid" 2>/dev/null; then
    local over="${folders[*]}"
    [ "${folders[0]}" = "$build_dir/sample-music" ] && over="the sample library ($over)"
    echo "Started wavlon-songd at $url over $over; it stops with the player (log: $build_dir/songd.log)."
  else
    echo "wavlon-songd could not start; see $build_dir/songd.log."
    service_pid=""
  fi
}

start_song_service

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$exe"
  exit $?
fi

echo "No display found: starting Wavlon on a virtual display (Xvfb)."
# Without a sound server the volume slider has nothing to show: start a private one with a
# null sink, only when none answers (a desktop's own server, PipeWire's included, is used).
pulse_dir=$build_dir/run-pulse  # not the tests' server folder
no_autospawn=$(mktemp)
echo "autospawn = no" >"$no_autospawn"
if ! PULSE_CLIENTCONFIG=$no_autospawn pactl info >/dev/null 2>&1 && command -v pulseaudio >/dev/null
then
  "$(dirname "$0")/pulse-fixture.sh" start "$pulse_dir" >/dev/null &&
    export PULSE_SERVER="unix:$(realpath "$pulse_dir")/native"
fi
rm -f "$no_autospawn"
shot_dir=$bin_dir/screenshots
mkdir -p "$shot_dir"
shot="$shot_dir/wavlon-$(date +%Y%m%d-%H%M%S).png"
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
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
      xdotool keyup Return 2>/dev/null
      sleep 2
    fi
    xwd -root -silent | convert xwd:- "$shot" 2>/dev/null &&
      echo "Screenshot of the running player: $shot"
  fi ) &
wait $app
code=$?
echo "Wavlon ended with exit code $code."
exit $code
