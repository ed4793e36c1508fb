#!/usr/bin/env bash
# Fetches the upstream source of a Debian source package into a folder, for libraries the
# Windows build compiles itself (Debian ships them built for Linux only).
#   fetch-debian-source.sh <package> <folder>
# The archive comes from the machine's own Debian mirror through apt, which checks it against
# the release's signed source index; it is unpacked to <folder>/<package>-<version>, and
# <folder>/<package>.path names that folder. Nothing is fetched when that is already there.
set -euo pipefail
package=$1
dest=$(realpath -m "$2")
mkdir -p "$dest"
if [ -f "$dest/$package.path" ] && [ -d "$(cat "$dest/$package.path")" ]; then
  exit 0
fi
work=$dest/.apt-$package
rm -rf "$work"
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/download"
# The binary entries of the machine's own sources, turned into source entries; the security
# archive is left out, as its mirror may carry the binaries alone.
{
  grep -hE '^(URIs|Suites|Components|Signed-By):' /etc/apt/sources.list.d/*.sources 2>/dev/null |
    awk '/^URIs:/ {if (u) print u, s, c, k; u=$2; s=""; c=""; k=""}
         /^Suites:/ {s=$2} /^Components:/ {c=$2} /^Signed-By:/ {k=$2}
         END {if (u) print u, s, c, k}' |
    while read -r uri suite component key; do
      echo "deb-src [signed-by=$key] $uri $suite $component"
    done
  grep -hE '^deb ' /etc/apt/sources.list 2>/dev/null | sed 's/^deb /deb-src /' || true
} | grep -v -- '-security' | sort -u >"$work/sources.list"
apt_opts=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
          -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache"
          -o APT::Sandbox::User=root -qq)
apt-get "${apt_opts[@]}" update
(cd "$work/download" && apt-get "${apt_opts[@]}" source --download-only "$package" >/dev/null)
orig=$(ls "$work/download/${package}_"*.orig.tar.* | head -n 1)
version=$(basename "$orig" | sed -E "s/^${package}_(.*)\.orig\.tar\..*/\1/")
rm -rf "$dest/$package-$version"
tar -xf "$orig" -C "$dest"
[ -d "$dest/$package-$version" ]
echo "$dest/$package-$version" >"$dest/$package.path"
rm -rf "$work"
