#!/usr/bin/env bash
# Builds the Debian source package and the binary packages from debian/ with
# dpkg-buildpackage (debhelper, the distribution's hardening flags, no tests):
# the source package tarvelreset (.dsc and .tar.xz), tarvel-rebuild (the command
# line, the driver library, the settings files), tarvelreset (the window
# program) and their debug symbols, tarvel-rebuild-dbgsym and
# tarvelreset-dbgsym. Root is not needed (Rules-Requires-Root: no).
# The build runs in a copy of the source tree (the files git tracks or would
# track) in a folder of its own under /tmp, so that nothing is written into
# the checkout or beside it, and two builds see the same files.
# Usage: scripts/package.sh [output folder]     (default: build-package/)
#   The packages, the source package, the .changes and the .buildinfo go into
#   the output folder; the default folder loses those of earlier runs first.
# Prints the paths of the four packages on its last four lines.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -gt 0 ]; then
    out=$1
    mkdir -p "$out"
else
    out=$root/build-package
    mkdir -p "$out"
    rm -f "$out"/tarvel*.deb "$out"/tarvelreset_*.changes "$out"/tarvelreset_*.buildinfo \
        "$out"/tarvelreset_*.dsc "$out"/tarvelreset_*.tar.*
fi
out=$(cd "$out" && pwd)

version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
work=$(mktemp -d /tmp/tarvel-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
src=$work/tarvelreset-$version
mkdir "$src"
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$root" && git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
        tar --null --files-from=- -cf -) | tar -xf - -C "$src"
else
    (cd "$root" && tar --exclude='./build*' --exclude=./.git -cf - .) | tar -xf - -C "$src"
fi

(cd "$src" && dpkg-buildpackage -us -uc -Jauto) >"$work/build.log" 2>&1 ||
    { tail -n 30 "$work/build.log" >&2; echo "package.sh: dpkg-buildpackage failed" >&2; exit 1; }

changes=$work/tarvelreset_${version}_$(dpkg --print-architecture).changes
[ -f "$changes" ] || { echo "package.sh: no $changes" >&2; exit 1; }
# The files the .changes names: the packages, the source package and the .buildinfo.
mapfile -t files < <(sed -n '/^Files:/,/^[^ ]/s/^ [0-9a-f]\{32\} [0-9]\+ [^ ]\+ [^ ]\+ //p' "$changes")
for f in "${files[@]}"; do mv -f "$work/$f" "$out/"; done
mv -f "$changes" "$out/"
for f in "${files[@]}"; do
    case $f in *.deb) echo "$out/$f" ;; esac
done
