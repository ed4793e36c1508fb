#!/usr/bin/env bash
# Test fixture: a PulseAudio server with a null sink at <dir>/native.
#   pulse-fixture.sh start <dir>   start one unless a server already answers there
#   pulse-fixture.sh stop <dir>    stop it, only if `start` started it
set -u
action=$1
dir=$2
export PULSE_SERVER="unix:$dir/native"

case "$action" in
start)
  mkdir -p "$dir"
  if pactl info >/dev/null 2>&1; then
    echo "PulseAudio already answers at $dir/native; using it"
    exit 0
  fi
  rm -f "$dir/native" "$dir/started.pid"
  # A private home and runtime folder keep the server away from any user session.
  mkdir -p "$dir/home" "$dir/runtime"
  chmod 700 "$dir/runtime"
  HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" XDG_CONFIG_HOME="$dir/home" \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --system=no \
      --disallow-module-loading=no --log-target=file:"$dir/server.log" \
      -L "module-null-sink sink_name=wavlon_null sink_properties=device.description=Wavlon_null" \
      -L "module-null-source source_name=wavlon_null_source" \
      -L "module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
      -L "module-always-sink" >/dev/null 2>&1 &
  echo $! > "$dir/started.pid"
  for _ in $(seq 1 100); do
    if pactl info >/dev/null 2>&1; then
      pactl set-default-sink wavlon_null >/dev/null 2>&1 || true
      pactl set-default-source wavlon_null_source >/dev/null 2>&1 || true
      echo "started PulseAudio (pid $(cat "$dir/started.pid")) at $dir/native"
      exit 0
    fi
    sleep 0.1
  done
  echo "PulseAudio did not start; its log:" >&2
  cat "$dir/server.log" >&2 2>/dev/null
  exit 1
  ;;
stop)
  if [ -f "$dir/started.pid" ]; then
    pid=$(cat "$dir/started.pid")
    kill "$pid" 2>/dev/null
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
    rm -f "$dir/started.pid" "$dir/native"
    echo "stopped PulseAudio (pid $pid)"
  fi
  exit 0
  ;;
*)
  echo "usage: $0 start|stop <dir>" >&2
  exit 2
  ;;
esac
