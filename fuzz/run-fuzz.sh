#!/usr/bin/env bash
# Builds the fuzz targets with Debian's clang (libFuzzer with the address and
# undefined-behaviour sanitizers) in build/fuzz and runs each in turn for its
# own budget, on a copy of its own corpus folder fuzz/corpus/<name>/, so the
# corpora in the repository only change by hand:
#
#   manifest  60 s   the quarantine manifest reader
#   shortcut  45 s   the shell link reader
#   autorun   45 s   the autorun.inf reader
#   command   45 s   the command reader (when fuzz/fuzz_command.cpp exists)
#
# VX_FUZZ_SECONDS gives every target the same budget instead; names given as
# arguments run only those targets (fuzz/run-fuzz.sh shortcut autorun).
#
# Fails when an input crashes a reader, breaks one of the checks of its
# fuzz/fuzz_<name>.cpp, leaks, hangs or runs out of memory. Each such input
# is copied into that target's corpus folder and, once fixed, is to be
# committed there with the fix: every later run replays it first. All the
# targets run even after one fails.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/fuzz

targets=(manifest:60 shortcut:45 autorun:45)
[ -f fuzz/fuzz_command.cpp ] && targets+=(command:45)
if [ $# -gt 0 ]; then
  chosen=()
  for name in "$@"; do
    match=""
    for entry in "${targets[@]}"; do
      [ "${entry%%:*}" = "$name" ] && match="$entry"
    done
    [ -n "$match" ] || { echo "run-fuzz: no target '$name'" >&2; exit 2; }
    chosen+=("$match")
  done
  targets=("${chosen[@]}")
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DVX_FUZZ=ON -DVX_SANITIZE=ON -DVX_BUILD_TESTS=OFF >/dev/null
build_targets=()
for entry in "${targets[@]}"; do build_targets+=("vx_fuzz_${entry%%:*}"); done
cmake --build "$build" -j "$(nproc)" --target "${build_targets[@]}"

if [ -z "${ASAN_SYMBOLIZER_PATH:-}" ] && [ -x /usr/lib/llvm-14/bin/llvm-symbolizer ]; then
  export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
fi
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

failed=()
for entry in "${targets[@]}"; do
  name="${entry%%:*}"
  seconds="${VX_FUZZ_SECONDS:-${entry##*:}}"
  corpus="fuzz/corpus/$name"
  mkdir -p "$corpus" "$work/$name/corpus" "$work/$name/findings"
  cp "$corpus"/* "$work/$name/corpus/" 2>/dev/null || true

  echo "run-fuzz: $name for ${seconds} s"
  status=0
  "$build/fuzz/vx_fuzz_$name" -max_total_time="$seconds" -timeout=10 -max_len=16384 \
    -artifact_prefix="$work/$name/findings/" -print_final_stats=1 "$work/$name/corpus" \
    >"$work/$name/log" 2>&1 || status=$?
  tail -n 40 "$work/$name/log"

  found=0
  for f in "$work/$name"/findings/*; do
    [ -e "$f" ] || continue
    cp "$f" "$corpus/"
    echo "run-fuzz: kept $corpus/$(basename "$f")"
    found=1
  done
  if [ $status -ne 0 ] || [ $found -ne 0 ]; then
    echo "run-fuzz: the $name fuzzer FAILED (exit $status)"
    failed+=("$name")
  else
    echo "run-fuzz: $name: no crash in ${seconds} s"
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "run-fuzz: FAILED: ${failed[*]}"
  exit 1
fi
echo "run-fuzz: no crash in any target"
