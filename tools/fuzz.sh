#!/usr/bin/env bash
# Builds one libFuzzer target with clang-14 (AddressSanitizer and
# UndefinedBehaviorSanitizer on) into ./build-fuzz and runs it.
#   tools/fuzz.sh TARGET SECONDS [libFuzzer options...]
# SECONDS 0 runs without a time limit (give -runs=N then). Targets: the
# fuzz_*.cpp files in fuzz/. The corpus in fuzz/corpus/TARGET seeds the run;
# what the run finds goes to build-fuzz/corpus/TARGET, crashes to
# build-fuzz/findings/. Runs one job, at low priority: the machine is shared.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 2 ]; then
  echo "usage: tools/fuzz.sh TARGET SECONDS [libFuzzer options...]" >&2
  echo "targets: $(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//' | tr '\n' ' ')" >&2
  exit 2
fi
target="$1"; seconds="$2"; shift 2
if [ ! -f "fuzz/$target.cpp" ]; then
  echo "tools/fuzz.sh: no fuzz target '$target' in fuzz/" >&2
  exit 2
fi
if ! command -v clang++-14 >/dev/null; then bash tools/setup.sh; fi
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 \
  -DCMAKE_CXX_COMPILER=clang++-14 -DTANKMON_FUZZ=ON -DTANKMON_TESTS=OFF >/dev/null
nice -n 10 cmake --build build-fuzz --target "$target" -j2 >/dev/null
mkdir -p "build-fuzz/corpus/$target" build-fuzz/findings "fuzz/corpus/$target"
limit=()
if [ "$seconds" != 0 ]; then limit=(-max_total_time="$seconds"); fi
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
exec nice -n 10 "build-fuzz/fuzz/$target" -artifact_prefix=build-fuzz/findings/ \
  -print_final_stats=1 "${limit[@]}" "$@" "build-fuzz/corpus/$target" "fuzz/corpus/$target"
