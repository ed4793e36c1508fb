#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it: the files it installs, its
# dependencies, the desktop entry (desktop-file-validate), the AppStream data (appstreamcli),
# the icon sizes, and lintian's verdict (no errors).
#   check-package.sh <build folder> <work folder>
set -euo pipefail
build=$(realpath "$1")
work=$2
source_dir=$(realpath "$(dirname "$0")/..")
app_id=org.wavlon.Wavlon
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >cpack.log 2>&1) || {
  cat "$work/cpack.log"
  echo "FAIL: cpack could not build the package"
  exit 1
}
deb=$(ls "$work"/wavlon_*.deb)
echo "built $(basename "$deb")"

# The files, exactly; the song service's when the build has it.
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
expected=(
  usr/bin/wavlon
  usr/lib/$multiarch/wavlon/libwavlon_media.so
  usr/lib/$multiarch/wavlon/libwavlon_net.so
  usr/share/applications/$app_id.desktop
  usr/share/doc/wavlon/changelog.gz
  usr/share/doc/wavlon/copyright
  usr/share/icons/hicolor/scalable/apps/$app_id.svg
  usr/share/man/man1/wavlon.1.gz
  usr/share/metainfo/$app_id.metainfo.xml
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
if [ -e "$source_dir/resources/wavlon-songd.service" ]; then
  expected+=(usr/lib/systemd/user/wavlon-songd.service usr/lib/systemd/user/wavlon-songd.socket
    usr/lib/systemd/user/sockets.target.wants/wavlon-songd.socket)
fi
if [ -x "$build/src/wavlon-songd" ]; then
  expected+=(usr/bin/wavlon-songd usr/share/man/man1/wavlon-songd.1.gz)
fi
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [ "$actual" != "$wanted" ]; then
  fail "file list differs (- wanted, + packaged):"
  diff <(echo "$wanted") <(echo "$actual") || true
fi
if dpkg-deb -c "$deb" | awk '{ print $2 }' | grep -qv '^root/root$'; then
  fail "files not owned by root"
fi

# Dependencies: shared libraries found by dpkg-shlibdeps, plugins and fonts named by us.
depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
for wanted_dep in libqt6widgets6 libqt6dbus6 libgstreamer1.0-0 libpulse0 libcurl4 \
  gstreamer1.0-plugins-good fonts-arphic-uming; do
  grep -q "$wanted_dep" <<<"$depends" || fail "Depends lacks $wanted_dep: $depends"
done
for wanted_rec in "fcitx5-frontend-qt6 | ibus" qt6-wayland qt6-translations-l10n fonts-noto-cjk; do
  grep -qF "$wanted_rec" <<<"$recommends" || fail "Recommends lacks $wanted_rec: $recommends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop="$root/usr/share/applications/$app_id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
for line in "Name=Wavlon" "Categories=AudioVideo;Audio;Player;" "MimeType=audio/mpeg;" \
  "StartupWMClass=Wavlon" "Icon=$app_id" "Exec=wavlon %F"; do
  grep -qxF "$line" "$desktop" || fail "desktop entry lacks $line"
done
grep -q '^Name\[zh_CN\]=' "$desktop" || fail "desktop entry lacks a zh_CN name"
grep -q '^Comment\[zh_CN\]=' "$desktop" || fail "desktop entry lacks a zh_CN comment"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
  fail "appstreamcli validate"

# Each PNG is as large as the folder it sits in says.
for png in "$root"/usr/share/icons/hicolor/*x*/apps/$app_id.png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  actual_size=$(python3 -c 'import struct, sys
data = open(sys.argv[1], "rb").read(24)
print("%dx%d" % struct.unpack(">II", data[16:24]))' "$png")
  [ "$actual_size" = "$size" ] || fail "$png is $actual_size"
done
# The song service starts on the first connection to its socket, enabled for every user.
if [ -e "$source_dir/resources/wavlon-songd.socket" ]; then
  units=$root/usr/lib/systemd/user
  grep -qxF "ListenStream=127.0.0.1:8765" "$units/wavlon-songd.socket" ||
    fail "the socket unit does not listen on the player's address"
  # A wants link in the vendor folder enables it for every user's sockets.target.
  [ "$(readlink "$units/sockets.target.wants/wavlon-songd.socket")" = ../wavlon-songd.socket ] ||
    fail "the socket unit is not enabled for users"
  grep -qxF "WantedBy=sockets.target" "$units/wavlon-songd.socket" ||
    fail "the socket unit is not wanted by sockets.target"
  grep -q '^ExecStart=/usr/bin/wavlon-songd .*--idle-exit ' "$units/wavlon-songd.service" ||
    fail "the service does not end when idle"
fi
if ldd "$root/usr/bin/wavlon" | grep -q 'not found'; then
  fail "the program needs libraries that are not there"
fi
# GStreamer and libcurl come with the modules, loaded on first use, not with the program.
if ldd "$root/usr/bin/wavlon" | grep -Eq 'libgstreamer|libcurl'; then
  fail "the program links GStreamer or libcurl itself"
fi
for module in "$root"/usr/lib/"$multiarch"/wavlon/*.so; do
  if ldd "$module" | grep -q 'not found'; then
    fail "$module needs libraries that are not there"
  fi
done

lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 ||
  fail "lintian reports errors"
cat "$work/lintian.log"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package checks passed"
