#!/usr/bin/env bash
# Builds Varrex.exe and starts it under Wine, with a sample infected pen drive
# as drive E:.
#
#   run.sh [--fresh]
#
#   1. installs what is missing (scripts/install-deps.sh);
#   2. builds build/mingw64/Varrex.exe;
#   3. prepares the Wine prefix build/run-prefix: made once and reused
#      (--fresh makes it again), sanitised on every run (no z: drive, real
#      empty folders instead of the profile's links into the Linux home);
#   4. writes the sample pen drive build/demo-pendrive afresh, maps it as
#      the removable drive E: and hides the user's folders on it the way
#      the worm does (scripts/make-demo-pendrive.sh);
#   5. copies Varrex.exe to C:\Varrex\Varrex.exe in the prefix and starts it.
#
# With a display (DISPLAY set) the program runs there until it is closed.
# Without one it runs for a few seconds on a private Xvfb server, inside a
# Wine desktop window so it gets a frame, and a screenshot is saved to
# build/varrex-screenshot.png.
#
# Exits non-zero, with a message, when anything fails.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root" || exit 1
# shellcheck source-path=SCRIPTDIR
. "$root/scripts/wine-prefix.sh"

build="$root/build"
prefix="$build/run-prefix"
prefix_stamp="$prefix/.vx-run-prefix"
pendrive="$build/demo-pendrive"
screenshot="$build/varrex-screenshot.png"
logs="$build/run-logs"
desktop_size="1024x768"
# How long the program must have shown its window before the screenshot,
# and how long it may take to show it.
settle_seconds=3
window_timeout=60

say() { echo "run.sh: $*"; }
fail() {
    echo "run.sh: ERROR: $*" >&2
    exit 1
}
seconds_since() { echo $(($(date +%s) - $1)); }

fresh=0
for arg in "$@"; do
    case "$arg" in
        --fresh) fresh=1 ;;
        -h | --help)
            sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'
            exit 0
            ;;
        *) echo "usage: $0 [--fresh]" >&2; exit 2 ;;
    esac
done

started=$(date +%s)
mkdir -p "$build" "$logs" || fail "cannot create $build"

# One run at a time: two runs would share the prefix and the sample drive.
# (A pid file rather than flock: the lock's descriptor would be inherited by
# the wineserver, which outlives this script.)
pidfile="$build/.run.pid"
other="$(cat -- "$pidfile" 2>/dev/null)"
if [[ "$other" =~ ^[0-9]+$ ]] && [ "$other" != $$ ] && kill -0 "$other" 2>/dev/null &&
    tr '\0' ' ' <"/proc/$other/cmdline" 2>/dev/null | grep -q 'run\.sh'; then
    fail "another scripts/run.sh (pid $other) is running in this repository; close its Varrex window first"
fi
echo $$ >"$pidfile"

xvfb_pid=""
wine_used=0
# Ends whatever this run started: the prefix's Wine session, Xvfb, the pid file.
# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
    if [ "$wine_used" -eq 1 ] && [ -d "$prefix/drive_c" ]; then
        WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    [ "$(cat -- "$pidfile" 2>/dev/null)" = $$ ] && rm -f -- "$pidfile"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# --- 1. packages ------------------------------------------------------------

say "checking the packages (scripts/install-deps.sh)"
"$root/scripts/install-deps.sh" || fail "installing the packages failed (see above); run as root or as a user with sudo"
vx_wine_require || fail "Wine is not usable after the installation (Debian packages wine and wine64)"
headless=0
if [ -z "${DISPLAY:-}" ]; then
    headless=1
    for tool in Xvfb import identify; do
        command -v "$tool" >/dev/null 2>&1 ||
            fail "'$tool' is missing after the installation (Debian packages xvfb and imagemagick)"
    done
fi
deps_done=$(date +%s)

# --- 2. build ---------------------------------------------------------------

say "building Varrex.exe (cmake preset mingw64)"
cmake --preset mingw64 >"$logs/cmake-configure.log" 2>&1 || {
    cat "$logs/cmake-configure.log" >&2
    fail "configuring the mingw64 build failed (output above)"
}
cmake --build --preset mingw64 --target varrex || fail "building Varrex.exe failed (compiler output above)"
exe="$build/mingw64/Varrex.exe"
[ -f "$exe" ] || fail "the build finished but $exe is missing"
build_done=$(date +%s)

# --- display ----------------------------------------------------------------

if [ $headless -eq 1 ]; then
    cat <<EOF

run.sh: There is no display (DISPLAY is not set), so you will not see the
        Varrex window. To use the program, run this command where a display
        exists:
          - in a terminal of a Linux desktop session, or
          - over SSH with X forwarding from a machine that runs an X server:
              ssh -X user@this-machine   (then ./scripts/run.sh)
        A virtual screen works too, for instance xvfb-run -a ./scripts/run.sh,
        but the program then waits on a screen nobody sees until it is ended
        (Ctrl-C). For now Varrex runs for a few seconds on a private Xvfb
        server and a screenshot is saved.

EOF
    # Xvfb picks a free display itself (-displayfd), so nothing else on this
    # machine is disturbed.
    Xvfb -displayfd 3 -screen 0 "${desktop_size}x24" -nolisten tcp 3>"$logs/xvfb.display" \
        >"$logs/xvfb.log" 2>&1 &
    xvfb_pid=$!
    display=""
    for _ in $(seq 100); do
        display="$(head -n 1 "$logs/xvfb.display" 2>/dev/null)"
        [ -n "$display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$display" ] || { cat "$logs/xvfb.log" >&2; fail "Xvfb did not start (its output is above)"; }
    export DISPLAY=":$display"
    say "Xvfb runs on display $DISPLAY"
fi

# --- 3. prefix --------------------------------------------------------------

export WINEPREFIX="$prefix"
# Wine's mount manager would map the drives that the desktop's disk service
# (udisks, on the system bus) reports, real pen drives included; the program
# must see only C: and the sample drive.
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=/nonexistent/varrex-no-system-bus"

# Only a folder that this script made (it holds the stamp file), or an empty
# one, is used, stopped or removed as the prefix.
check_prefix_is_ours() {
    [ -e "$prefix" ] || [ -L "$prefix" ] || return 0
    [ -L "$prefix" ] && fail "$prefix is a symbolic link; remove it yourself"
    [ -d "$prefix" ] || fail "$prefix is not a folder; remove it yourself"
    if [ ! -f "$prefix_stamp" ] && [ -n "$(ls -A -- "$prefix")" ]; then
        fail "$prefix was not made by run.sh; move it away or remove it yourself"
    fi
    [ -O "$prefix" ] || fail "$prefix belongs to another user; run as that user or remove it"
}

remove_prefix() {
    [ -e "$prefix" ] || return 0
    check_prefix_is_ours
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    rm -rf --one-file-system -- "$prefix" || fail "cannot remove $prefix"
}

# The shared sanitising (scripts/wine-prefix.sh): no z: drive, no link into
# the Linux home; only c: (and, with "keep-e", the sample drive e:) stays a
# drive.
sanitise_prefix() {
    if [ "${1:-}" = keep-e ]; then
        vx_wine_sanitise "$prefix" e: ../../demo-pendrive || fail "cannot sanitise the prefix $prefix"
    else
        vx_wine_sanitise "$prefix" || fail "cannot sanitise the prefix $prefix"
    fi
}

prefix_ready() {
    [ -d "$prefix" ] && [ ! -L "$prefix" ] && [ -f "$prefix/system.reg" ] && [ -d "$prefix/drive_c" ] &&
        grep -qx ready "$prefix_stamp" 2>/dev/null
}

# Runs a Wine command from inside drive C: (Wine cannot start in a folder
# that the prefix does not map).
wine_in_c() { (cd "$prefix/drive_c" && vx_wine_exec "$@"); }

create_prefix() {
    say "creating the Wine prefix $prefix (once; --fresh makes it again)"
    mkdir -- "$prefix" || fail "cannot create $prefix"
    echo incomplete >"$prefix_stamp"
    (
        cd "$prefix" &&
            vx_wine_exec wineboot -i &&
            # Windows shows names that begin with a dot like any other.
            wine_in_c wine reg add 'HKCU\Software\Wine' /v ShowDotFiles /d Y /f &&
            # E: is a removable drive, as a pen drive is.
            wine_in_c wine reg add 'HKLM\Software\Wine\Drives' /v e: /d floppy /f &&
            # The drive type is read when Wine starts.
            vx_wine_exec wineserver -k
        vx_wine_exec wineserver -w
    ) >"$logs/wineboot.log" 2>&1
    { [ -f "$prefix/system.reg" ] && [ -d "$prefix/drive_c" ] && grep -q '"e:"="floppy"' "$prefix/system.reg"; } || {
        cat "$logs/wineboot.log" >&2
        fail "creating the Wine prefix failed (wineboot output above)"
    }
    sanitise_prefix
    # Wine draws the caption buttons, check marks and arrows of controls with
    # the Marlett font; Debian ships it (package fonts-wine) where this Wine
    # does not look, so the prefix gets a copy of those fonts.
    if [ -d /usr/share/wine/fonts ]; then
        cp -- /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null
    fi
    echo ready >"$prefix_stamp"
}

prefix_started=$(date +%s)
wine_used=1
check_prefix_is_ours
if [ -f "$prefix_stamp" ]; then
    # A Wine session left over in this prefix would keep old drive settings.
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
fi
if [ $fresh -eq 1 ] || ! prefix_ready; then
    [ $fresh -eq 1 ] && [ -e "$prefix" ] && say "--fresh: removing the old prefix"
    remove_prefix
    create_prefix
else
    say "reusing the Wine prefix $prefix"
fi
# Checked on every run: nothing may bring the Linux root or home back.
sanitise_prefix
prefix_done=$(date +%s)

# --- 4. sample pen drive ----------------------------------------------------

# dosdevices/e: -> build/demo-pendrive, relative so the repository may move.
ln -s ../../demo-pendrive "$prefix/dosdevices/e:" || fail "cannot map drive E:"
"$root/scripts/make-demo-pendrive.sh" "$pendrive" E: ||
    fail "preparing the sample pen drive failed (see above)"

# Wine has run now; had it updated the prefix (after a Wine upgrade) or added
# a drive, the links it made go before the program starts.
sanitise_prefix keep-e
[ -L "$prefix/dosdevices/e:" ] || fail "drive E: is not mapped"

# Headless: the program gets a Wine desktop window of the screen's size, so
# its window is drawn with a frame although no window manager runs. With a
# display the desktop's window manager frames it.
desktop_key='HKCU\Software\Wine\AppDefaults\Varrex.exe\Explorer'
desktop_set=0
grep -q 'AppDefaults\\\\Varrex.exe\\\\Explorer' "$prefix/user.reg" 2>/dev/null && desktop_set=1
if [ $headless -eq 1 ] && [ $desktop_set -eq 0 ]; then
    wine_in_c wine cmd /c reg add "$desktop_key" /v Desktop /d Varrex /f "&" \
        reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Varrex /d "$desktop_size" /f \
        >>"$logs/wine.log" 2>&1 || fail "cannot set Wine's desktop for the program"
elif [ $headless -eq 0 ] && [ $desktop_set -eq 1 ]; then
    wine_in_c wine reg delete "$desktop_key" /f >>"$logs/wine.log" 2>&1
fi

# --- 5. the program ---------------------------------------------------------

mkdir -p "$prefix/drive_c/Varrex" && cp -- "$exe" "$prefix/drive_c/Varrex/Varrex.exe" ||
    fail "cannot copy Varrex.exe into the prefix"
ready=$(date +%s)
say "ready in $(seconds_since "$started") s (packages $((deps_done - started)) s, build $((build_done - deps_done)) s, prefix $((prefix_done - prefix_started)) s, sample drive $((ready - prefix_done)) s)"

if [ $headless -eq 0 ]; then
    say "starting C:\\Varrex\\Varrex.exe on display $DISPLAY; close its window to end"
    (cd "$prefix/drive_c/Varrex" && vx_wine_exec wine 'C:\Varrex\Varrex.exe')
    rc=$?
    if [ $rc -ne 0 ]; then
        fail "Varrex.exe ended with exit code $rc; if no window appeared, check that the display $DISPLAY accepts connections from this user"
    fi
    say "Varrex.exe ended"
    exit 0
fi

say "starting C:\\Varrex\\Varrex.exe on the private display $DISPLAY"
(cd "$prefix/drive_c/Varrex" && vx_wine_exec wine 'C:\Varrex\Varrex.exe') >>"$logs/wine.log" 2>&1 &
program_pid=$!

# The screen is one colour until Wine's desktop and then the program's window
# are drawn; a few colours more mean the window is there.
probe="$logs/probe.png"
shown=0
for _ in $(seq $((window_timeout * 2))); do
    sleep 0.5
    if ! kill -0 "$program_pid" 2>/dev/null; then
        wait "$program_pid"
        fail "Varrex.exe ended (exit code $?) before its window appeared; see $logs/wine.log"
    fi
    import -window root "$probe" 2>/dev/null || continue
    colours="$(identify -format '%k' "$probe" 2>/dev/null)"
    if [ "${colours:-0}" -gt 2 ]; then
        shown=1
        break
    fi
done
[ $shown -eq 1 ] || fail "Varrex.exe did not show a window within $window_timeout s; see $logs/wine.log"
sleep "$settle_seconds"
kill -0 "$program_pid" 2>/dev/null || {
    wait "$program_pid"
    fail "Varrex.exe ended (exit code $?) right after showing its window; see $logs/wine.log"
}
rm -f -- "$screenshot"
import -window root "$screenshot" || fail "cannot take the screenshot"
rm -f -- "$probe"

# Closing: the prefix's Wine session ends, then Xvfb (the EXIT trap).
wineserver -k >/dev/null 2>&1
wait "$program_pid" 2>/dev/null
wineserver -w >/dev/null 2>&1
say "Varrex.exe ran for $settle_seconds s after showing its window and was closed"
say "screenshot: $screenshot"
say "total $(seconds_since "$started") s"
exit 0
