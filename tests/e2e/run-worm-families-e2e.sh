#!/usr/bin/env bash
# Runs the end-to-end test of Varrex.exe on pen drives infected as three
# shortcut worm families of recent years infect them, under Wine:
#
#   run-worm-families-e2e.sh BUILD_DIR
#
# BUILD_DIR is a 64-bit cross build holding Varrex.exe and
# tests/vx_e2e_worm_families_driver.exe. The families (described in
# worm_families_driver.cpp) hand a file of the drive to a program of Windows:
#   1. cmd opening the hiding folder "_" and running _\DeviceManager.exe
#      (Phorpiex / Trik), checked and disinfected in Portuguese;
#   2. rundll32 loading the root's ~$WQQAS.FAT32, also named by autorun.inf,
#      the user's files in a folder named by one no-break space (Gamarue /
#      Andromeda), checked and disinfected in English;
#   3. cmd reading its commands from the root's Uo.ICO through a Fotos.lnk
#      beside the visible folder Fotos (Raspberry Robin), in Portuguese.
# The test gets its own sanitised prefix (a copy of VX_WINE_TEMPLATE when it
# is set). For each family in turn a fresh folder beside the prefix becomes
# the removable drive E:; the driver infects it through Windows (the shell
# makes the shortcut, SetFileAttributesW hides what the worm hides) and
# writes the plan of its files; this script records their SHA-256; the
# driver then checks, disinfects and checks the drive again with the
# program's buttons; last this script checks the drive from Linux: every
# user file byte for byte in a folder with a readable name, every worm file
# gone and kept in the quarantine's manifest with its SHA-256. Screenshots of
# the three checks go into BUILD_DIR as e2e-worm-family-N-check.png. The
# prefix, its wineserver and the X server (when one was started) are removed
# at the end.
#
# A missing Wine or Xvfb is an error (exit 1), never a skip; a missing
# ImageMagick 'import' only leaves the screenshots out.
set -uo pipefail

# shellcheck source=SCRIPTDIR/e2e-common.sh
. "$(dirname "${BASH_SOURCE[0]}")/e2e-common.sh"

# One family's runs: three runs of the program and its start.
driver_timeout=150

[ $# -eq 1 ] || vx_e2e_usage BUILD_DIR
vx_e2e_build "$1"
varrex="$(vx_e2e_built Varrex.exe)" || exit 1
driver="$(vx_e2e_built vx_e2e_worm_families_driver.exe)" || exit 1
vx_e2e_require display
vx_e2e_want_screenshots

vx_e2e_session
vx_e2e_install "$drive_c/vxtest" "$varrex" "$driver"
driver_exe='C:\vxtest\vx_e2e_worm_families_driver.exe'

# The program runs with administrator rights under Wine: it keeps what it
# deletes in the machine's store. Every file record of every run there, as
# "path TAB sha256".
store="$drive_c/ProgramData/Varrex/Quarantine"
kept_files() {
    find "$store" -name manifest.txt -type f -exec awk -F'\t' '$1 == "file" { print $5 "\t" tolower($11) }' {} + \
        2>/dev/null
}

# A path of the plan (relative to the root, Windows separators) on the drive.
on_drive() { printf '%s/%s' "$drive" "${1//\\//}"; }
sum_of() { sha256sum <"$1" 2>/dev/null | cut -d' ' -f1; }
# shellcheck disable=SC2317  # called through check
gone() { [ ! -e "$1" ] && [ ! -L "$1" ]; }
listing() { (cd "$drive" && find . -mindepth 1 | LC_ALL=C sort | sed 's/^/    /'); }

for n in 1 2 3; do
    echo "=== worm family $n"
    mkdir -p "$prefix_dir/pendrive$n" || fail "cannot make the folder of drive $n"
    vx_e2e_removable_e "pendrive$n"

    # --- the infection, through Windows, and what it wrote -----------------------------
    rm -f "$run_dir/plan-$n.txt"
    (cd "$run_dir" && wine_step wine "$driver_exe" --prepare "$n") | sed 's/^/    /'
    check "family $n: the driver infects E:" test "${PIPESTATUS[0]}" -eq 0
    plan="$run_dir/plan-$n.txt"
    [ -s "$plan" ] || fail "family $n: the driver wrote no plan"
    echo "--- drive E: of family $n, infected:"
    listing

    declare -A before=()
    while IFS=$'\t' read -r kind path after; do
        before["$path"]="$(sum_of "$(on_drive "$path")")"
        [ -n "${before[$path]}" ] || fail "family $n: cannot read $path from Linux"
    done <"$plan"

    # --- the program's runs -------------------------------------------------------------
    vx_e2e_run_driver "$driver_exe" --run "$n"
    vx_e2e_check_driver

    # --- the drive and the quarantine, seen from Linux -------------------------------------
    echo "--- drive E: of family $n, disinfected:"
    listing
    kept="$(kept_files)"
    roots=()
    while IFS=$'\t' read -r kind path after; do
        case "$kind" in
            user)
                check "family $n: $after holds the bytes $path held" \
                    test "$(sum_of "$(on_drive "$after")")" = "${before[$path]}"
                roots+=("${after%%\\*}")
                ;;
            worm)
                check "family $n: $path is gone" gone "$(on_drive "$path")"
                check "family $n: $after is gone" gone "$(on_drive "${after#E:\\}")"
                check "family $n: $after is kept in the quarantine with its bytes" \
                    grep -qxF "$after"$'\t'"${before[$path]}" <<<"$kept"
                ;;
        esac
    done <"$plan"

    # The root holds the folders the user's files are in, with readable
    # names, and nothing else (family 2 may keep the worm's desktop.ini,
    # which holds no code).
    expected_root="$(printf '%s\n' "${roots[@]}" | LC_ALL=C sort -u)"
    actual_root="$(cd "$drive" && find . -mindepth 1 -maxdepth 1 -printf '%f\n' | LC_ALL=C sort)"
    [ "$n" -eq 2 ] && actual_root="$(grep -vx 'desktop.ini' <<<"$actual_root")"
    check "family $n: the root holds only $(echo "$expected_root" | paste -sd, -)" \
        test "$actual_root" = "$expected_root"
    unset before
done

echo "--- the quarantine's file records (path, sha256):"
kept_files | sed 's/^/    /'

vx_e2e_finish e2e-worm-family-1-check e2e-worm-family-2-check e2e-worm-family-3-check
