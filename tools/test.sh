#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest.
#   tools/test.sh              the normal build in ./build
#   tools/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer
#                              build in ./build-asan; any finding fails its test
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
  "") ;;
  --sanitize)
    bash tools/setup.sh
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTANKMON_SANITIZE=ON >/dev/null
    cmake --build build-asan -j"$(nproc)"
    export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}"
    export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
    exec ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --timeout 600
    ;;
  *) echo "usage: tools/test.sh [--sanitize]" >&2; exit 2 ;;
esac
bash tools/setup.sh
bash tools/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 300
