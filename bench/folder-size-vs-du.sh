#!/usr/bin/env bash
# Compares the folder-size walk of the temporary-folders tool, run under Wine,
# with 'du -sb' on the same folder:
#
#   folder-size-vs-du.sh BENCH_EXE [ENTRIES]
#
# BENCH_EXE is the cross-built bench_folder_size.exe. A fresh sanitised
# prefix (a copy of VX_WINE_TEMPLATE when it is set) gets a generated tree of
# ENTRIES entries (100000 by default: 100 folders of files of mixed sizes)
# under drive_c, and the bench is copied beside it. Prints both times, both
# byte counts and their ratio. 'du -sb' also counts the folders' own sizes,
# so the apparent file bytes (the sum of the files' sizes, what the walk
# counts) are printed as well. The prefix is removed at the end.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/.." && pwd)"
# shellcheck source-path=SCRIPTDIR/../scripts
. "$repo/scripts/wine-prefix.sh"

fail() {
    echo "folder-size-vs-du: $*" >&2
    exit 1
}

[ $# -ge 1 ] && [ $# -le 2 ] || { echo "usage: $0 BENCH_EXE [ENTRIES]" >&2; exit 2; }
bench="$1"
entries="${2:-100000}"
[ -f "$bench" ] || fail "no bench program '$bench'"
[[ "$entries" =~ ^[0-9]+$ ]] && [ "$entries" -ge 200 ] || fail "ENTRIES must be a number of at least 200"
vx_wine_require || fail "Wine is required"
command -v python3 >/dev/null 2>&1 || fail "python3 is needed to generate the tree"

template="${VX_WINE_TEMPLATE:-}"
own_template=""
prefix_dir=""
# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
    cd /
    [ -n "$prefix_dir" ] && vx_wine_remove "$prefix_dir"
    [ -n "$own_template" ] && vx_wine_remove "$own_template"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP PIPE

if [ -z "$template" ]; then
    template="$(vx_wine_template)" || fail "cannot build a Wine template prefix"
    own_template="$template"
fi
prefix_dir="$(vx_wine_clone "$template")" || fail "cannot copy the Wine template"
prefix="$prefix_dir/prefix"
export WINEPREFIX="$prefix"

work="$prefix/drive_c/vxbench"
tree="$work/tree"
mkdir -p "$tree" && cp -- "$bench" "$work/bench_folder_size.exe" || fail "cannot prepare $work"

# 100 folders; the other entries are files of 0 to 8190 bytes spread over them.
python3 - "$tree" "$entries" <<'PY' || fail "cannot generate the tree"
import os, sys
root, entries = sys.argv[1], int(sys.argv[2])
folders = 100
files = entries - folders
for d in range(folders):
    os.mkdir(os.path.join(root, "d%03d" % d))
for i in range(files):
    with open(os.path.join(root, "d%03d" % (i % folders), "f%06d.dat" % i), "wb") as f:
        f.write(b"v" * ((i * 7919) % 8191))
PY
count="$(find "$tree" -mindepth 1 | wc -l)"
echo "folder-size-vs-du: $count entries under ${tree#"$prefix"/}"

# Wine starts once before the timed run, so its start-up is not measured.
vx_wine_exec wine cmd /c exit >/dev/null 2>&1
sync
cd "$work" || fail "cannot enter $work"
wine_start=$(date +%s.%N)
wine_out="$(vx_wine_exec timeout -k 5 600 wine 'C:\vxbench\bench_folder_size.exe' 'C:\vxbench\tree' 3 2>&1 | tr -d '\r')"
wine_total=$(echo "$(date +%s.%N) - $wine_start" | bc)
echo "$wine_out" | sed 's/^/    bench: /'
first="$(grep -m1 '^run 1:' <<<"$wine_out")"
[ -n "$first" ] || fail "the bench printed no result"
walk_bytes="$(awk '{print $4}' <<<"$first")"
walk_cold="$(awk '{print $6}' <<<"$first")"
walk_warm="$(grep '^run 3:' <<<"$wine_out" | awk '{print $6}')"

du_start=$(date +%s.%N)
du_bytes="$(du -sb "$tree" | cut -f1)"
du_time=$(echo "$(date +%s.%N) - $du_start" | bc)
du_start=$(date +%s.%N)
du -sb "$tree" >/dev/null
du_warm=$(echo "$(date +%s.%N) - $du_start" | bc)
file_bytes="$(find "$tree" -type f -printf '%s\n' | awk '{s += $1} END {printf "%d", s}')"
dir_bytes="$(find "$tree" -type d -printf '%s\n' | awk '{s += $1} END {printf "%d", s}')"

printf 'walk under Wine: %s bytes, %s s first run, %s s third run (wine process %.2f s in all)\n' \
    "$walk_bytes" "$walk_cold" "${walk_warm:-?}" "$wine_total"
printf 'du -sb:          %s bytes, %.3f s first run, %.3f s second run\n' "$du_bytes" "$du_time" "$du_warm"
printf 'file bytes:      %s (du -sb minus the folders'"'"' own %s bytes = %s)\n' \
    "$file_bytes" "$dir_bytes" "$((du_bytes - dir_bytes))"
printf 'ratio walk/du:   time %.1fx (first runs), %.1fx (warm); bytes walk/files %s\n' \
    "$(echo "$walk_cold / $du_time" | bc -l)" "$(echo "${walk_warm:-$walk_cold} / $du_warm" | bc -l)" \
    "$([ "$walk_bytes" = "$file_bytes" ] && echo 'equal' || echo "differ by $((walk_bytes - file_bytes))")"
