#!/usr/bin/env bash
# The dependency rule of the sources: core <- shared desktop pieces <- back-ends <- app. A
# back-end includes no header of another back-end nor of app/; the shared pieces and the core
# include none of either. Usage: layout_test.sh TAVRIN_SOURCE_DIR
set -uo pipefail
cd "$1" || exit 2

# The pieces the back-ends share stand beside platform/, which holds the back-ends alone.
shared=(desktop xkb)
backends=()
for dir in platform/*/; do backends+=("$(basename "$dir")"); done

failures=0
# Every #include "..." of the files below FOLDER (or of the files themselves) that names a header
# under one of the forbidden prefixes.
forbid() {
    local what=$1
    shift
    local pattern=$(printf '%s|' "$@")
    local found
    found=$(grep -rnE --include='*.h' --include='*.cpp' "^#include \"(${pattern%|})" $what)
    if [ -n "$found" ]; then
        echo "$found"
        failures=$((failures + 1))
    fi
}

for backend in "${backends[@]}"; do
    others=(app/)
    for other in "${backends[@]}"; do
        [ "$other" = "$backend" ] || others+=("platform/$other/")
    done
    forbid "platform/$backend" "${others[@]}"
done
everyBackend=(app/)
for backend in "${backends[@]}"; do everyBackend+=("platform/$backend/"); done
for piece in "${shared[@]}"; do forbid "$piece" "${everyBackend[@]}"; done
forbid "$(find . -maxdepth 1 -name '*.h' -o -maxdepth 1 -name '*.cpp' | tr '\n' ' ') keys settings" \
    "${everyBackend[@]}" desktop/ xkb/

echo "back-ends: ${backends[*]}; $failures folder(s) break the rule"
[ "$failures" -eq 0 ]
