#!/usr/bin/env bash
# Times the device check of Varrex.exe under Wine against a bare walk of the
# same drive, and how long the window went without answering meanwhile:
#
#   device-check-bench.sh BUILD_DIR
#
# BUILD_DIR is a 64-bit cross build holding Varrex.exe,
# tests/vx_e2e_responsive_driver.exe and bench/win32/bench_tree_walk.exe. In a
# fresh sanitised prefix (a copy of VX_WINE_TEMPLATE when it is set) four
# drives of empty files are made one after the other, each mapped as the
# removable E:: 1,000, 3,000 and 10,000 folders of 10 files (grouped a hundred
# to a top folder) and 30,002 files in one folder. For each drive
# bench_tree_walk.exe times a bare recursive walk, then the driver (in its
# --bench mode) starts Varrex.exe, presses the device check button and times
# the run from the click to its result box while it sends WM_NULL to the main
# window every 100 ms, keeping the longest wait for an answer. One table sums
# it up, with a walk that also looks each file up again by its path (as a
# listing that names each file through a search of its own does). The prefix, its wineserver and the X server are removed at the end.
#
# A benchmark prints figures; it is not a timed test. It exits non-zero only
# when a run fails.
set -uo pipefail

# shellcheck source=SCRIPTDIR/../../tests/e2e/e2e-common.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../tests/e2e/e2e-common.sh"

driver_timeout=900

[ $# -eq 1 ] || vx_e2e_usage BUILD_DIR
vx_e2e_build "$1"
varrex="$(vx_e2e_built Varrex.exe)" || exit 1
driver="$(vx_e2e_built vx_e2e_responsive_driver.exe)" || exit 1
walker="$build/bench/win32/bench_tree_walk.exe"
[ -f "$walker" ] || fail "missing $walker (build the mingw64 preset first)"
vx_e2e_require display

# Folders, files in each, and the name in the table.
layouts=("1000 10 1,000 x 10 files" "3000 10 3,000 x 10 files" "10000 10 10,000 x 10 files"
    "1 30002 30,002 files, one folder")

vx_e2e_session
vx_e2e_install "$drive_c/vxbench" "$varrex" "$driver" "$walker"

result() { sed -n "s/^$1=//p" "$run_dir/bench-results.txt" | tr -d '\r'; }
walk_value() { sed -n "s/.*\b$1=\([0-9.]*\).*/\1/p" <<<"$walk"; }

rows=()
n=0
for layout in "${layouts[@]}"; do
    read -r folders files label <<<"$layout"
    n=$((n + 1))
    vx_e2e_removable_e "drive$n"
    vx_e2e_file_tree "$drive" "$folders" "$files" || fail "cannot fill drive E: ($label)"
    entries="$(find "$drive" -mindepth 1 | wc -l)"
    echo "=== $label: $entries entries"

    # shellcheck disable=SC1003  # E:\ is a drive's root
    walk="$(cd "$run_dir" && vx_wine_exec timeout -k 10 600 wine 'C:\vxbench\bench_tree_walk.exe' 'E:\' | tr -d '\r')" ||
        fail "the walk of $label failed"
    echo "    walk: $walk"
    walked="$(walk_value entries)"
    [ "$walked" = "$entries" ] || fail "the walk saw $walked entries of $entries"

    rm -f "$run_dir/bench-results.txt"
    vx_e2e_run_driver 'C:\vxbench\vx_e2e_responsive_driver.exe' --bench
    [ "$rc" -eq 0 ] || fail "the driver failed on $label (exit $rc)"
    [ "$(result listed_files)" = "$(find "$drive" -type f | wc -l)" ] ||
        echo "    NOTE: the log listed $(result listed_files) files of $(find "$drive" -type f | wc -l)"
    rows+=("$label|$entries|$(walk_value walk_seconds)|$(result check_seconds)|$(result longest_silence_seconds)|$(walk_value walk_lookup_seconds)")
done

echo
echo "device-check-bench: Varrex.exe $(cd "$repo" && git describe --always --dirty 2>/dev/null)"
printf '%s\n' "${rows[@]}" | awk -F'|' '
    BEGIN { printf "%-26s %8s %11s %15s %7s %20s %14s\n", "drive", "entries", "bare walk s", "device check s",
                   "ratio", "longest no-answer s", "walk+lookup s" }
    { printf "%-26s %8d %11.2f %15.2f %6.1fx %20.2f %14.2f\n", $1, $2, $3, $4, ($3 > 0 ? $4 / $3 : 0), $5, $6 }'
exit 0
