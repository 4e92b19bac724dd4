#!/usr/bin/env bash
# Runs a Windows test program under Wine in a fresh sanitised prefix:
#
#   wine-run.sh PROGRAM.exe [ARGUMENTS...]
#
# The prefix is a copy of the template named by VX_WINE_TEMPLATE (one is built
# for this run and removed afterwards when it is unset). The program and its
# companions from the same folder (standin.exe, any DLL) are copied to
# C:\vxtest\ in the prefix, since the sanitised prefix has no drive that
# reaches the build folder, and run from there. Without a DISPLAY the program
# runs under a private Xvfb server. The program's exit code is passed
# through; the prefix's wineserver and the Xvfb server are stopped and the
# prefix deleted.
#
# A missing Wine or Xvfb is an error (exit 1), never a skip.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source-path=SCRIPTDIR
. "$here/wine-prefix.sh"

fail() {
    echo "wine-run: $*" >&2
    exit 1
}

[ $# -ge 1 ] || { echo "usage: $0 PROGRAM.exe [ARGUMENTS...]" >&2; exit 2; }
exe="$1"
shift
[ -f "$exe" ] || fail "no program at '$exe'"

vx_wine_require || fail "Wine is required to run Windows tests"
use_xvfb=0
if [ -z "${DISPLAY:-}" ]; then
    command -v Xvfb >/dev/null 2>&1 || fail "no DISPLAY and 'Xvfb' is not installed (Debian package xvfb)"
    use_xvfb=1
fi

template="${VX_WINE_TEMPLATE:-}"
own_template=""
prefix_dir=""
xvfb_pid=""
# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
    cd /
    [ -n "$prefix_dir" ] && vx_wine_remove "$prefix_dir"
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    [ -n "$own_template" ] && vx_wine_remove "$own_template"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP PIPE

started=$(date +%s)
if [ -z "$template" ]; then
    template="$(vx_wine_template)" || fail "cannot build a Wine template prefix"
    own_template="$template"
fi
prefix_dir="$(vx_wine_clone "$template")" || fail "cannot copy the Wine template '$template'"
prefix="$prefix_dir/prefix"

# The program and its companions, copied into the prefix.
exe_dir="$(cd "$(dirname "$exe")" && pwd)"
exe_name="$(basename "$exe")"
run_dir="$prefix/drive_c/vxtest"
mkdir -p "$run_dir" && cp -- "$exe_dir/$exe_name" "$run_dir/" || fail "cannot copy $exe_name into the prefix"
for companion in "$exe_dir"/standin.exe "$exe_dir"/*.dll; do
    if [ -f "$companion" ]; then
        cp -- "$companion" "$run_dir/" || fail "cannot copy $companion into the prefix"
    fi
done

# A private X server: Xvfb picks a free display itself (-displayfd), so
# parallel runs never race for a display number.
if [ $use_xvfb -eq 1 ]; then
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$prefix_dir/display" \
        >"$prefix_dir/xvfb.log" 2>&1 &
    xvfb_pid=$!
    display=""
    for _ in $(seq 100); do
        display="$(head -n 1 "$prefix_dir/display" 2>/dev/null)"
        [ -n "$display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$display" ]; then
        cat "$prefix_dir/xvfb.log" >&2
        fail "Xvfb did not start"
    fi
    export DISPLAY=":$display"
fi

export WINEPREFIX="$prefix"
cd "$run_dir" || fail "cannot enter $run_dir"
prepared=$(date +%s)
vx_wine_exec wine "C:\\vxtest\\$exe_name" "$@"
rc=$?
finished=$(date +%s)
echo "wine-run: $exe_name exited with $rc (prefix $((prepared - started)) s, run $((finished - prepared)) s)" >&2
exit $rc
