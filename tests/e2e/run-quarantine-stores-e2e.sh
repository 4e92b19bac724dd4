#!/usr/bin/env bash
# Runs the end-to-end test of the quarantine's two stores under Wine, where
# Varrex.exe has administrator rights and keeps in the machine's store:
#
#   run-quarantine-stores-e2e.sh BUILD_DIR
#
# BUILD_DIR is a 64-bit cross build holding Varrex.exe and
# tests/vx_e2e_quarantine_stores_driver.exe. The test gets its own sanitised
# prefix (a copy of VX_WINE_TEMPLATE when it is set) with the sample infected
# pen drive of scripts/make-demo-pendrive.sh as the removable E:, and a file
# standing where the machine store's "Varrex" folder belongs. The driver plants
# a run naming C:\windows\system32\planted.dll and a Run value of the machine
# in the per-user store, disinfects the drive and restores everything (see
# quarantine_stores_driver.cpp for its own checks); afterwards this script
# checks from Linux that the drive is back, that neither planted item was
# written, that the planted run is untouched and that the file was moved aside
# with its bytes. The prefix, its wineserver and the X server (when one was
# started) are removed at the end.
#
# A missing Wine or Xvfb is an error (exit 1), never a skip.
set -uo pipefail

# shellcheck source=SCRIPTDIR/e2e-common.sh
. "$(dirname "${BASH_SOURCE[0]}")/e2e-common.sh"

driver_timeout=420

[ $# -eq 1 ] || vx_e2e_usage BUILD_DIR
vx_e2e_build "$1"
varrex="$(vx_e2e_built Varrex.exe)" || exit 1
driver="$(vx_e2e_built vx_e2e_quarantine_stores_driver.exe)" || exit 1
vx_e2e_require display
vx_e2e_want_screenshots

vx_e2e_session

# --- the removable drive E: and the file in the store's way -------------------------

vx_e2e_demo_drive

drive_sums() { (cd "$drive" && find . -type f -print0 | sort -z | xargs -0 sha256sum | sed 's#^\(.\{66\}\)\./Drive/#\1./RECUPERADOS2/#' | sort -k2); }
sums_before="$(drive_sums)" || fail "cannot read the sample drive"

program_data="$drive_c/ProgramData"
[ -d "$program_data" ] || fail "the prefix has no ProgramData folder"
obstacle="$program_data/Varrex"
[ ! -e "$obstacle" ] || fail "the template prefix already has $obstacle"
printf 'not a folder: a file where the store belongs\r\n' >"$obstacle" || fail "cannot write $obstacle"
obstacle_sum="$(sha256sum <"$obstacle")"

vx_e2e_install "$drive_c/vxtest" "$varrex" "$driver"

# --- the run ----------------------------------------------------------------------------

vx_e2e_run_driver 'C:\vxtest\vx_e2e_quarantine_stores_driver.exe'
vx_e2e_check_driver

# --- afterwards, seen from Linux -----------------------------------------------------------

sums_after="$(drive_sums 2>/dev/null)"
check "every file of E: is back with the same bytes" test "$sums_after" = "$sums_before"
[ "$sums_after" = "$sums_before" ] || diff <(echo "$sums_before") <(echo "$sums_after") | sed 's/^/    /'

system32="$(vx_e2e_to_linux 'C:\windows\system32')" || fail "no system folder"
check "the system folder holds no planted.dll" test -z "$(find "$system32" -maxdepth 1 -iname 'planted*' -print -quit)"
# The wineserver has stopped, so the machine's registry is on disk.
check "the machine's registry is on disk" test -s "$prefix/system.reg"
check "the machine's registry has no value \"Planted\"" test -z "$(grep -i '^"Planted"=' "$prefix/system.reg")"

mapfile -t asides < <(find "$program_data" -maxdepth 1 -name 'Varrex.moved-*')
printf '    %s\n' "${asides[@]}"
check "the file in the store's way was moved aside once" test "${#asides[@]}" -eq 1
check "the moved file keeps its bytes" test "$([ -f "${asides[0]:-}" ] && sha256sum <"${asides[0]}")" = "$obstacle_sum"
check "the machine store is a folder again" test -d "$obstacle/Quarantine" -a ! -L "$obstacle"
check "the machine store holds no run any more" test -z "$(find "$obstacle/Quarantine" -mindepth 1 -print -quit 2>/dev/null)"

user_store="$(find "$drive_c/users" -path '*/AppData/Local/varrex/quarantine' -type d | head -n 1)"
mapfile -t planted < <(find "${user_store:-/nonexistent}" -mindepth 1 -maxdepth 1 -type d)
check "the planted run is still in the per-user store, alone" test "${#planted[@]}" -eq 1
check "the planted run's manifest has no record appended" \
    test "$([ -f "${planted[0]:-}/manifest.txt" ] && grep -c . "${planted[0]}/manifest.txt")" = 4

vx_e2e_finish e2e-quarantine-stores
