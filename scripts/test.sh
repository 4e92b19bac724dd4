#!/usr/bin/env bash
# Builds everything and runs every test on a fresh Debian machine:
#   native unit and contract tests, the same under address and undefined-
#   behaviour sanitizers, a minute of fuzzing of the quarantine manifest's
#   reader, the 64- and 32-bit Windows cross builds (import
#   check), and the contract suite on the real Win32 implementation under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
status=0
step() { echo; echo "=== $* ==="; }

step "native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs" || status=1

step "sanitizer build and tests"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan -j "$jobs" || status=1

step "manifest fuzzing"
fuzz/run-fuzz.sh || status=1

step "Windows builds"
cmake --preset mingw64 >/dev/null
cmake --build --preset mingw64 -j "$jobs"
scripts/check-imports.sh build/mingw64/Varrex.exe || status=1
cmake --preset mingw32 >/dev/null
cmake --build --preset mingw32 -j "$jobs" --target varrex
scripts/check-imports.sh build/mingw32/Varrex.exe || status=1

step "Win32 tests under Wine"
# One sanitised template prefix for the whole run; every test copies it.
VX_WINE_TEMPLATE="$(scripts/wine-prefix.sh template)"
export VX_WINE_TEMPLATE
trap 'scripts/wine-prefix.sh remove "$VX_WINE_TEMPLATE"' EXIT
(cd build/mingw64 && ctest --output-on-failure) || status=1

echo
if [ $status -eq 0 ]; then echo "test.sh: all test steps passed"; else echo "test.sh: SOME TEST STEPS FAILED"; fi
exit $status
