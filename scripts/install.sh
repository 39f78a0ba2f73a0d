#!/usr/bin/env bash
# Installs everything the program, its tests and its demo need on a fresh
# Debian 12 machine. Safe to run again: it only installs what is missing.
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
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

if [ ${#missing[@]} -gt 0 ]; then
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi

# The locales the regional-format tests read their formats from.
wanted_locales="en_US.UTF-8 en_GB.UTF-8 de_DE.UTF-8 zh_TW.UTF-8 zh_TW.BIG5 ja_JP.UTF-8"
need_gen=0
for l in $wanted_locales; do
    norm=$(echo "$l" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
    locale -a 2>/dev/null | tr 'A-Z' 'a-z' | grep -qx "$norm" || need_gen=1
done
if [ $need_gen -eq 1 ]; then
    for l in $wanted_locales; do
        charset=${l#*.}
        line="$l $charset"
        grep -qx "$line" /etc/locale.gen 2>/dev/null || echo "$line" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
    done
    "${sudo_cmd[@]}" locale-gen >/dev/null
fi
