#!/usr/bin/env bash
# Runs the end-to-end test of Varrex.exe under Wine:
#
#   run-e2e.sh BUILD_DIR
#
# BUILD_DIR is a 64-bit cross build holding Varrex.exe and
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

# shellcheck source=SCRIPTDIR/e2e-common.sh
. "$(dirname "${BASH_SOURCE[0]}")/e2e-common.sh"

[ $# -eq 1 ] || vx_e2e_usage BUILD_DIR
vx_e2e_build "$1"
varrex="$(vx_e2e_built Varrex.exe)" || exit 1
driver="$(vx_e2e_built vx_e2e_driver.exe)" || exit 1
standin="$(vx_e2e_built standin.exe)" || exit 1
vx_e2e_require private-x
vx_e2e_want_screenshots

vx_e2e_session

# The drives: E: removable, D: a CD drive, each a folder inside the prefix.
mkdir -p "$prefix/drive_e" "$prefix/drive_d" || fail "cannot create the drive folders"
echo "pen drive" >"$prefix/drive_e/leia-me.txt"
ln -s ../drive_e "$prefix/dosdevices/e:" && ln -s ../drive_d "$prefix/dosdevices/d:" ||
    fail "cannot map the drives"
vx_wine_exec wine reg add 'HKLM\Software\Wine\Drives' /v 'e:' /d floppy /f >/dev/null 2>&1 &&
    vx_wine_exec wine reg add 'HKLM\Software\Wine\Drives' /v 'd:' /d cdrom /f >/dev/null 2>&1 ||
    fail "cannot set the drive types"
# The drive types are read when the wineserver starts.
vx_wine_server_stop

vx_e2e_install "$drive_c/vxe2e" "$varrex" "$driver"
cp -- "$standin" "$run_dir/wscript.exe" || fail "cannot copy the programs into the prefix"

vx_e2e_run_driver 'C:\vxe2e\vx_e2e_driver.exe'
vx_e2e_driver_line >&2
exit $rc
