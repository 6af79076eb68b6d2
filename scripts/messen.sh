#!/usr/bin/env bash
# Builds an optimised tree without sanitizers and prints the benchmark figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/pakete.sh pruefen
cmake -S . -B build/messung -G Ninja -DCMAKE_BUILD_TYPE=Release -DTW_SANITIZE=OFF -DTW_TESTS=ON >/dev/null
cmake --build build/messung
for programm in sammeln_perftest signaturtor_perftest zeichnen_perftest; do
  build/messung/src/$programm --benchmark_report_aggregates_only=true "$@"
done
# The keyring is measured against a gnome-keyring of its own, in a test world.
dbus-run-session -- scripts/testumgebung.sh build/messung/src/libsecret_perftest "$@"
# Unlock, lock and forget from the menu: the app's longest pause in answering
# its menu meanwhile, and copies of the passphrase left in its memory.
dbus-run-session -- scripts/testumgebung.sh build/messung/src/programm_test --gtest_filter='Tresorschale.*' |
  grep -E '^(längste|Kopien)'

# The running app, idle on a virtual display with a tray host and the
# stand-in server, in a temporary home.
heim=$(mktemp -d "${TMPDIR:-/tmp}/tw-messen-XXXXXX")
trap 'rm -rf "$heim"' EXIT
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS \
  GELD_BOTE_PORT="$port" TW_VORFUEHRUNG="$heim/bilder" TW_LEERLAUF=60 scripts/vorfuehrung.sh build/messung
dbus-run-session -- scripts/testumgebung.sh scripts/startzeit.sh build/messung
# Opening the setup window on a local page, ten times, and its memory.
dbus-run-session -- scripts/testumgebung.sh build/messung/src/platform/linux/gtk/webkit_fenster_perftest
