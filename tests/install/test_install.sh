#!/bin/sh
# Installs the build into a staging folder and checks what lands there; then builds
# the Debian package, reads its control data, unpacks it and starts the program.
# Usage: test_install.sh BUILD_DIR EXPECTED_FILES
set -eu
build=$1
expected=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# 1. Exactly the expected files, under the default prefix.
DESTDIR="$work/stage" cmake --install "$build" --prefix /usr/local >/dev/null
(cd "$work/stage/usr/local" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort) >"$work/got"
LC_ALL=C sort "$expected" >"$work/want"
diff -u "$work/want" "$work/got" || fail "installed files differ from the expected list"

share="$work/stage/usr/local/share"
desktop-file-validate "$share/applications/org.mycook.MyCook.desktop" ||
    fail "desktop-file-validate"
appstreamcli validate --no-net "$share/metainfo/org.mycook.MyCook.metainfo.xml" ||
    fail "appstreamcli validate"
grep -qx 'Name=百味小筑' "$share/applications/org.mycook.MyCook.desktop" || fail "menu name"
for size in 16 24 32 48 64 128 256; do
    file "$share/icons/hicolor/${size}x${size}/apps/org.mycook.MyCook.png" |
        grep -q "PNG image data, $size x $size" || fail "icon $size is not ${size}x$size"
done

# 2. The package: its files, its dependencies, and a start of the unpacked program.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/deb/mycook_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dep in libqt6widgets6 libqt6printsupport6 libsqlite3-0 libjpeg62-turbo libtiff6 \
    fonts-arphic-uming qt6-translations-l10n; do
    echo "$depends" | grep -q "$dep" || fail "the package does not depend on $dep"
done
dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$' | sed 's|^\./usr/||' | LC_ALL=C sort \
    >"$work/debfiles"
diff -u "$work/want" "$work/debfiles" || fail "packaged files differ from the expected list"

version=$(dpkg-deb -f "$deb" Version)
for field in Package Version Architecture Maintainer Section Priority Description; do
    [ -n "$(dpkg-deb -f "$deb" $field)" ] || fail "the package has no $field field"
done

dpkg-deb -x "$deb" "$work/root"
doc="$work/root/usr/share/doc/mycook"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$doc/copyright" || fail "the copyright file is not in the machine-readable format"
grep -q '^License: ' "$doc/copyright" || fail "the copyright file names no licence"
gzip -t "$doc/changelog.gz" || fail "the changelog is not gzip data"
gzip -dc "$doc/changelog.gz" >"$work/changelog"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Source)" = mycook ] || fail "changelog source"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version" ] ||
    fail "the changelog's last entry is not the package's version $version"
grep -q '百味小筑' "$work/root/usr/share/mycook/about.html" || fail "the about page is not ours"
home="$work/home"
mkdir -p "$home"
# The program runs until it is closed: still running after a few seconds is a start.
status=0
HOME="$home" XDG_DATA_HOME="$home/data" QT_QPA_PLATFORM=offscreen \
    timeout 5 "$work/root/usr/bin/mycook" || status=$?
[ "$status" -eq 124 ] || fail "the installed program ended with status $status"
[ -f "$home/data/mycook/cook.mdb" ] || fail "the installed program keeps no book in the user's data folder"
[ ! -e "$work/root/usr/bin/cook.mdb" ] || fail "the installed program wrote its book beside itself"
echo "install checks passed"
