#!/usr/bin/env bash
# Runs the end-to-end test of the device check and the device disinfection of
# varrex.exe under Wine:
#
#   run-device-e2e.sh BUILD_DIR
#
# BUILD_DIR is a 64-bit cross build holding varrex.exe and
# tests/vx_e2e_device_driver.exe. The test gets its own sanitised prefix (a
# copy of VX_WINE_TEMPLATE when it is set) with a removable drive E:, a folder
# beside the prefix filled with the sample infected pen drive of
# scripts/make-demo-pendrive.sh. The driver presses the two buttons in the
# program's window and checks what it shows; afterwards this script checks the
# drive's files from Linux: the user's files unchanged, the worm's files gone,
# the hiding folder recovered, the automatic log copies written. Screenshots
# go into BUILD_DIR as e2e-device-check.png and e2e-device.png. The prefix,
# its wineserver and the X server (when one was started) are removed at the
# end.
#
# A missing Wine or Xvfb is an error (exit 1), never a skip; a missing
# ImageMagick 'import' only leaves the screenshots out.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
# shellcheck source-path=SCRIPTDIR/../../scripts
. "$repo/scripts/wine-prefix.sh"

# How long the driver may take before the run counts as hung.
driver_timeout=240

fail() {
    echo "run-device-e2e: $*" >&2
    exit 1
}

[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build="$(cd "$1" && pwd)" || fail "no build folder '$1'"
varrex="$build/varrex.exe"
driver="$build/tests/vx_e2e_device_driver.exe"
for f in "$varrex" "$driver"; do
    [ -f "$f" ] || fail "missing $f (build the mingw64 preset first)"
done

vx_wine_require || fail "Wine is required"
use_xvfb=0
if [ -z "${DISPLAY:-}" ]; then
    command -v Xvfb >/dev/null 2>&1 || fail "no DISPLAY and 'Xvfb' is not installed (Debian package xvfb)"
    use_xvfb=1
fi
have_import=1
command -v import >/dev/null 2>&1 || { have_import=0; echo "run-device-e2e: no 'import' (imagemagick): no screenshots" >&2; }

failures=0
check() {
    local what="$1"
    shift
    if "$@"; then
        echo "ok   $what"
    else
        echo "FAIL $what"
        failures=$((failures + 1))
    fi
}

started=$(date +%s)
vx_wine_session_begin || exit 1
export WINEPREFIX="$prefix"

# --- the removable drive E: -----------------------------------------------------

# The X server comes first: the Wine session that the preparation starts
# keeps the display it found, and without one no window can be made in it.
if [ $use_xvfb -eq 1 ]; then
    vx_xvfb_start || exit 1
fi

# The drive's folder sits beside the prefix, inside the folder that is removed
# with it; make-demo-pendrive.sh creates it.
drive="$prefix_dir/pendrive"
ln -s ../../pendrive "$prefix/dosdevices/e:" || fail "cannot map drive E:"
vx_wine_exec wine reg add 'HKLM\Software\Wine\Drives' /v 'e:' /d floppy /f >/dev/null 2>&1 ||
    fail "cannot make E: a removable drive"
# No window manager runs on a private X server: Wine draws the window frames
# itself, so the screenshots show the title bar.
vx_wine_exec wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
# The drive types are read when the wineserver starts.
vx_wine_exec wineserver -k >/dev/null 2>&1
vx_wine_exec wineserver -w >/dev/null 2>&1

"$repo/scripts/make-demo-pendrive.sh" "$drive" E: || fail "cannot write the sample pen drive"

# Wine has run again: only C: and E: may be drives, and nothing under drive_c
# may lead out of the prefix.
for entry in "$prefix"/dosdevices/*; do
    case "$(basename -- "$entry")" in
        c: | e:) ;;
        [a-z]: | [a-z]::) rm -f -- "$entry" ;;
    esac
done
[ "$(readlink -- "$prefix/dosdevices/e:")" = ../../pendrive ] || fail "drive E: is not the sample drive"
[ -z "$(find "$prefix/drive_c" -type l -print -quit)" ] || fail "a link out of the prefix appeared under drive_c"

# What must survive the disinfection byte for byte: the user's files.
user_folders=(Fotos Documentos "Trabalho escolar")
user_sums() { (cd "$drive" && find "${user_folders[@]}" -type f -print0 | sort -z | xargs -0 sha256sum); }
sums_before="$(user_sums)" || fail "cannot read the user's files of the sample drive"
[ "$(printf '%s\n' "$sums_before" | wc -l)" -ge 7 ] || fail "the sample drive holds fewer user files than expected"
had_drive_folder=0
[ -d "$drive/Drive" ] && [ -f "$drive/Drive.bat" ] && had_drive_folder=1

run_dir="$prefix/drive_c/vxtest"
mkdir -p "$run_dir" && cp -- "$varrex" "$driver" "$run_dir/" || fail "cannot copy the programs into the prefix"

# --- the run ---------------------------------------------------------------------

prepared=$(date +%s)
cd "$run_dir" || fail "cannot enter $run_dir"
vx_wine_exec wine 'C:\vxtest\vx_e2e_device_driver.exe' &
driver_pid=$!

# The driver asks for each screenshot with a file "shot-request" holding a
# name and the window's rectangle, and waits for "shot-done".
hung=0
while kill -0 "$driver_pid" 2>/dev/null; do
    if [ $(($(date +%s) - prepared)) -gt $driver_timeout ]; then
        hung=1
        kill "$driver_pid" 2>/dev/null
        break
    fi
    if [ -f "$run_dir/shot-request" ]; then
        read -r name x y w h <"$run_dir/shot-request"
        rm -f "$run_dir/shot-request"
        if [ $have_import -eq 1 ] && [[ "$name" =~ ^[a-z0-9-]+$ ]]; then
            import -window root -crop "${w}x${h}+${x}+${y}" +repage "$build/$name.png" 2>/dev/null ||
                echo "run-device-e2e: screenshot $name failed" >&2
        fi
        touch "$run_dir/shot-done"
    fi
    sleep 0.1
done
wait "$driver_pid"
rc=$?
driver_pid=""
finished=$(date +%s)
[ $hung -eq 0 ] || fail "the driver did not finish within $driver_timeout s"
# Everything the program wrote is on disk once its wineserver is gone.
vx_wine_exec wineserver -k >/dev/null 2>&1
vx_wine_exec wineserver -w >/dev/null 2>&1
cd "$prefix_dir" || fail "cannot enter $prefix_dir"
echo "run-device-e2e: driver exited with $rc (prefix $((prepared - started)) s, run $((finished - prepared)) s)"
check "the driver's checks passed" test "$rc" -eq 0

# --- the drive and the log copies, seen from Linux ---------------------------------

echo "--- drive E: afterwards:"
(cd "$drive" && find . -mindepth 1 | sort | sed 's/^/    /')

sums_after="$(user_sums 2>/dev/null)"
check "the user's files are all there with the same bytes" test "$sums_after" = "$sums_before"
[ "$sums_after" = "$sums_before" ] || diff <(echo "$sums_before") <(echo "$sums_after") | sed 's/^/    /'

gone() { [ ! -e "$drive/$1" ] && [ ! -L "$drive/$1" ]; }
for worm in x.vbs USB.exe autorun.inf Drive.bat RECYCLER Fotos.lnk Documentos.lnk "Trabalho escolar.lnk"; do
    check "$worm is gone" gone "$worm"
done
check "no shortcut is left at the root" test -z "$(find "$drive" -maxdepth 1 -iname '*.lnk' -print -quit)"
if [ $had_drive_folder -eq 1 ]; then
    check "the hiding folder Drive is gone" gone Drive
    check "it became RECUPERADOS2" test -d "$drive/RECUPERADOS2"
    check "the worm script in it is gone" gone RECUPERADOS2/update.js
fi
expected_root="$(printf '%s\n' "${user_folders[@]}" RECUPERADOS2 | LC_ALL=C sort)"
actual_root="$(cd "$drive" && find . -mindepth 1 -maxdepth 1 -printf '%f\n' | LC_ALL=C sort)"
check "the root holds only the user's folders and RECUPERADOS2" test "$actual_root" = "$expected_root"

# The automatic copies: one in each data folder, the same text, ending with
# the verdict (written in the ANSI code page, lines ending in CR LF).
copy_in() { find "$prefix/drive_c/users" -path "*/AppData/$1/varrex/vx-pen-*.txt" -type f; }
roaming="$(copy_in Roaming)"
local_copy="$(copy_in Local)"
check "one log copy vx-pen-*.txt in AppData/Roaming/varrex" test "$(printf '%s' "$roaming" | grep -c .)" -eq 1
check "one log copy vx-pen-*.txt in AppData/Local/varrex" test "$(printf '%s' "$local_copy" | grep -c .)" -eq 1
if [ -f "$roaming" ] && [ -f "$local_copy" ]; then
    echo "    $(basename -- "$roaming")"
    check "both copies have the same name" test "$(basename -- "$roaming")" = "$(basename -- "$local_copy")"
    check "both copies hold the same bytes" cmp -s "$roaming" "$local_copy"
    text="$(iconv -f CP1252 -t UTF-8 "$roaming" | tr -d '\r')"
    check "the copy starts with the version line" test "$(head -n 1 <<<"$text")" = "[VX] - Varrex - Versão: 2.7.5 - "
    check "the copy ends with the verdict line" \
        test "$(tail -n 1 <<<"$text")" = '[VX] > Vírus Encontrados na Unidade E:\! Verifique o relatório!'
    check "the copy's lines end in CR LF" test "$(grep -c $'\r$' "$roaming")" -eq "$(wc -l <"$roaming")"
fi

for shot in e2e-device-check e2e-device; do
    [ -f "$build/$shot.png" ] && echo "run-device-e2e: screenshot $build/$shot.png"
done
echo "run-device-e2e: $failures check(s) failed here, total $(($(date +%s) - started)) s"
[ $failures -eq 0 ] || exit 1
exit 0
