#!/usr/bin/env bash
# Builds the menu app and runs it from its application bundle.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/pakete.sh bauen
cmake -S . -B build/app -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_TESTS=OFF >/dev/null
cmake --build build/app

programm="build/app/Taler Wacht.app/Contents/MacOS/TalerWacht"
echo "Taler Wacht runs (pid $$); end it with Ctrl+C or: kill $$"
exec "$programm" "$@"
