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
    # One run over all files; each file that differs is named once.
    if out=$("$fmt" --dry-run -Werror "${files[@]}" 2>&1); then exit 0; fi
    printf '%s\n' "$out" | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error.*/not formatted: \1/p' | sort -u
    exit 1 ;;
  *) echo "usage: tools/format.sh [--check]" >&2; exit 2 ;;
esac
