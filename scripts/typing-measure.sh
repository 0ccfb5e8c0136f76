# Typing measured as a program in a terminal receives it. Source after tests/e2e/harness.sh and
# scripts/raw-terminal.sh, with the X server running.
#
#   typing_measure_text FILE      writes the 2,000-character mixed Unicode text of the figures
#   typing_measure TEXT_FILE COMMAND [ARGS...]
#                                 runs COMMAND with a raw terminal in front and sets
#                                 TYPING_MILLISECONDS (how long COMMAND took) and TYPING_WRONG
#                                 (edit distance by code point between the text and what arrived)
#   typing_wrong EXPECTED RECEIVED  that edit distance between two files

typing_measure_text() {
    perl -CS -Mutf8 -e '
        srand(7);
        my @words = ("the", "quick", "brown", "Fox", "JUMPS", "over", "lazy", "dog", "42,", "x=1;",
            "Grüße", "Élodie", "façade", "naïve", "œuvre", "ŁÓDŹ", "smörgåsbord", "Ærø", "São",
            "αβγδε", "Ωμέγα", "ψυχή", "Привет", "ЁЛКА", "щука", "їжак", "你好", "世界", "漢字",
            "日本語", "한국어", "😀", "🎉🚀", "👍🏽", "e\x{301}", "a\x{308}o\x{303}", "€42", "£5",
            "©®™", "°±§", "…", "—", "«ok»", "„so“", "ß", "ẞ", "ı", "Ǆ");
        my $out = "";
        my $line = 0;
        while (length($out) < 2000) {
            my $word = $words[int(rand(@words))];
            my $gap = $line > 70 ? "\n" : (rand() < 0.05 ? "\t" : " ");
            $line = $gap eq "\n" ? 0 : $line + length($word) + 1;
            $out .= $word . $gap;
        }
        print substr($out, 0, 2000);
    ' >"$1"
}

# Edit distance by code point between the text expected and what arrived.
typing_wrong() {
    perl -CSD -e '
        local $/;
        open my $a, "<", $ARGV[0] or die; my $want = <$a>;
        open my $b, "<", $ARGV[1] or die; my $got = <$b>;
        my @w = split //, $want; my @g = split //, $got;
        my @row = (0 .. @g);
        for my $i (1 .. @w) {
            my @next = ($i);
            for my $j (1 .. @g) {
                my $cost = $w[$i - 1] eq $g[$j - 1] ? 0 : 1;
                my $best = $row[$j - 1] + $cost;
                $best = $row[$j] + 1 if $row[$j] + 1 < $best;
                $best = $next[$j - 1] + 1 if $next[$j - 1] + 1 < $best;
                push @next, $best;
            }
            @row = @next;
        }
        print $row[-1];
    ' "$1" "$2"
}

typing_measure() {
    local text=$1
    shift
    local out
    out=$(mktemp "$E2E_DIR/typed.XXXXXX")
    raw_terminal_start "$out" || return 1
    local start end
    start=$(date +%s%N)
    "$@"
    end=$(date +%s%N)
    e2e_wait_quiet "$out" 1000 || return 1
    raw_terminal_stop
    TYPING_MILLISECONDS=$(((end - start) / 1000000))
    # Raw mode gives CR for every line feed.
    tr '\n' '\r' <"$text" >"$out.expected"
    TYPING_WRONG=$(typing_wrong "$out.expected" "$out")
}
