#!/usr/bin/env bash
# The layers' include rules, tried for real in the build tree $1: a device
# source may include a scan header; one that includes a computer header, or a
# scan source that includes <windows.h>, does not build, and fails for that
# reason and no other.
set -uo pipefail
build=$1
failures=0

try() {  # try <target>: builds it, output in $out, status in $rc
    out=$(cmake --build "$build" --target "$1" 2>&1)
    rc=$?
}

try vx_probe_device_includes_scan
if [ $rc -ne 0 ]; then
    echo "FAIL: a device source including a scan header did not build:"; echo "$out"; failures=1
else
    echo "ok: a device source builds with a scan header"
fi

# refused <target> <what it tries> <text the failure must show>...
refused() {
    local target=$1 what=$2 text
    shift 2
    try "$target"
    if [ $rc -eq 0 ]; then
        echo "FAIL: $what built"; failures=1; return
    fi
    for text in "$@"; do
        if ! grep -qi -- "$text" <<<"$out"; then
            echo "FAIL: $what failed for another reason:"; echo "$out"; failures=1; return
        fi
    done
    echo "ok: $what does not build"
}

refused vx_probe_device_includes_computer "a device source including a computer header" \
    "computer/computer_places.h" "no such file"
refused vx_probe_scan_includes_windows "a scan source including <windows.h>" \
    "is included above the platform layer"

exit $failures
