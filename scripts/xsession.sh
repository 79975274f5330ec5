#!/bin/sh
# Runs the scripted look-at-it session on a virtual X server and leaves the
# screenshots in the directory given (default: build/xsession).
#   scripts/xsession.sh [OUTDIR] [PICTURE]
set -eu
cd "$(dirname "$0")/.."
out=${1:-build/xsession}
cmake --build build --target kelvora_xsession >/dev/null
display=:$(( $$ % 500 + 100 ))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null' EXIT
sleep 1
shift $(( $# > 0 ? 1 : 0 ))
DISPLAY=$display QT_QPA_PLATFORM=xcb build/tests/app/kelvora_xsession "$out" "$@"
