#!/usr/bin/env bash
# Runs the end-to-end test of the device check and the device disinfection of
# Varrex.exe under Wine:
#
#   run-device-e2e.sh BUILD_DIR
#
# BUILD_DIR is a 64-bit cross build holding Varrex.exe and
# tests/vx_e2e_device_driver.exe. The test gets its own sanitised prefix (a
# copy of VX_WINE_TEMPLATE when it is set) with a removable drive E:, a folder
# beside the prefix filled with the sample infected pen drive of
# scripts/make-demo-pendrive.sh. The driver presses the two buttons in the
# program's window and checks what it shows; afterwards this script checks the
# drive's files from Linux: the user's files unchanged, the worm's files gone,
# the hiding folder recovered, the automatic log copies written. Between the
# runs the driver infects the drive again (the worm hides new files in
# ".Trashes" and "Drive" while recovery folders of earlier runs are there) and
# disinfects it a second time; last it starts the program from the drive's
# root, as varrex.exe, and checks the now clean drive. Screenshots
# go into BUILD_DIR as e2e-device-check.png and e2e-device.png. The prefix,
# its wineserver and the X server (when one was started) are removed at the
# end.
#
# A missing Wine or Xvfb is an error (exit 1), never a skip; a missing
# ImageMagick 'import' only leaves the screenshots out.
set -uo pipefail

# shellcheck source=SCRIPTDIR/e2e-common.sh
. "$(dirname "${BASH_SOURCE[0]}")/e2e-common.sh"

driver_timeout=240

[ $# -eq 1 ] || vx_e2e_usage BUILD_DIR
vx_e2e_build "$1"
varrex="$(vx_e2e_built Varrex.exe)" || exit 1
driver="$(vx_e2e_built vx_e2e_device_driver.exe)" || exit 1
vx_e2e_require display
vx_e2e_want_screenshots

vx_e2e_session

# --- the removable drive E: -----------------------------------------------------

vx_e2e_demo_drive

# What must survive the disinfection byte for byte: the user's files.
user_folders=(Fotos Documentos "Trabalho escolar")
user_sums() { (cd "$drive" && find "${user_folders[@]}" -type f -print0 | sort -z | xargs -0 sha256sum); }
sums_before="$(user_sums)" || fail "cannot read the user's files of the sample drive"
[ "$(printf '%s\n' "$sums_before" | wc -l)" -ge 7 ] || fail "the sample drive holds fewer user files than expected"
had_drive_folder=0
[ -d "$drive/Drive" ] && [ -f "$drive/Drive.bat" ] && had_drive_folder=1

vx_e2e_install "$drive_c/vxtest" "$varrex" "$driver"

# --- the run ---------------------------------------------------------------------

vx_e2e_run_driver 'C:\vxtest\vx_e2e_device_driver.exe'
vx_e2e_check_driver

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
# The worm came back after the first disinfection (the driver hid new files in
# ".Trashes" and "Drive" and made an earlier "RECUPERADOS"); the second one
# put them in the next free recovery folders, and the program copied to the
# root as varrex.exe found the clean drive clean.
same_bytes() { [ "$(cat -- "$drive/$1" 2>/dev/null)" = "$2" ]; }
check "the earlier RECUPERADOS keeps its file" same_bytes RECUPERADOS/antigo.txt "de uma limpeza antiga"
check "the re-hidden letter is in RECUPERADOS (2)" same_bytes "RECUPERADOS (2)/carta.docx" "carta para a vovo"
check "the re-hidden folder is in RECUPERADOS (2)" same_bytes "RECUPERADOS (2)/Viagem/mapa.jpg" "mapa da viagem"
check "the re-hidden sheet is in RECUPERADOS2 (2)" same_bytes "RECUPERADOS2 (2)/notas.xlsx" "notas do semestre"
check "the worm script of .Trashes is gone" gone "RECUPERADOS (2)/run.js"
check "the program's copy on the drive is still there" cmp -s "$drive/varrex.exe" "$varrex"
expected_root="$(printf '%s\n' "${user_folders[@]}" RECUPERADOS2 RECUPERADOS "RECUPERADOS (2)" "RECUPERADOS2 (2)" \
    varrex.exe | LC_ALL=C sort)"
actual_root="$(cd "$drive" && find . -mindepth 1 -maxdepth 1 -printf '%f\n' | LC_ALL=C sort)"
check "the root holds only the user's folders, the recovery folders and the program" \
    test "$actual_root" = "$expected_root"

# The automatic copies: one per disinfection in each data folder, the same
# text in both, each ending with the verdict.
mapfile -t roaming_all < <(vx_e2e_copy_in Roaming 'vx-pen-*.txt' | LC_ALL=C sort)
mapfile -t local_all < <(vx_e2e_copy_in Local 'vx-pen-*.txt' | LC_ALL=C sort)
check "two log copies in each data folder" test "${#roaming_all[@]}" -eq 2 -a "${#local_all[@]}" -eq 2
for i in "${!roaming_all[@]}"; do
    roaming="${roaming_all[$i]}"
    local_copy="${local_all[$i]:-}"
    vx_e2e_same_copies copies
    vx_e2e_check_log_copy "$roaming" '[VX] > Vírus Encontrados na Unidade E:\! Verifique o relatório!'
done

vx_e2e_finish e2e-device-check e2e-device
