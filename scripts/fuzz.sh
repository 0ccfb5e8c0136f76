#!/usr/bin/env bash
# Fuzzes the readers of what Tavrin takes from outside (the stored entry list, the settings
# file, sway's socket, the X server's key maps and properties) with libFuzzer, ASan and UBSan.
# Not part of the test suite. Usage: scripts/fuzz.sh [RUNS]   (default 10000000 per target)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10000000}
scripts/install-deps.sh all
command -v clang++ >/dev/null || { echo "needs clang (apt-get install clang)" >&2; exit 1; }
# Coverage in every library, not only in the targets: libFuzzer is blind where it has none.
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -DTAVRIN_FUZZ=ON \
    -DTAVRIN_SANITIZE=ON -DTAVRIN_BUILD_TESTS=OFF >/dev/null
targets=(item_codec key_sym_maps property_words sway_ipc settings_store)
cmake --build build/fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"
failed=0
for target in "${targets[@]}"; do
    # The corpus grows in a copy: the checked-in seeds stay small.
    work="build/fuzz/corpus/$target"
    mkdir -p "$work"
    cp -n tests/fuzz/corpus/"$target"/* "$work"/
    dict=tests/fuzz/$target.dict
    log="build/fuzz/$target.log"
    if "build/fuzz/tests/fuzz/fuzz_$target" -runs="$runs" -max_len=4096 \
        $([ -f "$dict" ] && echo "-dict=$dict") "$work" >"$log" 2>&1; then
        echo "$target: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$log")"
    else
        echo "$target: FAILED, see $log" && failed=1
    fi
done
exit "$failed"
