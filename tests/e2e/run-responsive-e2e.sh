#!/usr/bin/env bash
# Runs the end-to-end test of the window's answers during a long device check
# of Varrex.exe under Wine:
#
#   run-responsive-e2e.sh BUILD_DIR
#
# BUILD_DIR is a 64-bit cross build holding Varrex.exe and
# tests/vx_e2e_responsive_driver.exe. The test gets its own sanitised prefix
# (a copy of VX_WINE_TEMPLATE when it is set) with a removable drive E:, a
# folder beside the prefix holding 3,000 folders of 10 empty files (33,030
# entries). The driver presses the device check button and, while the check
# runs, checks that the window answers within 2 s throughout and that a click
# on the English button made during the run takes effect only after the run's
# result box. This script then checks that the log lists every file of the
# drive once. The prefix, its wineserver and the X server (when one was
# started) are removed at the end.
#
# A missing Wine or Xvfb is an error (exit 1), never a skip.
set -uo pipefail

# shellcheck source=SCRIPTDIR/e2e-common.sh
. "$(dirname "${BASH_SOURCE[0]}")/e2e-common.sh"

driver_timeout=150

[ $# -eq 1 ] || vx_e2e_usage BUILD_DIR
vx_e2e_build "$1"
varrex="$(vx_e2e_built Varrex.exe)" || exit 1
driver="$(vx_e2e_built vx_e2e_responsive_driver.exe)" || exit 1
vx_e2e_require display

vx_e2e_session
vx_e2e_removable_e bigdrive
vx_e2e_file_tree "$drive" 3000 10 || fail "cannot fill drive E:"
# Each file of the drive as the log names it.
expected="$(cd "$drive" && find . -type f | sed 's|^\./|[VX] - E:\\|; s|/|\\|g' | LC_ALL=C sort)"
files="$(grep -c . <<<"$expected")"
echo "$vx_e2e_name: drive E: holds $(find "$drive" -mindepth 1 | wc -l) entries, $files of them files"

vx_e2e_install "$drive_c/vxtest" "$varrex" "$driver"
vx_e2e_run_driver 'C:\vxtest\vx_e2e_responsive_driver.exe'
vx_e2e_check_driver

# shellcheck disable=SC1003  # the lines begin with E:\
listed="$(tr -d '\r' <"$run_dir/log.txt" 2>/dev/null | grep -a '^\[VX\] - E:\\' | LC_ALL=C sort)"
check "the log lists each of the drive's $files files once" test "$listed" = "$expected"
if [ "$listed" != "$expected" ]; then
    echo "    listed $(grep -c . <<<"$listed") lines; missing or repeated (first 5):"
    diff <(echo "$expected") <(echo "$listed") | grep '^[<>]' | head -n 5 | sed 's/^/    /'
fi

vx_e2e_finish
