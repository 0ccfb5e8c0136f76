#!/usr/bin/env bash
# Programs that read physical key codes on Wayland (a browser's KeyboardEvent.code, the newer
# terminal keyboard protocols, games, remote desktops) see what Tavrin's virtual keyboard types
# as a keyboard would: a line break on the Enter key, a tab on the Tab key, and the characters
# on no key they know. Chromium on a headless sway logs each key's code into its title.
# Usage: keycodes_test.sh WLPEER_BINARY
set -u
source "$(dirname "$(readlink -f "$0")")/sway.sh" "$@"
WLPEER=$1

focused_title() {
    swaymsg -t get_tree | jq -r '.. | objects | select(.focused? and .type == "con") | .name'
}

e2e_init
sway_start || e2e_fail "sway did not start"
# A keyboard held open, as a physical one would be: keys of a keyboard made later still arrive.
sway_start_peer "$WLPEER"

cat >"$E2E_DIR/page.html" <<'PAGE'
<!DOCTYPE html><title>ready</title><body><script>
const seen = [];
addEventListener('keydown', event => {
    // The test's arrow keys, sent until one arrives, say the page has the keyboard.
    if (event.code === 'ArrowUp') {
        document.title = seen.length ? document.title : 'armed';
        return;
    }
    seen.push(event.key + '=' + event.code);
    document.title = seen.join(' ');
    event.preventDefault();
});
</script></body>
PAGE
chromium --ozone-platform=wayland --no-sandbox --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$E2E_DIR/chromium" --app="file://$E2E_DIR/page.html" \
    >"$E2E_DIR/chromium.log" 2>&1 &
E2E_PIDS+=($!)
e2e_wait_for "the page in front" eval '[ "$(focused_title)" = ready ]' ||
    e2e_fail "no page in front: $(tail -n5 "$E2E_DIR/chromium.log")"
# The page may show before it takes keys: an arrow key until it does.
arm() { peer key Up && [ "$(focused_title)" = armed ]; }
e2e_wait_for "the page to take keys" arm || e2e_fail "the page takes no keys"

# More characters than the keyboard has spare keys for, so that some go on the keys that carry
# characters: every one must arrive, none on a special key's code.
letters=$(printf '%s' {a..z} {A..Z})
printf 'ab\n\t%s' "$letters" >"$E2E_DIR/text"
"$WLPEER" type "$E2E_DIR/text" >/dev/null || e2e_fail "wlpeer could not type"
e2e_wait_for "the page to see every key" eval '[ "$(focused_title | wc -w)" -ge 56 ]' ||
    e2e_fail "the page saw [$(focused_title)]"
e2e_expect_equal "the first keys and their codes" 'a= b= Enter=Enter Tab=Tab' \
    "$(focused_title | cut -d' ' -f1-4)"
e2e_expect_equal "the keys of the letters" "$letters" \
    "$(focused_title | tr ' ' '\n' | tail -n +5 | cut -d= -f1 | tr -d '\n')"
e2e_expect_equal "keys on a special key's code" 2 \
    "$(focused_title | grep -oE '=(Enter|Escape|Tab|Backspace|Delete|Space)( |$)' | wc -l)"
