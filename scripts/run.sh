#!/usr/bin/env bash
# Builds the menu app and runs it from its application bundle. Without a
# display it brings its own (see scripts/vorfuehrung.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

ohne_anzeige=
[ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && ohne_anzeige=1
scripts/pakete.sh bauen
[ -n "$ohne_anzeige" ] && scripts/pakete.sh vorfuehren
cmake -S . -B build/app -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_TESTS=OFF >/dev/null
cmake --build build/app

[ -n "$ohne_anzeige" ] && exec scripts/vorfuehrung.sh build/app "$@"
echo "Taler Wacht runs (pid $$); end it with Ctrl+C or: kill $$"
exec "build/app/Taler Wacht.app/Contents/MacOS/TalerWacht" "$@"
