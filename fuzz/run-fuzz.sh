#!/usr/bin/env bash
# Builds the manifest fuzzer with Debian's clang (libFuzzer with the address
# and undefined-behaviour sanitizers) in build/fuzz and runs it for about a
# minute (VX_FUZZ_SECONDS) on a copy of fuzz/corpus/manifest/, so the corpus
# in the repository only changes by hand.
#
# Fails when an input crashes the reader, breaks one of the checks of
# fuzz/fuzz_manifest.cpp, leaks, hangs or runs out of memory. Each such input
# is copied into fuzz/corpus/manifest/ and, once fixed, is to be committed
# there with the fix: every later run replays it first.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${VX_FUZZ_SECONDS:-60}"
build=build/fuzz
corpus=fuzz/corpus/manifest

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DVX_FUZZ=ON -DVX_SANITIZE=ON -DVX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target vx_fuzz_manifest

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/findings"
cp "$corpus"/* "$work/corpus/"

if [ -z "${ASAN_SYMBOLIZER_PATH:-}" ] && [ -x /usr/lib/llvm-14/bin/llvm-symbolizer ]; then
  export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
fi
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

status=0
"$build/fuzz/vx_fuzz_manifest" -max_total_time="$seconds" -timeout=10 -max_len=16384 \
  -artifact_prefix="$work/findings/" -print_final_stats=1 "$work/corpus" >"$work/log" 2>&1 || status=$?
tail -n 40 "$work/log"

found=0
for f in "$work"/findings/*; do
  [ -e "$f" ] || continue
  cp "$f" "$corpus/"
  echo "run-fuzz: kept $corpus/$(basename "$f")"
  found=1
done

if [ $status -ne 0 ] || [ $found -ne 0 ]; then
  echo "run-fuzz: the manifest fuzzer FAILED (exit $status)"
  exit 1
fi
echo "run-fuzz: no crash in ${seconds} s"
