#!/usr/bin/env bash
# Applies the repository's .clang-format to every C++ file git tracks.
#   tools/format.sh           reformat in place
#   tools/format.sh --check   list the files that differ; exit 1 when any does
set -euo pipefail
cd "$(dirname "$0")/.."
fmt=$(command -v clang-format-14 || true)
if [ -z "$fmt" ]; then echo "format.sh: clang-format-14 is missing (tools/setup.sh installs it)" >&2; exit 2; fi
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
case "${1:-}" in
  "") "$fmt" -i "${files[@]}" ;;
  --check)
    bad=0
    for f in "${files[@]}"; do
      if ! "$fmt" --dry-run -Werror "$f" >/dev/null 2>&1; then echo "not formatted: $f"; bad=1; fi
    done
    exit $bad ;;
  *) echo "usage: tools/format.sh [--check]" >&2; exit 2 ;;
esac
