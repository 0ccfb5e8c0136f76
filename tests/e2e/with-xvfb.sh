#!/usr/bin/env bash
# Runs a command on a private X server: with-xvfb.sh [XVFB_ARGS...] -- COMMAND [ARGS...]
set -u
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
xvfbArgs=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    xvfbArgs+=("$1")
    shift
done
shift
e2e_init
e2e_start_x "${xvfbArgs[@]}" || exit 1
"$@"
