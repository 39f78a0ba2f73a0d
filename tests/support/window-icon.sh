# Sourced by the scripts that look at the window program's icon; needs fail().

# icon_sizes <window>: the sizes of the icons in the window's _NET_WM_ICON,
# one line, such as "32x32 48x48"; empty when it has none. The whole output
# is read: a reader that stops at its first match (grep -q) leaves xprop
# writing the rest of a large icon into a closed pipe, and under pipefail
# that SIGPIPE fails the check although the icon is there.
icon_sizes() {
    { xprop -id "$1" _NET_WM_ICON 2>&1 || true; } |
        sed -n 's/.*Icon (\([0-9]*\) x \([0-9]*\)).*/\1x\2/p' | tr '\n' ' ' | sed 's/ $//'
}

# expect_icon <window> <size> <message>: waits up to 5 s for an icon of that
# size (such as 32x32) among the window's icons; fails with the message and
# the sizes it found when none comes.
expect_icon() {
    local sizes=
    for _ in $(seq 50); do
        sizes=$(icon_sizes "$1")
        case " $sizes " in *" $2 "*) return 0 ;; esac
        sleep 0.1
    done
    fail "$3 (icon sizes: ${sizes:-none}; _NET_WM_ICON: $(xprop -id "$1" _NET_WM_ICON 2>&1 | head -1))"
}
