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

started=$(date +%s)
vx_wine_session_begin || exit 1

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

if [ $use_xvfb -eq 1 ]; then
    vx_xvfb_start || exit 1
fi

export WINEPREFIX="$prefix"
cd "$run_dir" || fail "cannot enter $run_dir"
# Wine's mount manager maps the drives a moment after the prefix starts; a
# program started at once may find no C: among the logical drives and no
# volume facts for it. "vol C:" answers only once the drive is mapped.
ready=0
for _ in $(seq 30); do
    if vx_wine_exec wine cmd /c vol C: >/dev/null 2>&1; then ready=1; break; fi
    sleep 0.5
done
[ $ready -eq 1 ] || fail "the prefix never mapped its drive C:"
prepared=$(date +%s)
vx_wine_exec wine "C:\\vxtest\\$exe_name" "$@"
rc=$?
finished=$(date +%s)
echo "wine-run: $exe_name exited with $rc (prefix $((prepared - started)) s, run $((finished - prepared)) s)" >&2
exit $rc
