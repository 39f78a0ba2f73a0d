#!/usr/bin/env bash
# Builds the Debian package tarvelreset_<version>_<arch>.deb: a release build
# without sanitizers or tests in its own folder, installed with the project's
# install rules into a staging tree, its dependencies found by dpkg-shlibdeps
# from the libraries the binaries link, plus what they load at run time.
# Usage: scripts/package.sh [output folder]      (default: the source folder)
# Environment: TARVEL_PACKAGE_BUILD_DIR (default build-package), and
#   TARVEL_CMAKE_OPTIONS, more options for the configure step (a launcher).
# Prints the path of the package on its last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARVEL_PACKAGE_BUILD_DIR:-$root/build-package}
out=${1:-$root}
mkdir -p "$out"
out=$(cd "$out" && pwd)

# shellcheck disable=SC2086
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVEL_SANITIZE=OFF \
    -DTARVEL_BUILD_TESTS=OFF -DTARVEL_BUILD_FUZZERS=OFF -DTARVEL_BUILD_APP=ON ${TARVEL_CMAKE_OPTIONS:-} >/dev/null
ninja -C "$build" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# dpkg-shlibdeps wants to run in a source tree: a minimal debian/control, and
# the package's files under debian/<package>, so that the package's own
# private library counts as provided by the package itself.
mkdir -p "$work/debian"
stage=$work/debian/tarvelreset
printf 'Source: tarvelreset\n\nPackage: tarvelreset\nArchitecture: any\n' > "$work/debian/control"
DESTDIR=$stage cmake --install "$build" --prefix /usr --strip >/dev/null

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
private=usr/lib/tarvelreset
shlibs=$(cd "$work" && dpkg-shlibdeps -O -l"debian/tarvelreset/$private" \
    "debian/tarvelreset/$private/TarvelReset" "debian/tarvelreset/$private/tarvel-rebuild" \
    "debian/tarvelreset/$private/libfbsqldrv.so" "debian/tarvelreset/$private/libtarvelfieldtext.so" \
    2>"$work/shlibdeps.log") || { cat "$work/shlibdeps.log" >&2; exit 1; }
shlibs=${shlibs#shlibs:Depends=}

# Loaded at run time, so no linked library names them: the Firebird client
# (the driver opens libfbclient.so.2), the desktop platform plugin of the
# window toolkit, and a face with the window's Traditional Chinese glyphs.
# The in-process engine is only needed for a database given as a bare path.
mkdir -p "$stage/DEBIAN"
cat > "$stage/DEBIAN/control" <<CONTROL
Package: tarvelreset
Version: $version
Architecture: $arch
Maintainer: ${TARVEL_MAINTAINER:-TarvelReset maintainers <tarvelreset@example.com>}
Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)
Depends: $shlibs, libfbclient2, qt6-qpa-plugins, fonts-wqy-microhei
Recommends: firebird3.0-server-core
Section: misc
Priority: optional
Description: rebuild the last-price history of a point-of-sale database
 TarvelReset rebuilds the purchase (STORY_IN) or sales (STORY_SAL) last-price
 history tables of a point-of-sale Firebird database from its document lines.
 .
 The package holds the window program (tarvelreset), the command
 tarvel-rebuild for terminals, cron and systemd timers, and the Firebird
 driver library they load.
CONTROL
printf '/etc/tarvelreset/sqlconnections.ini\n/etc/tarvelreset/sqldrivers.ini\n' > "$stage/DEBIAN/conffiles"
(cd "$stage" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z | xargs -0 md5sum) \
    > "$stage/DEBIAN/md5sums"
chmod 644 "$stage/DEBIAN/control" "$stage/DEBIAN/conffiles" "$stage/DEBIAN/md5sums"

package=$out/tarvelreset_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$package" >/dev/null
echo "$package"
