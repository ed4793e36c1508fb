#!/usr/bin/env bash
# Runs a Windows program of the build under wine, in the build folder's own prefix
# (scripts/wine-prefix.sh makes it). CTest uses this as the cross-compiling emulator.
#   wine-run.sh <program.exe> [arguments...]
set -euo pipefail
program=$(realpath "$1")
shift
build=$program
while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do
  build=$(dirname "$build")
done
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=${WINEDEBUG:--all}
# A Simplified Chinese system, as the program is made for.
# shellcheck source=scripts/wine-locale.sh
. "$(dirname "$0")/wine-locale.sh" "$build"
"$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX"
exec wine "$program" "$@"
