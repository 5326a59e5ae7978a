#!/usr/bin/env bash
# Checks the Debian package of the Linux program as a desktop and Debian's tools see it: makes it
# (`make deb`), then lintian must report no error and no warning, desktop-file-validate and
# appstreamcli validate must pass on its desktop entry and AppStream file, and it must hold them
# with the icon. Prints one line per fault; exits 1 after any.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

if ! make -s deb >build/check-deb.log 2>&1; then
  echo "package: make deb failed:"; tail -n 20 build/check-deb.log; exit 1
fi
deb=$(ls dist/zrv5_*.deb | head -n 1)
status=0
fault() { echo "package: $*"; status=1; }

# lintian as root says so on standard error; its findings go to standard output.
findings=$(lintian "$deb" 2>/dev/null | grep -E '^[EW]: ')
[ -z "$findings" ] || fault "lintian reports:"$'\n'"$findings"

staged=$(mktemp -d /tmp/zrv5-package-XXXXXX)
trap 'rm -rf "$staged"' EXIT
dpkg-deb -x "$deb" "$staged"
for file in usr/share/applications/zrv5.desktop usr/share/icons/hicolor/scalable/apps/zrv5.svg \
            usr/share/icons/hicolor/48x48/apps/zrv5.png \
            usr/share/metainfo/local.zrv5.Zrv5.metainfo.xml usr/share/doc/zrv5/copyright \
            usr/share/doc/zrv5/changelog.gz; do
  [ -f "$staged/$file" ] || fault "the package lacks /$file"
done
desktop-file-validate "$staged/usr/share/applications/zrv5.desktop" ||
  fault "desktop-file-validate refuses zrv5.desktop"
appstreamcli validate --no-net "$staged/usr/share/metainfo/local.zrv5.Zrv5.metainfo.xml" \
  >"$staged/appstream.log" 2>&1 || fault "appstreamcli refuses the metainfo: $(cat "$staged/appstream.log")"
[ "$status" -eq 0 ] && echo "package: $deb lints clean and holds its desktop entry"
exit $status
