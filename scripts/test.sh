#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UBSan and runs every test in a
# private world: its own D-Bus session, virtual display, keyring and home.
# Builds the fuzz targets too and runs each for a few seconds.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/pakete.sh pruefen
cmake -S . -B build/pruefung -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_SANITIZE=ON >/dev/null
cmake --build build/pruefung
# The fuzz targets keep building and get a short run each; long runs: scripts/fuzz.sh.
scripts/fuzz.sh 3

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
exec dbus-run-session -- scripts/testumgebung.sh \
  ctest --test-dir build/pruefung --output-on-failure -j2 --timeout 300 "$@"
