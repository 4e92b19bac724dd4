#!/usr/bin/env bash
# Times the device disinfection, which keeps every file it deletes in the
# quarantine, against the floor of copying the same files away, and times the
# listing of a 2 GB store:
#
#   quarantine-bench.sh BUILD_DIR [STORE_BYTES [ROUNDS]]
#
# BUILD_DIR is a 64-bit cross build holding
# bench/win32/bench_disinfection_keep.exe. In a fresh sanitised prefix (a copy
# of VX_WINE_TEMPLATE when it is set) the same infected pen drive is built
# again for every timed step, each time as the removable E: in a new folder
# beside the prefix: 3,000 worm shortcuts of 1-2 KB at the root, 30 hidden
# folders of the user's files and a RECYCLER whose user folder holds 3,000
# deleted files of 4-256 KB. Each of ROUNDS rounds (2 by default) times the
# floor, a bare Win32 copy of those 6,000 files into a folder of C: and their
# deletion with one flush at the end, and then the device disinfection, on
# the real platform with its boxes answered at once. Two more runs count and
# time every platform call, to show where the time goes: as the program is,
# and with the volume facts read once per drive and one process snapshot per
# batch of kept files forced by the counting layer (the program itself now
# does both, so the two counted runs should take about the same time).
# Then runs are added to the store until it holds STORE_BYTES (2 GiB by
# default) and the listing of the Quarantine tab is timed, plain and
# counted. Linux's dirty pages are written out (sync) before each step, so
# no timed step pays for the one before. The prefix and its wineserver are
# removed at the end.
#
# A benchmark prints figures; it is not a timed test. It exits non-zero only
# when a step fails.
set -uo pipefail

# shellcheck source=SCRIPTDIR/../../tests/e2e/e2e-common.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../tests/e2e/e2e-common.sh"

if [ $# -lt 1 ] || [ $# -gt 3 ]; then vx_e2e_usage "BUILD_DIR [STORE_BYTES [ROUNDS]]"; fi
vx_e2e_build "$1"
store_goal="${2:-2147483648}"
rounds="${3:-2}"
bench_exe="$build/bench/win32/bench_disinfection_keep.exe"
[ -f "$bench_exe" ] || fail "missing $bench_exe (build the target bench_disinfection_keep first)"
vx_e2e_require display

vx_e2e_session
vx_e2e_install "$drive_c/vxbench" "$bench_exe"

# Runs one step of the bench program; its output is kept in $out and shown.
step() { # NAME ARGUMENTS...
    local name="$1"
    shift
    sync
    out="$(cd "$run_dir" && vx_wine_exec timeout -k 10 3600 wine 'C:\vxbench\bench_disinfection_keep.exe' "$@" |
        tr -d '\r')"
    local status=$?
    printf '    %s\n' "${out//$'\n'/$'\n'    }"
    [ $status -eq 0 ] || fail "the step '$name' failed (exit $status)"
}
value() { sed -n "s/^$1=//p" <<<"$out" | head -n 1; }

# A new drive E: in the folder NAME, filled with the infected drive.
fresh_drive() { # NAME
    vx_e2e_removable_e "$1"
    vx_wine_sanitise "$prefix" e: "../../$1" || fail "the prefix cannot be made safe again"
    mkdir -p "$drive" || fail "cannot make the drive's folder"
    echo "=== drive E: in $1"
    # shellcheck disable=SC1003  # E:\ is a drive's root
    step make make 'E:\'
}

# Rounds of the floor and the disinfection, each on a drive of its own.
floors=()
disinfections=()
n=0
for round in $(seq "$rounds"); do
    n=$((n + 1))
    fresh_drive "drive$n"
    worm_files="$(value worm_files)"
    worm_bytes="$(value worm_bytes)"
    echo "=== round $round: the floor (the worm files copied to a folder of C:, deleted, one flush)"
    # shellcheck disable=SC1003
    step floor floor 'E:\' 'C:\vxfloor'
    floors+=("$(value floor_seconds)")
    floor_flush="$(value floor_flush)"
    rm -rf -- "$drive_c/vxfloor" "$drive"

    n=$((n + 1))
    fresh_drive "drive$n"
    echo "=== round $round: the device disinfection"
    # shellcheck disable=SC1003
    step disinfect disinfect 'E:\'
    disinfections+=("$(value disinfect_seconds)")
    rm -rf -- "$drive"
done

n=$((n + 1))
fresh_drive "drive$n"
echo "=== the device disinfection, every platform call counted"
# shellcheck disable=SC1003
step profile disinfect 'E:\' --profile
profiled_seconds="$(value disinfect_seconds)"
rm -rf -- "$drive"

n=$((n + 1))
fresh_drive "drive$n"
echo "=== the device disinfection, counted, with the volume facts read once per drive and one process snapshot per batch"
# shellcheck disable=SC1003
step what-if disinfect 'E:\' --what-if
what_if_seconds="$(value disinfect_seconds)"
rm -rf -- "$drive"

echo "=== the store filled to $store_goal bytes"
# shellcheck disable=SC1003
step fill fill "$store_goal" 'C:\vxsource'
echo "=== the Quarantine tab's listing"
step list list
store_runs="$(value store_runs)"
store_items="$(value store_items)"
store_bytes="$(value store_bytes)"
list_seconds="$(value list_runs_seconds)"
bytes_seconds="$(value store_bytes_seconds)"
tab_seconds="$(value tab_seconds)"
echo "=== the listing again, every platform call counted"
step list-profile list --profile

echo
echo "quarantine-bench: $(cd "$repo" && git describe --always --dirty 2>/dev/null)"
echo "worm files: $worm_files ($worm_bytes bytes)"
printf '%s\n' "${floors[@]}" >"$prefix_dir/floors"
printf '%s\n' "${disinfections[@]}" >"$prefix_dir/disinfections"
awk -v how="$floor_flush" -v p="$profiled_seconds" -v w="$what_if_seconds" '
    FNR == 1 { file++ }
    file == 1 { f[FNR] = $1; nf = FNR }
    file == 2 { d[FNR] = $1 }
    END {
        best_f = f[1]; best_d = d[1]
        for (i = 1; i <= nf; i++) {
            printf "round %d: floor (copy to C:, delete, one %s flush) %7.2f s; device disinfection %7.2f s; ratio %.2fx\n",
                i, how, f[i], d[i], d[i] / f[i]
            if (f[i] < best_f) best_f = f[i]
            if (d[i] < best_d) best_d = d[i]
        }
        printf "best of %d: floor %.2f s, disinfection %.2f s, ratio %.2fx (target at most 1.5x)\n", nf, best_f, best_d,
            best_d / best_f
        printf "counted run %.2f s; counted run with the volume facts once per drive and one snapshot per batch %.2f s\n", p, w
        printf "    (%.2fx the best floor; the saving carried over to the best plain run: %.2fx)\n", w / best_f,
            (best_d - (p - w)) / best_f
    }' "$prefix_dir/floors" "$prefix_dir/disinfections"
awk -v r="$store_runs" -v i="$store_items" -v b="$store_bytes" -v l="$list_seconds" -v s="$bytes_seconds" \
    -v t="$tab_seconds" 'BEGIN {
    printf "store: %d runs, %d items, %.2f GiB\n", r, i, b / 1073741824
    printf "listing: runs %.3f s + store size %.3f s; whole tab %.3f s (target under 1 s)\n", l, s, t
}'
exit 0
