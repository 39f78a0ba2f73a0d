#!/usr/bin/env bash
# Installs everything the program, its tests and its demo need on a fresh
# Debian 12 machine. Safe to run again: it only installs what is missing.
# Run it as root or as a user with sudo; it asks for root only when something
# is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libgtest-dev libgmock-dev
    clang libclang-rt-14-dev
    firebird3.0-server firebird3.0-utils firebird-dev libfbclient2
    qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev
    fonts-wqy-microhei
    xvfb xdotool xclip openbox x11-utils imagemagick time
    locales valgrind
    dpkg-dev lintian clang-format
    desktop-file-utils appstream systemd
    debhelper autopkgtest
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# Only installing packages and generating locales need root: run as root,
# they run as they are, otherwise through sudo. Nothing else here needs it,
# and neither does anything after it (the build, the demo, the tests).
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
    need_root() {
        command -v sudo >/dev/null ||
            { echo "install.sh: $1 needs root: run scripts/install.sh as root, or install sudo" >&2; exit 1; }
    }
else
    need_root() { :; }
fi

if [ ${#missing[@]} -gt 0 ]; then
    need_root "installing ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    # Through env: sudo does not pass the caller's environment on.
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

# The locales the regional-format tests read their formats from.
wanted_locales="en_US.UTF-8 en_GB.UTF-8 de_DE.UTF-8 zh_TW.UTF-8 zh_TW.BIG5 ja_JP.UTF-8"
need_gen=0
for l in $wanted_locales; do
    norm=$(echo "$l" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
    locale -a 2>/dev/null | tr 'A-Z' 'a-z' | grep -qx "$norm" || need_gen=1
done
if [ $need_gen -eq 1 ]; then
    need_root "generating the locales $wanted_locales"
    for l in $wanted_locales; do
        charset=${l#*.}
        line="$l $charset"
        grep -qx "$line" /etc/locale.gen 2>/dev/null || echo "$line" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
    done
    "${sudo_cmd[@]}" locale-gen >/dev/null
fi
