#!/bin/bash
# Builds the Debian package torvex_<version>_amd64.deb from this tree and
# checks it: the desktop entry and the AppStream metadata validate as the
# package installs them, lintian finds no error, and the package holds the
# binary, the desktop entry, the icon, the metadata and the manual page.
# Argument: the build directory (default build), which receives the package.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
case "$dir" in /*) ;; *) dir="$top/$dir" ;; esac

"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$dir"
rm -f "$dir"/torvex_*.deb
(cd "$dir" && cpack -G DEB)
deb=$(ls "$dir"/torvex_*_amd64.deb)
echo "== $deb"
dpkg-deb --field "$deb" Package Version Installed-Size Depends

listing=$(dpkg -c "$deb")
for path in usr/bin/torvex usr/share/applications/torvex.desktop \
  usr/share/icons/hicolor/scalable/apps/torvex.svg \
  usr/share/metainfo/io.github.torvex.Torvex.metainfo.xml \
  usr/share/man/man1/torvex.1.gz; do
  grep -q " \./$path\$" <<<"$listing" || { echo "the package lacks /$path"; exit 1; }
done

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/torvex.desktop"
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/io.github.torvex.Torvex.metainfo.xml"
appstreamcli validate-tree --no-net "$unpacked"
lintian --fail-on error --display-info "$deb"
echo "package ok: $deb ($(stat -c %s "$deb") bytes)"
