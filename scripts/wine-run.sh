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
# A Simplified Chinese system, as the program is made for: wine takes its locale, and with it
# the system code page 936, from the environment. Wine also names the host's files in the
# locale's character set, so the locale must exist on the host: where it is not installed,
# one generated into the build folder stands in (else names outside ASCII cannot be made).
export LC_ALL=zh_CN.UTF-8
if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
  export LOCPATH=$build/locale
  if [ ! -d "$LOCPATH/zh_CN.UTF-8" ]; then
    mkdir -p "$LOCPATH"
    # Made aside and moved into place, as two test programs may start at once.
    localedef -c -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8.$$" >/dev/null 2>&1 || true
    mv -T "$LOCPATH/zh_CN.UTF-8.$$" "$LOCPATH/zh_CN.UTF-8" 2>/dev/null ||
      rm -rf "$LOCPATH/zh_CN.UTF-8.$$"
  fi
fi
"$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX"
exec wine "$program" "$@"
