#!/usr/bin/env bash
# Runs the end-to-end test of the drive lists following pen drives that come
# and go while Varrex.exe runs, under Wine:
#
#   run-drives-e2e.sh BUILD_DIR
#
# BUILD_DIR is a 64-bit cross build holding Varrex.exe and
# tests/vx_e2e_drives_driver.exe. The test gets its own sanitised prefix (a
# copy of VX_WINE_TEMPLATE when it is set) with the removable drive D: (type
# "floppy" under HKLM\Software\Wine\Drives, which Wine reads when its
# session starts) on an empty folder beside the prefix. While the program
# runs, the driver has Wine's mount manager map the removable drive K: on a
# second folder beside the prefix and unmap it again, as Wine does when a pen
# drive comes and goes (a link made in dosdevices later would be neither
# listed nor removable: Wine learns its drives when the session starts), and
# announces each change to the main window. A screenshot goes into BUILD_DIR
# as e2e-drives.png. The prefix, its wineserver and the X server (when one
# was started) are removed at the end.
#
# A missing Wine or Xvfb is an error (exit 1), never a skip.
set -uo pipefail

# shellcheck source=SCRIPTDIR/e2e-common.sh
. "$(dirname "${BASH_SOURCE[0]}")/e2e-common.sh"

driver_timeout=180

[ $# -eq 1 ] || vx_e2e_usage BUILD_DIR
vx_e2e_build "$1"
varrex="$(vx_e2e_built Varrex.exe)" || exit 1
driver="$(vx_e2e_built vx_e2e_drives_driver.exe)" || exit 1
vx_e2e_require display
vx_e2e_want_screenshots

vx_e2e_session

# --- the two removable drives -------------------------------------------------------

mkdir -p "$prefix_dir/stick-d" "$prefix_dir/stick-k" || fail "cannot make the drives' folders"
echo "a file on the pen drive" >"$prefix_dir/stick-k/leia-me.txt"
wine_step wine reg add 'HKLM\Software\Wine\Drives' /v d: /d floppy /f >/dev/null 2>&1 ||
    fail "cannot make D: a removable drive"
vx_wine_server_stop
# Only C: and D: are drives when the program starts; nothing may lead out of
# the prefix.
for entry in "$prefix"/dosdevices/*; do
    case "$(basename -- "$entry")" in
        c:) ;;
        [a-z]: | [a-z]::) rm -f -- "$entry" ;;
    esac
done
ln -s ../../stick-d "$prefix/dosdevices/d:" || fail "cannot map drive D:"
[ -z "$(find "$prefix/drive_c" -type l -print -quit)" ] || fail "a link out of the prefix appeared under drive_c"

vx_e2e_install "$drive_c/vxtest" "$varrex" "$driver"

# --- the run --------------------------------------------------------------------------

vx_e2e_run_driver 'C:\vxtest\vx_e2e_drives_driver.exe' "$prefix_dir/stick-k"
vx_e2e_check_driver

check "K: is unmapped again" test ! -e "$prefix/dosdevices/k:" -a ! -L "$prefix/dosdevices/k:"
check "the pen drive's file is untouched" test "$(cat "$prefix_dir/stick-k/leia-me.txt")" = "a file on the pen drive"

vx_e2e_finish e2e-drives
