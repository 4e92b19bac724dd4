#!/usr/bin/env bash
# Sanitised Wine prefixes for the Win32 tests.
#
#   wine-prefix.sh template          builds a sanitised template prefix and
#                                    prints its path
#   wine-prefix.sh clone TEMPLATE    copies the template into a fresh prefix and
#                                    prints its path
#   wine-prefix.sh remove PREFIX     stops the prefix's wineserver and deletes it
#
# The file can also be sourced; it then defines vx_wine_template,
# vx_wine_clone and vx_wine_remove with the same meaning, and the pieces of a
# test session: vx_wine_exec, vx_wine_server_stop, vx_wine_session_begin and
# vx_xvfb_start.
#
# A sanitised prefix cannot reach the Linux machine through the paths Wine
# sets up by default: the z: drive (which maps "/") is removed, and the
# profile folders that Wine links into the Linux home (Desktop, Documents,
# Downloads, Music, Pictures, Videos and any other link under the profile)
# are replaced by empty real folders. Creating a prefix takes about ten
# seconds; copying the template takes one or two, so a test run builds the
# template once (exported as VX_WINE_TEMPLATE) and every test copies it.
#
# Every prefix is a folder made by mktemp under ${TMPDIR:-/tmp} and carries a
# marker file; removal refuses any folder without that marker.

# Runs a command with the environment every Wine process of the tests gets.
vx_wine_exec() {
    # Without the system bus Wine cannot map this machine's own removable
    # drives into the prefix.
    # Wine takes the Windows locale, and with it the ANSI code page, from the
    # Linux one, and stores file names in the Linux locale's encoding. C.UTF-8
    # exists on every Debian machine and gives both what the tests expect: a
    # Western machine (English, code page 1252) whose file names may hold any
    # character (with a locale Linux lacks, non-ASCII names cannot be made).
    env -u LC_ALL -u LC_CTYPE -u LC_MESSAGES -u LANGUAGE \
        LANG="${VX_WINE_LANG:-C.UTF-8}" \
        DBUS_SYSTEM_BUS_ADDRESS="unix:path=/nonexistent/varrex-no-system-bus" \
        WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=d;mshtml=d" "$@"
}

# Stops the wineserver of $WINEPREFIX and waits until it and every Wine
# process of the prefix are gone: what the programs wrote is then on disk, and
# the next Wine command starts a fresh server, which reads the drive settings
# of the registry again.
vx_wine_server_stop() {
    vx_wine_exec wineserver -k >/dev/null 2>&1
    vx_wine_exec wineserver -w >/dev/null 2>&1
}

vx_wine_marker=".vx-wine-prefix"

vx_wine_fail() {
    echo "wine-prefix: $*" >&2
    return 1
}

vx_wine_require() {
    local tool
    for tool in wine wineboot wineserver; do
        command -v "$tool" >/dev/null 2>&1 ||
            vx_wine_fail "'$tool' is not installed (Debian packages wine and wine64)" || return 1
    done
}

vx_wine_newdir() {
    local base="${TMPDIR:-/tmp}"
    mktemp -d "$base/vx-wine-XXXXXXXX"
}

# Cuts every road from a prefix to the Linux machine: the links that Wine
# puts in the profiles (Desktop, Documents, ... and, deeper down,
# AppData\Roaming\Microsoft\Windows\Templates) to the Linux home become
# empty real folders, at any depth, and every drive but c: goes, the z: drive
# (the Linux root) included. With DRIVE and TARGET ("e:" "../../pendrive"),
# that drive stays too while it links to TARGET. Links are removed, never
# followed. Fails when c: is not the prefix's own drive_c or a link is left
# under drive_c.
vx_wine_sanitise() { # PREFIX [DRIVE TARGET]
    local prefix="$1" keep="${2:-}" keep_target="${3:-}" link entry name
    while IFS= read -r -d '' link; do
        { rm -f -- "$link" && mkdir -- "$link"; } ||
            vx_wine_fail "cannot replace the link $link by a folder" || return 1
    done < <(find "$prefix/drive_c/users" -mindepth 1 -type l -print0)
    # Device nodes such as com1 stay: they expose no files.
    for entry in "$prefix"/dosdevices/*; do
        [ -L "$entry" ] || continue
        name="$(basename -- "$entry")"
        case "$name" in
            c:)
                [ "$(readlink -- "$entry")" = "../drive_c" ] ||
                    vx_wine_fail "drive C: of $prefix is not its own drive_c" || return 1
                ;;
            [a-z]: | [a-z]::)
                if [ -z "$keep" ] || [ "$name" != "$keep" ] || [ "$(readlink -- "$entry")" != "$keep_target" ]; then
                    rm -f -- "$entry"
                fi
                ;;
        esac
    done
    [ -L "$prefix/dosdevices/c:" ] || vx_wine_fail "the prefix $prefix has no drive C:" || return 1
    link="$(find "$prefix/drive_c" -type l -print -quit)"
    [ -z "$link" ] || vx_wine_fail "a symbolic link is left under $prefix/drive_c: $link" || return 1
}

vx_wine_template() {
    vx_wine_require || return 1
    local dir
    dir="$(vx_wine_newdir)" || vx_wine_fail "cannot create a folder under ${TMPDIR:-/tmp}" || return 1
    touch "$dir/$vx_wine_marker"
    (
        export WINEPREFIX="$dir/prefix"
        vx_wine_exec wineboot -i >"$dir/wineboot.log" 2>&1 || exit 1
        # Windows shows names that begin with a dot like any other; Wine
        # marks them hidden unless told otherwise.
        vx_wine_exec wine reg add 'HKCU\Software\Wine' /v ShowDotFiles /d Y /f \
            >>"$dir/wineboot.log" 2>&1 || exit 1
        vx_wine_exec wineserver -w
        # Debian keeps Wine's own fonts (Marlett draws check marks and arrows)
        # where this Wine does not look for them.
        if [ -d /usr/share/wine/fonts ]; then
            cp -- /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        fi
    ) || {
        echo "wine-prefix: wineboot failed; its output:" >&2
        cat "$dir/wineboot.log" >&2
        vx_wine_remove "$dir" >/dev/null 2>&1
        return 1
    }
    [ -d "$dir/prefix/drive_c" ] || {
        vx_wine_remove "$dir" >/dev/null 2>&1
        vx_wine_fail "wineboot made no drive_c"
        return 1
    }
    vx_wine_sanitise "$dir/prefix" || {
        vx_wine_remove "$dir" >/dev/null 2>&1
        return 1
    }
    echo "$dir"
}

vx_wine_clone() {
    local template="$1" dir
    [ -f "$template/$vx_wine_marker" ] && [ -d "$template/prefix/drive_c" ] ||
        vx_wine_fail "'$template' is not a template made by wine-prefix.sh" || return 1
    dir="$(vx_wine_newdir)" || vx_wine_fail "cannot create a folder under ${TMPDIR:-/tmp}" || return 1
    touch "$dir/$vx_wine_marker"
    cp -a -- "$template/prefix" "$dir/prefix" || {
        vx_wine_remove "$dir"
        vx_wine_fail "cannot copy the template"
        return 1
    }
    # The copy is checked again: a template from an older run must not bring
    # the Linux root back.
    vx_wine_sanitise "$dir/prefix" || {
        vx_wine_remove "$dir" >/dev/null 2>&1
        return 1
    }
    echo "$dir"
}

# A test session: a prefix cloned from $VX_WINE_TEMPLATE (or from a template
# of the session's own), removed again on exit together with the driver
# process ($driver_pid), the private X server ($xvfb_pid) and the session's
# own template. Sets prefix_dir and prefix.
# shellcheck disable=SC2317  # run by the EXIT trap
vx_wine_session_cleanup() {
    cd /
    [ -n "${driver_pid:-}" ] && kill "$driver_pid" 2>/dev/null
    [ -n "${prefix_dir:-}" ] && vx_wine_remove "$prefix_dir"
    if [ -n "${xvfb_pid:-}" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    [ -n "${own_template:-}" ] && vx_wine_remove "$own_template"
}

vx_wine_session_begin() {
    template="${VX_WINE_TEMPLATE:-}"
    own_template=""
    prefix_dir=""
    xvfb_pid=""
    driver_pid=""
    trap vx_wine_session_cleanup EXIT
    trap 'exit 130' INT TERM HUP PIPE
    if [ -z "$template" ]; then
        template="$(vx_wine_template)" || vx_wine_fail "cannot build a Wine template prefix" || return 1
        own_template="$template"
    fi
    prefix_dir="$(vx_wine_clone "$template")" ||
        vx_wine_fail "cannot copy the Wine template '$template'" || return 1
    prefix="$prefix_dir/prefix"
}

# Starts a private X server for the session and exports DISPLAY. Xvfb picks a
# free display itself (-displayfd), so parallel runs never race for one.
vx_xvfb_start() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$prefix_dir/display" \
        >"$prefix_dir/xvfb.log" 2>&1 &
    xvfb_pid=$!
    local display="" _
    for _ in $(seq 100); do
        display="$(head -n 1 "$prefix_dir/display" 2>/dev/null)"
        [ -n "$display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$display" ]; then
        cat "$prefix_dir/xvfb.log" >&2
        vx_wine_fail "Xvfb did not start"
        return 1
    fi
    export DISPLAY=":$display"
}

vx_wine_remove() {
    local dir="$1"
    [ -n "$dir" ] || return 0
    [ -d "$dir" ] || return 0
    case "$(basename -- "$dir")" in
        vx-wine-*) ;;
        *) vx_wine_fail "refusing to remove '$dir': not a prefix folder of ours"; return 1 ;;
    esac
    [ -f "$dir/$vx_wine_marker" ] ||
        vx_wine_fail "refusing to remove '$dir': no marker file" || return 1
    if [ -d "$dir/prefix" ] && command -v wineserver >/dev/null 2>&1; then
        WINEPREFIX="$dir/prefix" wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX="$dir/prefix" wineserver -w >/dev/null 2>&1 || true
    fi
    rm -rf --one-file-system -- "$dir"
}

# Run as a command (not sourced).
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -uo pipefail
    case "${1:-}" in
        template) vx_wine_template ;;
        clone) [ $# -eq 2 ] || { echo "usage: $0 clone TEMPLATE" >&2; exit 2; }; vx_wine_clone "$2" ;;
        remove) [ $# -eq 2 ] || { echo "usage: $0 remove PREFIX" >&2; exit 2; }; vx_wine_remove "$2" ;;
        *) echo "usage: $0 template | clone TEMPLATE | remove PREFIX" >&2; exit 2 ;;
    esac
    exit $?
fi
