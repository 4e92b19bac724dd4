#!/usr/bin/env bash
# The import audit refuses a program that Windows XP would not start, and
# says why:  run-import-audit-test.sh PROBE.exe
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="$("$here/../../scripts/check-imports.sh" "$1" 2>&1)"
rc=$?
echo "$out"
failed=0
[ $rc -ne 0 ] || { echo "FAIL the audit passed a program importing GetTickCount64"; failed=1; }
grep -q 'imports GetTickCount64 from kernel32.dll' <<<"$out" || { echo "FAIL GetTickCount64 is not named"; failed=1; }
grep -q 'SubsystemVersion), later than XP' <<<"$out" || { echo "FAIL the subsystem version 6.0 is not named"; failed=1; }
exit $failed
