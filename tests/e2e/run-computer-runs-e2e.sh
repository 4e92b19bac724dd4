#!/usr/bin/env bash
# Runs the end-to-end test of the start-up entries that run a worm's code
# through interpreters, under Wine:
#
#   run-computer-runs-e2e.sh BUILD_DIR
#
# BUILD_DIR is a 64-bit cross build holding Varrex.exe and
# tests/vx_e2e_computer_runs_driver.exe. The test gets its own sanitised
# prefix (a copy of VX_WINE_TEMPLATE when it is set). The driver seeds a
# Startup shortcut running a script through wscript and an HKCU RunOnce value
# running a DLL through rundll32, runs the computer check and disinfection
# and restores everything from the Quarantine tab (see computer_runs_driver.cpp
# for its own checks); afterwards this script checks from Linux that the
# store is empty and, with Wine's reg, that the value is back. The prefix,
# its wineserver and the X server (when one was started) are removed at the
# end.
#
# A missing Wine or Xvfb is an error (exit 1), never a skip.
set -uo pipefail

# shellcheck source=SCRIPTDIR/e2e-common.sh
. "$(dirname "${BASH_SOURCE[0]}")/e2e-common.sh"

driver_timeout=170

[ $# -eq 1 ] || vx_e2e_usage BUILD_DIR
vx_e2e_build "$1"
varrex="$(vx_e2e_built Varrex.exe)" || exit 1
driver="$(vx_e2e_built vx_e2e_computer_runs_driver.exe)" || exit 1
vx_e2e_require display
vx_e2e_want_screenshots

vx_e2e_session
vx_e2e_install "$drive_c/vxtest" "$varrex" "$driver"

vx_e2e_run_driver 'C:\vxtest\vx_e2e_computer_runs_driver.exe'
vx_e2e_check_driver

query="$(wine_step wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce' /v lpsvc 2>/dev/null | tr -d '\r')"
echo "$query" | sed 's/^/    /'
check "reg query finds the RunOnce value again" grep -q 'lpsvc.*REG_EXPAND_SZ.*rundll32.exe' <<<"$query"
store="$drive_c/ProgramData/Varrex/Quarantine"
check "the machine store was made" test -d "$store"
check "the store is empty after the restore" test -z "$(find "$store" -mindepth 1 -print -quit 2>/dev/null)"
check "the Startup shortcut is back" \
    test -n "$(find "$drive_c/users" -ipath '*/Start Menu/Programs/Startup/Atualizador.lnk' -print -quit)"

vx_e2e_finish e2e-computer-runs
