#!/usr/bin/env bash
# The Windows packages end to end, in the build's wine prefix: the zip holds the program folder;
# `wavlon-setup.exe /S` installs the program, its uninstaller, the Start-menu shortcut and the
# "Add or remove programs" entry; the installed program carries its resources; `uninstall.exe /S`
# removes all of that and leaves the user's config.ini files, beside the program and in
# %APPDATA%\Wavlon.
#   installer_test.sh <build folder> <version> <version in four numbers>
set -euo pipefail
build=$(realpath "$1")
version=$2
version4=$3
here=$(dirname "$(realpath "$0")")
wine_run=$here/../../scripts/wine-run.sh
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Wavlon'
drive_c=$WINEPREFIX/drive_c
program_dir=$drive_c/Program\ Files/Wavlon
shortcut=$drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Wavlon.lnk
scratch=$build/installer-test
faults=0
fail() { echo "FAIL: $*"; faults=$((faults + 1)); }
registered() { wine reg query "$key" /reg:64 >/dev/null 2>&1; }
open_with_key='HKLM\Software\Classes\Applications\wavlon.exe\shell\open\command'
open_with_listed() {
  wine reg query 'HKLM\Software\Classes\.mp3\OpenWithList\wavlon.exe' /reg:64 >/dev/null 2>&1
}

# The processes of the installed program, by their command line: wine names a program started
# by its Linux file name so. Other programs in the shared prefix are left alone.
program_pids() {
  ps -eo pid=,args= | awk -v program="$program_dir/wavlon.exe" \
    '{ pid = $1; sub(/^ *[0-9]+ /, "") } $0 == program { print pid }'
}
# Ends the installed program's processes, and the first start whatever it runs yet, and waits
# until they are gone.
stop_program() {
  local pids
  pids="$(program_pids) ${first:-}"
  # shellcheck disable=SC2086 # one word a process
  [ -z "${pids// /}" ] || kill -KILL $pids 2>/dev/null || true
  [ -z "${first:-}" ] || wait "$first" 2>/dev/null || true
  for _ in $(seq 50); do
    [ -n "$(program_pids)" ] || return 0
    sleep 0.2
  done
  echo "FAIL: the installed program outlives kill -KILL: $(program_pids)"
}

# Nothing of an earlier run, before and after.
clean() {
  stop_program
  rm -rf "$program_dir" "$shortcut" "${app_data:-/nonexistent}/Wavlon" "$scratch"
  ! registered || wine reg delete "$key" /reg:64 /f >/dev/null 2>&1
}
"$here/../../scripts/wine-prefix.sh" "$WINEPREFIX"
app_data=$(winepath -u "$(wine cmd /c echo %APPDATA% | tr -d '\r')")
# Stopped from outside too (Ctrl+C, a test time-out): the clean-up runs on the way out.
trap clean EXIT
trap "exit 1" INT TERM HUP
clean
mkdir -p "$scratch"

zip=$build/wavlon-$version-windows-x64.zip
listing=$(python3 -m zipfile -l "$zip" | awk 'NR > 1 { print $1 }' | sort | tr '\n' ' ')
[ "$listing" = "Wavlon/ Wavlon/copyright.txt Wavlon/readme.txt Wavlon/wavlon.exe " ] ||
  fail "the zip holds: $listing"

"$wine_run" "$build/wavlon-setup.exe" /S || fail "the installer answered $?"
for file in wavlon.exe uninstall.exe readme.txt copyright.txt; do
  [ -f "$program_dir/$file" ] || fail "no $file in Program Files\\Wavlon"
done
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
entry=$(wine reg query "$key" /reg:64 2>/dev/null | tr -d '\r') || fail "no uninstall entry"
for value in "DisplayName REG_SZ Wavlon" "DisplayVersion REG_SZ $version" \
             "Publisher REG_SZ The Wavlon developers" "NoModify REG_DWORD 0x1" \
             "NoRepair REG_DWORD 0x1" "DisplayIcon REG_SZ C:\\Program Files\\Wavlon\\wavlon.exe,0" \
             "UninstallString REG_SZ \"C:\\Program Files\\Wavlon\\uninstall.exe\"" \
             "QuietUninstallString REG_SZ \"C:\\Program Files\\Wavlon\\uninstall.exe\" /S"; do
  grep -qxF "$value" <<<"$(sed 's/^ *//; s/    / /g' <<<"$entry")" || fail "no $value"
done
grep -q "EstimatedSize" <<<"$entry" || fail "no EstimatedSize"
# "Open with" for MP3 files hands the file to the program.
wine reg query "$open_with_key" /reg:64 2>/dev/null | tr -d '\r' |
  grep -qF '"C:\Program Files\Wavlon\wavlon.exe" "%1"' || fail "no \"Open with\" command"
open_with_listed || fail "not among an .mp3 file's programs"
python3 "$here/check_windows_resources.py" "$program_dir/wavlon.exe" "$version4" "$version" ||
  fail "the installed program's resources"

# The installed program starts and runs its message loop. No server answers here, so it first
# shows its offline message, a modal box whose loop dispatches messages; a second start hands
# its command line to the running first one and ends with 0 at once. Without a first one that
# answers, the second would become a player itself and keep running.
installed_program_starts() {
  local program=$program_dir/wavlon.exe ticks="" now settled="" answer=0 others
  "$wine_run" "$program" >"$scratch/first.log" 2>&1 &
  first=$!
  # Running: wine has loaded the program, and its CPU time stops growing while it waits for
  # messages. A look every quarter second, for half a minute at most.
  for _ in $(seq 120); do
    kill -0 "$first" 2>/dev/null || break
    if [ "$(program_pids)" = "$first" ]; then
      now=$(awk '{ print $14 + $15 }' "/proc/$first/stat" 2>/dev/null) || break
      [ "$now" = "$ticks" ] && settled=1 && break
      ticks=$now
    fi
    sleep 0.25
  done
  if [ -z "$settled" ]; then
    fail "the installed program did not start and wait: $(cat "$scratch/first.log")"
    stop_program
    return
  fi
  timeout -k 5 30 "$wine_run" "$program" >"$scratch/second.log" 2>&1 || answer=$?
  [ "$answer" -eq 0 ] ||
    fail "a second start answered $answer (124: still running after 30 s) instead of handing" \
         "over to the running program: $(cat "$scratch/second.log")"
  kill -0 "$first" 2>/dev/null || fail "the first start of the installed program ended"
  others=$(program_pids | grep -vx "$first" | tr '\n' ' ') || true
  [ -z "$others" ] || fail "more than one installed program left running: $others"
  stop_program
}
installed_program_starts

# Settings the user keeps: the program's folder takes no writes once installed, but an older
# copy or the user may have put one there.
mkdir -p "$app_data/Wavlon"
echo "[settings]" >"$app_data/Wavlon/config.ini"
echo "[settings]" >"$program_dir/config.ini"
# An uninstaller started in its folder copies itself away and returns at once: a copy started
# elsewhere with _?= the folder does the work itself, and returns when it is done. NSIS reads
# "_?=" unquoted, so the folder goes in two words, which wine joins with a space.
cp "$program_dir/uninstall.exe" "$scratch/uninstall.exe"
"$wine_run" "$scratch/uninstall.exe" /S '_?=C:\Program' 'Files\Wavlon' ||
  fail "the uninstaller answered $?"
for file in wavlon.exe uninstall.exe readme.txt copyright.txt; do
  [ ! -e "$program_dir/$file" ] || fail "$file left in Program Files\\Wavlon"
done
[ ! -e "$shortcut" ] || fail "the Start-menu shortcut left"
! registered || fail "the uninstall entry left"
! wine reg query "$open_with_key" /reg:64 >/dev/null 2>&1 || fail "the \"Open with\" command left"
! open_with_listed || fail "still among an .mp3 file's programs"
[ -f "$program_dir/config.ini" ] || fail "the config.ini beside the program was removed"
[ -f "$app_data/Wavlon/config.ini" ] || fail "%APPDATA%\\Wavlon\\config.ini was removed"

# Without settings beside it, the program's folder goes too.
"$wine_run" "$build/wavlon-setup.exe" /S || fail "the second installer answered $?"
cp "$program_dir/uninstall.exe" "$scratch/uninstall.exe"
rm "$program_dir/config.ini"
"$wine_run" "$scratch/uninstall.exe" /S '_?=C:\Program' 'Files\Wavlon' ||
  fail "the second uninstaller answered $?"
[ ! -e "$program_dir" ] || fail "the empty program folder left"

[ "$faults" -eq 0 ] && echo "installer: all checks hold"
exit $((faults > 0))
