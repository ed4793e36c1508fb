#!/usr/bin/env bash
# Makes the wine prefix a Windows build's tests run in: once per build folder, 64-bit, with
# no installer dialog (mscoree and mshtml off, which would ask to download Mono and Gecko),
# and the Chinese faces the program's texts name replaced by the CJK fonts Debian installs.
#   wine-prefix.sh <prefix folder>
set -euo pipefail
prefix=$(realpath -m "$1")
[ -f "$prefix/.wavlon-ready" ] && exit 0
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$prefix"
# wineboot needs no display; a stray one would show its window.
unset DISPLAY WAYLAND_DISPLAY
timeout 300 wineboot --init >/dev/null 2>&1
reg() { timeout 120 wine reg add "$@" /f >/dev/null 2>&1; }
# Windows and dialogs exist without an X display and are never drawn: wine's null driver.
reg 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null
# The faces the texts name (and the system's defaults) drawn with the fonts of Debian's
# fonts-arphic and fonts-wqy packages, which wine finds among the host's fonts.
for face in "宋体" "新宋体" "SimSun" "NSimSun" "黑体" "SimHei" "楷体" "KaiTi" "微软雅黑" \
            "Microsoft YaHei" "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma"; do
  case "$face" in
    楷体|KaiTi) replacement="AR PL UKai CN" ;;
    黑体|SimHei|微软雅黑|"Microsoft YaHei") replacement="WenQuanYi Micro Hei" ;;
    *) replacement="AR PL UMing CN" ;;
  esac
  reg 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d "$replacement"
done
timeout 120 wineserver -w || true
touch "$prefix/.wavlon-ready"
