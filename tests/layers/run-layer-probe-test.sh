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

try vx_probe_device_includes_computer
if [ $rc -eq 0 ]; then
    echo "FAIL: a device source including a computer header built"; failures=1
elif ! grep -q "computer/computer_places.h" <<<"$out" || ! grep -qi "no such file" <<<"$out"; then
    echo "FAIL: the device probe failed for another reason:"; echo "$out"; failures=1
else
    echo "ok: a device source including a computer header does not build"
fi

try vx_probe_scan_includes_windows
if [ $rc -eq 0 ]; then
    echo "FAIL: a scan source including <windows.h> built"; failures=1
elif ! grep -q "is included above the platform layer" <<<"$out"; then
    echo "FAIL: the <windows.h> probe failed for another reason:"; echo "$out"; failures=1
else
    echo "ok: a scan source including <windows.h> does not build"
fi

exit $failures
