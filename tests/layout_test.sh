#!/usr/bin/env bash
# The dependency rule of the sources: core <- shared desktop pieces <- back-ends <- app. A
# back-end includes no header of another back-end nor of app/; the shared pieces and the core
# include none of either. Usage: layout_test.sh TAVRIN_SOURCE_DIR
set -uo pipefail
cd "$1" || exit 2

# The pieces the back-ends share stand beside platform/, which holds the back-ends alone.
backends=(platform/*/)
failures=0
# Prints every #include "..." in WHERE (folders and files) that names a header under one of the
# prefixes that follow.
forbid() {
    local where=$1 prefixes
    shift
    prefixes=$(IFS='|' && echo "$*")
    ! grep -rnE --include='*.h' --include='*.cpp' "^#include \"($prefixes)" $where ||
        failures=$((failures + 1))
}

# Each back-end's own place in the list taken by app/.
for backend in "${backends[@]}"; do forbid "$backend" "${backends[@]/#$backend/app/}"; done
for piece in desktop xkb; do forbid "$piece" app/ "${backends[@]}"; done
forbid "$(find . -maxdepth 1 -name '*.h' -o -maxdepth 1 -name '*.cpp' | tr '\n' ' ') keys settings" \
    app/ "${backends[@]}" desktop/ xkb/

echo "back-ends: ${backends[*]}; $failures folder(s) break the rule"
[ "$failures" -eq 0 ]
