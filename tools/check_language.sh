#!/usr/bin/env bash
# The logic folders (src/web too) are handed a Texts and never ask which language the
# program runs in; only src/app and src/ui (and the table itself) may.
#   tools/check_language.sh   lists every offending line; exit 1 when any
set -euo pipefail
cd "$(dirname "$0")/.."
folders=(src/core src/lang src/model src/link src/history src/chart src/consumption src/email src/mqtt src/central src/help src/web)
pattern='\b(LngText|LngLines|LngId|LngLocale|DeviceName|CurrentTexts|SetLngId|LngInit)[[:space:]]*\(|\bg_lngId\b'
if out=$(grep -rnE "$pattern" "${folders[@]}" --include='*.cpp' --include='*.h' \
         | grep -vE '^src/lang/Lng\.(cpp|h):'); then
    printf '%s\n' "$out"
    echo "check_language.sh: the current language is read below src/app; hand the code a Texts instead" >&2
    exit 1
fi
