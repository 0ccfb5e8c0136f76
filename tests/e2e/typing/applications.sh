# Applications that nobody on this project wrote, in front under openbox, typed into and read
# back through the clipboard. Source after tests/e2e/harness.sh, with the X server running.
#
#   application_start NAME            mousepad (GTK 3), featherpad (Qt 5), chromium, firefox,
#                                     writer-gen and writer-gtk3 (LibreOffice Writer on its X11
#                                     and GTK 3 back-ends), kwrite (KDE) or swing (Java), with a
#                                     focused empty text area in front
#   application_text                  what the text area holds, read through the clipboard
#   application_clear                 empties the text area
#   application_text_for NAME FILE    FILE's text as NAME can take it: browsers get no tabs,
#                                     which would move the focus out of the text area

application__page() {
    cat >"$E2E_DIR/page.html" <<'HTML'
<!doctype html><meta charset="utf-8"><title>tavrin text area</title>
<body style="margin:0"><textarea autofocus spellcheck="false"
 style="width:100vw;height:100vh;box-sizing:border-box"></textarea>
HTML
    echo "file://$E2E_DIR/page.html"
}

application__firefox_profile() {
    mkdir -p "$E2E_DIR/firefox"
    local pref
    for pref in '"browser.shell.checkDefaultBrowser", false' \
        '"browser.startup.homepage_override.mstone", "ignore"' \
        '"datareporting.policy.dataSubmissionEnabled", false' \
        '"toolkit.telemetry.reportingpolicy.firstRun", false' \
        '"browser.aboutwelcome.enabled", false' '"app.update.enabled", false' \
        '"browser.sessionstore.resume_from_crash", false'; do
        echo "user_pref($pref);"
    done >"$E2E_DIR/firefox/user.js"
    echo "$E2E_DIR/firefox"
}

# A fresh profile without what Writer would change in the text while the user types (capitals,
# dashes, quotes, replacements, word completion) or show on a first start. Formatting while
# typing stays on, as it is by default: with it off, Writer on GTK acts on a Return only once no
# more keys wait.
application__writer_profile() {
    mkdir -p "$E2E_DIR/writer/user"
    local option
    {
        echo '<?xml version="1.0" encoding="UTF-8"?>'
        echo '<oor:items xmlns:oor="http://openoffice.org/2001/registry">'
        for option in Misc/ShowTipOfTheDay Misc/FirstRun AutoCorrect/{AddNonBreakingSpace,\
CapitalAtStartSentence,ChangeAngleQuotes,ChangeDash,ChangeOrdinalNumber,ChangeUnderlineWeight,\
CorrectAccidentalCapsLock,RemoveDoubleSpaces,ReplaceDoubleQuote,ReplaceSingleQuote,\
SetInetAttribute,TransliterateRTL,TwoCapitalsAtStart,UseReplacementTable}; do
            application__writer_false "Common/${option%/*}" "${option#*/}"
        done
        application__writer_false Writer/AutoFunction/Completion Enable
        echo '</oor:items>'
    } >"$E2E_DIR/writer/user/registrymodifications.xcu"
    echo "file://$E2E_DIR/writer"
}

application__writer_false() {
    printf '<item oor:path="/org.openoffice.Office.%s"><prop oor:name="%s" oor:op="fuse">' "$1" "$2"
    printf '<value>false</value></prop></item>\n'
}

application_start() {
    APPLICATION=$1
    local title
    export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
    case $APPLICATION in
    mousepad | featherpad)
        : >"$E2E_DIR/document.txt"
        "$APPLICATION" "$E2E_DIR/document.txt" >"$E2E_DIR/application.log" 2>&1 &
        title='document.txt'
        ;;
    chromium)
        chromium --no-sandbox --user-data-dir="$E2E_DIR/chromium" --no-first-run --disable-gpu \
            --disable-background-networking --disable-component-update --disable-sync \
            --password-store=basic --app="$(application__page)" \
            >"$E2E_DIR/application.log" 2>&1 &
        title='tavrin text area'
        ;;
    firefox)
        firefox-esr --no-remote --profile "$(application__firefox_profile)" --kiosk \
            "$(application__page)" >"$E2E_DIR/application.log" 2>&1 &
        title='tavrin text area'
        ;;
    writer-gen | writer-gtk3)
        SAL_USE_VCLPLUGIN=${APPLICATION#writer-} soffice --norestore --nologo --writer \
            "-env:UserInstallation=$(application__writer_profile)" \
            >"$E2E_DIR/application.log" 2>&1 &
        title='LibreOffice Writer'
        ;;
    kwrite)
        : >"$E2E_DIR/document.txt"
        # Tab inserts a tab, as in the other editors, instead of spaces to the next stop.
        printf '[KTextEditor Document]\nTab Handling=0\nReplaceTabsDyn=false\n' \
            >"$XDG_CONFIG_HOME/kwriterc"
        # KWrite asks whether to save a changed document instead of ending on TERM.
        sh -c 'QT_QPA_PLATFORM=xcb kwrite "$1" & trap "kill -KILL $!" TERM; wait' sh \
            "$E2E_DIR/document.txt" >"$E2E_DIR/application.log" 2>&1 &
        title='document.txt'
        ;;
    swing)
        java "$(dirname "${BASH_SOURCE[0]}")/TextArea.java" >"$E2E_DIR/application.log" 2>&1 &
        title='java text area'
        ;;
    kitty)
        # What a program in the terminal reads, in raw mode: appended, so that it can be emptied.
        rm -f "$E2E_DIR/document.txt"
        kitty --config NONE --title 'kitty raw terminal' \
            sh -c 'stty raw -echo && : >"$0" && exec cat >>"$0"' "$E2E_DIR/document.txt" \
            >"$E2E_DIR/application.log" 2>&1 &
        title='kitty raw terminal'
        ;;
    esac
    E2E_PIDS+=($!)
    e2e_wait_for "the window of $APPLICATION" application__find "$title" || return 1
    xdotool windowactivate --sync "$APPLICATION_WINDOW" >/dev/null 2>&1
    e2e_wait_for "$APPLICATION in front" \
        eval '[ "$(xdotool getwindowfocus 2>/dev/null)" = "$APPLICATION_WINDOW" ]' || return 1
    # Writer shows its window long before it takes keys.
    case $APPLICATION in
    writer-*) e2e_wait_for "$APPLICATION to take keys" application__takes_keys || return 1 ;;
    kitty) e2e_wait_for "the terminal in raw mode" test -e "$E2E_DIR/document.txt" || return 1 ;;
    esac
    # The pointer rests over the text area, where the user presses the button.
    xdotool mousemove --window "$APPLICATION_WINDOW" 200 200
}

# Typed while all is selected, the word replaces what an earlier try left.
application__takes_keys() {
    xdotool type --delay 30 ready
    xdotool key --clearmodifiers ctrl+a ctrl+c
    [ "$(application__clipboard)" = ready ] && application_clear
}

application__find() {
    APPLICATION_WINDOW=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
    [ -n "$APPLICATION_WINDOW" ]
}

application__clipboard() { timeout 5 xclip -o -selection clipboard 2>/dev/null; }

# Select all and copy, under a layout that has the letters of the shortcuts; again until the
# clipboard changes, since the application may still be taking a new layout in.
application_text() {
    if [ "$APPLICATION" = kitty ]; then
        # Raw mode gives CR for every line feed.
        e2e_wait_quiet "$E2E_DIR/document.txt" 1000 && tr '\r' '\n' <"$E2E_DIR/document.txt"
        return
    fi
    local copied="$E2E_DIR/copied"
    printf '\x01%s' "$RANDOM" | xclip -i -selection clipboard
    local marker
    marker=$(application__clipboard)
    e2e_wait_for "the copy from $APPLICATION" application__copy "$marker" "$copied" || return 1
    cat "$copied"
}

application__copy() {
    xdotool key --clearmodifiers ctrl+a ctrl+c
    application__clipboard >"$2" && [ "$(cat "$2")" != "$1" ]
}

application_clear() {
    if [ "$APPLICATION" = kitty ]; then
        : >"$E2E_DIR/document.txt"
    else
        xdotool key --clearmodifiers ctrl+a Delete
    fi
}

application_text_for() {
    case $1 in
    chromium | firefox) tr '\t' ' ' <"$2" ;;
    *) cat "$2" ;;
    esac
}
