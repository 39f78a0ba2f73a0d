#!/usr/bin/env bash
# The packaging's metadata, checked from the source tree (no build needed):
#  - the desktop entry passes desktop-file-validate (no error, no warning);
#  - the AppStream file, with its version filled in as the build does, passes
#    appstreamcli validate --no-net (no error, no warning; infos may stand);
#  - the systemd service and timer templates load without a complaint, and
#    the service's exposure level (systemd-analyze security) is 3.0 or less.
# Prints one line per check and exits 1 when any fails.
# Needs desktop-file-utils, appstream and systemd (scripts/install.sh).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
packaging=$root/packaging
work=$(mktemp -d /tmp/tarvel-metadata.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0
pass() { echo "PASS $1"; }
fail() { echo "FAIL $1"; sed 's/^/     /' "$work/log"; failed=1; }

# desktop-file-validate prints errors and warnings alike and exits 0 after
# warnings: any output is a failure.
check="desktop-file-validate tarvelreset.desktop"
if desktop-file-validate "$packaging/tarvelreset.desktop" >"$work/log" 2>&1 && [ ! -s "$work/log" ]; then
    pass "$check"
else
    fail "$check"
fi

# The file as installed: the version from the project, the name from the id.
version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
id=$(sed -n 's|.*<id>\(.*\)</id>.*|\1|p' "$packaging/tarvelreset.metainfo.xml")
metainfo=$work/$id.metainfo.xml
sed "s/@PROJECT_VERSION@/$version/g" "$packaging/tarvelreset.metainfo.xml" >"$metainfo"
# Exits non-zero after errors and after warnings; infos pass.
check="appstreamcli validate --no-net tarvelreset.metainfo.xml (version $version)"
if [ -n "$version" ] && ! grep -q @ "$metainfo" && appstreamcli validate --no-net "$metainfo" >"$work/log" 2>&1; then
    pass "$check"
else
    fail "$check"
fi

# The offline review loads the unit files and warns on standard error about
# what it cannot parse; a warning is a failure. Its --threshold is on a scale
# of 0 to 100: 30 is the level 3.0 it prints.
for unit in tarvel-rebuild@.service tarvel-rebuild@.timer; do
    threshold=100
    [ "${unit##*.}" = service ] && threshold=30
    (cd "$packaging/systemd" &&
        systemd-analyze security --offline=true --threshold="$threshold" "./$unit") >"$work/out" 2>"$work/log"
    code=$?
    level=$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' "$work/out")
    check="systemd-analyze security --offline=true $unit: exposure ${level:-unknown}"
    [ "$threshold" = 30 ] && check="$check (at most 3.0)"
    if [ "$code" = 0 ] && [ -n "$level" ] && [ ! -s "$work/log" ]; then
        pass "$check"
    else
        [ -s "$work/log" ] || tail -3 "$work/out" >"$work/log"
        fail "$check"
    fi
done
exit "$failed"
