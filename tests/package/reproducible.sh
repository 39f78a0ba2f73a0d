#!/usr/bin/env bash
# Two builds of the same source must give the same packages, byte for byte,
# the debug symbols packages included: the second build runs later, in another
# folder (scripts/package.sh builds in a fresh copy under /tmp), with another
# umask, time zone and locale. Each folder that does not hold packages yet is
# filled by scripts/package.sh. On a difference it shows diffoscope's report
# when diffoscope is installed, else the files, modes and times that differ.
# Usage: tests/package/reproducible.sh <first folder> <second folder>   (prints PASS at the end)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
first=${1:?usage: reproducible.sh <first folder> <second folder>}
second=${2:?usage: reproducible.sh <first folder> <second folder>}
fail() { echo "FAIL: $*" >&2; exit 1; }

built() { compgen -G "$1/*.deb" >/dev/null; }
built "$first" || "$root/scripts/package.sh" "$first" >/dev/null
built "$second" && fail "$second holds packages already"
(umask 0077 && TZ=Asia/Taipei LC_ALL=C.UTF-8 "$root/scripts/package.sh" "$second") >/dev/null

names() { (cd "$1" && ls -- *.deb); }
[ "$(names "$first")" = "$(names "$second")" ] ||
    fail "the builds made different packages: $(names "$first" | tr '\n' ' ') / $(names "$second" | tr '\n' ' ')"
status=0
for deb in $(names "$first"); do
    if cmp -s "$first/$deb" "$second/$deb"; then
        echo "   same: $deb"
        continue
    fi
    status=1
    echo "   DIFFERENT: $deb"
    if command -v diffoscope >/dev/null; then
        diffoscope --text - "$first/$deb" "$second/$deb" | head -n 200 || true
    else
        work=$(mktemp -d)
        for side in first second; do
            dir=$first
            [ $side = first ] || dir=$second
            mkdir "$work/$side"
            dpkg-deb -R "$dir/$deb" "$work/$side"
            (cd "$work/$side" && find . -type f -exec md5sum {} + | sort -k2) > "$work/$side.sums"
        done
        diff "$work/first.sums" "$work/second.sums" || true
        diff <(dpkg-deb -c "$first/$deb") <(dpkg-deb -c "$second/$deb") || true
        rm -rf "$work"
    fi
done
[ $status = 0 ] || fail "the packages differ between two builds"
echo "PASS"
