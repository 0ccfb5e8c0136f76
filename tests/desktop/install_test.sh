#!/usr/bin/env bash
# Installs the build under a temporary DESTDIR with the prefix /usr, as the package does, and
# checks the tree: exactly the expected files, each valid, one version throughout, and the
# autostart entry of the installed program naming it and its icon.
# Usage: install_test.sh BUILD_DIR VERSION WRITE_AUTOSTART BUILT_TAVRIN
set -uo pipefail
build=$1 version=$2 write_autostart=$3 built_tavrin=$4
root=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-install.XXXXXX")
trap 'rm -rf "$root"' EXIT
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}" LC_ALL=C.UTF-8
failed=0
fail() { echo "FAIL: $*"; failed=1; }
# Runs a checker; any output (warnings included) or a failing status is a failure.
clean() { # WHAT COMMAND...
    local out
    if ! out=$("${@:2}" 2>&1) || [ -n "$out" ]; then fail "$1: ${out:-failed}"; fi
}

DESTDIR=$root/dest cmake --install "$build" --prefix /usr >"$root/install.log" 2>&1 ||
    { cat "$root/install.log"; exit 1; }
usr=$root/dest/usr
gnome_extension=$(grep -q '^TAVRIN_GNOME:BOOL=ON' "$build/CMakeCache.txt" && echo yes)

expected=$(printf '%s\n' bin/tavrin \
    share/applications/org.tavrin.Tavrin.desktop share/metainfo/org.tavrin.Tavrin.metainfo.xml \
    share/icons/hicolor/scalable/apps/tavrin.svg \
    share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48}/apps/tavrin.png \
    share/man/man1/tavrin.1.gz share/doc/tavrin/{changelog.gz,copyright,input-access.html} \
    ${gnome_extension:+share/gnome-shell/extensions/tavrin@tavrin.org/extension.js} \
    ${gnome_extension:+share/gnome-shell/extensions/tavrin@tavrin.org/metadata.json} | sort)
actual=$(cd "$usr" && find . ! -type d | sed 's|^\./||' | sort)
[ "$actual" = "$expected" ] ||
    fail "installed files differ from the expected ones: $(diff <(echo "$expected") <(echo "$actual") | grep '^[<>]')"

clean "menu entry" desktop-file-validate "$usr/share/applications/org.tavrin.Tavrin.desktop"
metainfo=$usr/share/metainfo/org.tavrin.Tavrin.metainfo.xml
{ out=$(appstreamcli validate --no-net "$metainfo" 2>&1) && ! grep -q '^[EWI]:' <<<"$out"; } ||
    fail "metainfo: $out"
clean "manual page" mandoc -T lint -W all "$usr/share/man/man1/tavrin.1.gz"

# The GNOME Shell extension: its metadata names it and the one shell version it was built and
# tested for, and the code parses as the form of that version (an ES module from GNOME 45 on, a
# script before).
if [ -n "$gnome_extension" ]; then
    extension=$usr/share/gnome-shell/extensions/tavrin@tavrin.org
    versions=$(jq -r 'select(.uuid == "tavrin@tavrin.org") | ."shell-version" | join(" ")' \
        "$extension/metadata.json" 2>&1) || fail "extension metadata: $versions"
    if grep -q '^export default class' "$extension/extension.js"; then
        [[ $versions =~ ^[0-9]+$ ]] && ((versions >= 45)) ||
            fail "the ES module claims GNOME [$versions]"
        cp "$extension/extension.js" "$root/extension.mjs"
        clean "extension as an ES module" node --check "$root/extension.mjs"
    else
        [ "$versions" = 43 ] || [ "$versions" = 44 ] || fail "the script claims GNOME [$versions]"
        clean "extension as a script" node --check "$extension/extension.js"
    fi
fi

# One version everywhere: the program, the manual page, the metainfo and the changelog.
for text in "$("$usr/bin/tavrin" --version)" "$(zcat "$usr/share/man/man1/tavrin.1.gz" | grep '^\.TH')" \
    "$(grep -m1 '<release ' "$metainfo")" "$(zcat "$usr/share/doc/tavrin/changelog.gz" | head -n1)"; do
    [[ $text == *"$version"* ]] || fail "not version $version: $text"
done

# The autostart entry names the program that wrote it; only an installed one has its own icon.
for case in "$usr/bin/tavrin:tavrin" "$built_tavrin:input-mouse"; do
    program=${case%:*} icon=${case##*:}
    export XDG_CONFIG_HOME=$root/config-$icon
    entry=$("$write_autostart" "$program") || { fail "no autostart entry for $program"; continue; }
    { grep -qxF "Exec=\"$program\"" "$entry" && grep -qxF "Icon=$icon" "$entry"; } ||
        fail "autostart entry of $program: $(grep -E '^(Exec|Icon)=' "$entry")"
    clean "autostart entry of $program" desktop-file-validate "$entry"
done

exit $failed
