# shellcheck shell=bash
# Sourced by the scripts that start wine: a Simplified Chinese system, as the program is made
# for. Wine takes its locale, and with it the system code page 936, from the environment, and
# names the host's files in the locale's character set, so the locale must exist on the host:
# where it is not installed, one generated into the build folder stands in (else names outside
# ASCII cannot be made).
#   . wine-locale.sh <build folder>
# Quietly: bash itself warns when it cannot take the locale, which only LOCPATH may hold.
{ export LC_ALL=zh_CN.UTF-8; } 2>/dev/null
if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
  export LOCPATH=$1/locale
  if [ ! -d "$LOCPATH/zh_CN.UTF-8" ]; then
    mkdir -p "$LOCPATH"
    # Made aside and moved into place, as two test programs may start at once.
    localedef -c -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8.$$" >/dev/null 2>&1 || true
    mv -T "$LOCPATH/zh_CN.UTF-8.$$" "$LOCPATH/zh_CN.UTF-8" 2>/dev/null ||
      rm -rf "$LOCPATH/zh_CN.UTF-8.$$"
  fi
fi
