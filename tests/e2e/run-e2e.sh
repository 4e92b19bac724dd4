#!/usr/bin/env bash
# Runs the end-to-end test of varrex.exe under Wine:
#
#   run-e2e.sh BUILD_DIR
#
# BUILD_DIR is a 64-bit cross build holding varrex.exe and
# tests/vx_e2e_driver.exe (and tests/standin.exe, copied as wscript.exe).
# The test gets its own sanitised prefix (a copy of VX_WINE_TEMPLATE when it
# is set) with two more drives: E: a removable drive and D: a CD drive, both
# folders inside the prefix. The driver runs under a private Xvfb server and
# asks for screenshots of the window, which are written into BUILD_DIR as
# e2e-*.png. The prefix, its wineserver and the X server are removed at the end.
#
# A missing Wine or Xvfb is an error (exit 1), never a skip; a missing
# ImageMagick 'import' only leaves the screenshots out.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
# shellcheck source-path=SCRIPTDIR/../../scripts
. "$repo/scripts/wine-prefix.sh"

fail() {
    echo "run-e2e: $*" >&2
    exit 1
}

[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build="$(cd "$1" && pwd)" || fail "no build folder '$1'"
varrex="$build/varrex.exe"
driver="$build/tests/vx_e2e_driver.exe"
standin="$build/tests/standin.exe"
for f in "$varrex" "$driver" "$standin"; do
    [ -f "$f" ] || fail "missing $f (build the mingw64 preset first)"
done

vx_wine_require || fail "Wine is required"
command -v Xvfb >/dev/null 2>&1 || fail "'Xvfb' is not installed (Debian package xvfb)"
have_import=1
command -v import >/dev/null 2>&1 || { have_import=0; echo "run-e2e: no 'import' (imagemagick): no screenshots" >&2; }

started=$(date +%s)
vx_wine_session_begin || exit 1
export WINEPREFIX="$prefix"

# The drives: E: removable, D: a CD drive, each a folder inside the prefix.
mkdir -p "$prefix/drive_e" "$prefix/drive_d" || fail "cannot create the drive folders"
echo "pen drive" >"$prefix/drive_e/leia-me.txt"
ln -s ../drive_e "$prefix/dosdevices/e:" && ln -s ../drive_d "$prefix/dosdevices/d:" ||
    fail "cannot map the drives"
vx_wine_exec wine reg add 'HKLM\Software\Wine\Drives' /v 'e:' /d floppy /f >/dev/null 2>&1 &&
    vx_wine_exec wine reg add 'HKLM\Software\Wine\Drives' /v 'd:' /d cdrom /f >/dev/null 2>&1 ||
    fail "cannot set the drive types"
# No window manager runs on the private X server: Wine draws the window
# frames itself, so the screenshots show the title bar.
vx_wine_exec wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
# The drive types are read when the wineserver starts.
vx_wine_exec wineserver -k >/dev/null 2>&1
vx_wine_exec wineserver -w >/dev/null 2>&1

run_dir="$prefix/drive_c/vxe2e"
mkdir -p "$run_dir" &&
    cp -- "$varrex" "$driver" "$run_dir/" &&
    cp -- "$standin" "$run_dir/wscript.exe" || fail "cannot copy the programs into the prefix"

vx_xvfb_start || exit 1

prepared=$(date +%s)
cd "$run_dir" || fail "cannot enter $run_dir"
vx_wine_exec wine 'C:\vxe2e\vx_e2e_driver.exe' &
driver_pid=$!

# The driver asks for each screenshot with a file "shot-request" holding a
# name and the window's rectangle, and waits for "shot-done".
while kill -0 "$driver_pid" 2>/dev/null; do
    if [ -f "$run_dir/shot-request" ]; then
        read -r name x y w h <"$run_dir/shot-request"
        rm -f "$run_dir/shot-request"
        if [ $have_import -eq 1 ] && [[ "$name" =~ ^[a-z0-9-]+$ ]]; then
            import -window root -crop "${w}x${h}+${x}+${y}" +repage "$build/$name.png" 2>/dev/null ||
                echo "run-e2e: screenshot $name failed" >&2
        fi
        touch "$run_dir/shot-done"
    fi
    sleep 0.1
done
wait "$driver_pid"
rc=$?
driver_pid=""
finished=$(date +%s)
echo "run-e2e: driver exited with $rc (prefix $((prepared - started)) s, run $((finished - prepared)) s)" >&2
exit $rc
