# Sourced by the benchmark scripts (after they set $root): a work folder removed at exit, and
# a sound server: the one in PULSE_SERVER when it answers, else the test fixture's server with
# a null sink, started here and stopped at exit.
work=$(mktemp -d)
started_pulse=""
cleanup() {
  [ -n "$started_pulse" ] && "$root/scripts/pulse-fixture.sh" stop "$work/pulse" >/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
if ! pactl info >/dev/null 2>&1; then
  "$root/scripts/pulse-fixture.sh" start "$work/pulse" >/dev/null
  export PULSE_SERVER="unix:$work/pulse/native"
  started_pulse=1
fi
