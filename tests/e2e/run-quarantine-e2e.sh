#!/usr/bin/env bash
# Runs the end-to-end test of the quarantine of Varrex.exe under Wine:
#
#   run-quarantine-e2e.sh BUILD_DIR
#
# BUILD_DIR is a 64-bit cross build holding Varrex.exe and
# tests/vx_e2e_quarantine_driver.exe. The test gets its own sanitised prefix
# (a copy of VX_WINE_TEMPLATE when it is set) with the sample infected pen
# drive of scripts/make-demo-pendrive.sh as the removable E:, and a worm's
# script and Run value on the computer. The driver disinfects the drive and
# the computer, then on the Quarantine tab restores one shortcut, one Run
# value and then everything (see quarantine_driver.cpp for its own checks);
# afterwards this script checks the drive, the computer's file and the
# registry from Linux. The prefix, its wineserver and the X server (when one
# was started) are removed at the end.
#
# A missing Wine or Xvfb is an error (exit 1), never a skip.
set -uo pipefail

# shellcheck source=SCRIPTDIR/e2e-common.sh
. "$(dirname "${BASH_SOURCE[0]}")/e2e-common.sh"

driver_timeout=420

[ $# -eq 1 ] || vx_e2e_usage BUILD_DIR
vx_e2e_build "$1"
varrex="$(vx_e2e_built Varrex.exe)" || exit 1
driver="$(vx_e2e_built vx_e2e_quarantine_driver.exe)" || exit 1
vx_e2e_require display
vx_e2e_want_screenshots

vx_e2e_session

# --- the removable drive E: and the computer's worm --------------------------------

vx_e2e_demo_drive

run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
wine_step wine reg add "$run_key" /v 'Microsoft Excel' /d 'wscript.exe Microsoft Excel.WsF' /f >/dev/null 2>&1 ||
    fail "cannot seed the Run value"
appdata_win="$(wine_step wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r' | tail -n 1)"
appdata="$(vx_e2e_to_linux "$appdata_win")" || fail "the roaming application data '$appdata_win' is not on drive C"
worm_script="$appdata/Microsoft Office/Microsoft Excel.WsF"
mkdir -p "$(dirname -- "$worm_script")" && printf '<job><script>WScript.Echo(1)</script></job>\r\n' >"$worm_script" ||
    fail "cannot seed the worm script"
script_sum="$(sha256sum <"$worm_script")"
drive_sums() { (cd "$drive" && find . -type f -print0 | sort -z | xargs -0 sha256sum | sed 's#^\(.\{66\}\)\./Drive/#\1./RECUPERADOS2/#' | sort -k2); }
sums_before="$(drive_sums)" || fail "cannot read the sample drive"

vx_e2e_install "$drive_c/vxtest" "$varrex" "$driver"

# --- the run ----------------------------------------------------------------------------

vx_e2e_run_driver 'C:\vxtest\vx_e2e_quarantine_driver.exe'
vx_e2e_check_driver

# --- afterwards, seen from Linux -----------------------------------------------------------

sums_after="$(drive_sums 2>/dev/null)"
check "every file of E: is back with the same bytes" test "$sums_after" = "$sums_before"
[ "$sums_after" = "$sums_before" ] || diff <(echo "$sums_before") <(echo "$sums_after") | sed 's/^/    /'
check "the worm script of the computer is back" test "$(sha256sum <"$worm_script" 2>/dev/null)" = "$script_sum"
query="$(wine_step wine reg query "$run_key" /v 'Microsoft Excel' 2>/dev/null | tr -d '\r')"
echo "$query" | sed 's/^/    /'
check "reg query finds the Run value again" grep -q 'Microsoft Excel.*REG_SZ.*wscript.exe Microsoft Excel.WsF' <<<"$query"
store="$prefix/drive_c/ProgramData/Varrex/Quarantine"
check "the machine store was made" test -d "$store"
check "the store is empty" test -z "$(find "$store" -mindepth 1 -print -quit 2>/dev/null)"
check "nothing was kept in the per-user store" test -z "$(find "$prefix/drive_c/users" -path '*/AppData/Local/varrex/quarantine' -print -quit)"

vx_e2e_finish e2e-quarantine
