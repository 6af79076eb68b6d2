#!/usr/bin/env bash
# Time from starting the app to its menu on the tray, median and worst of 10,
# with the stand-in server already running. Runs inside the test world
# (scripts/testumgebung.sh), which brings the display, bus and home.
# Usage: scripts/startzeit.sh <build folder>
set -euo pipefail
bau=$1
buendel="$bau/Taler Wacht.app"
zustand=${GELD_BOTE_ZUSTAND:-$HOME/.local/state/geld-bote-demo}
welt=$(mktemp -d "${TMPDIR:-/tmp}/tw-startzeit-XXXXXX")
trap 'kill "$(cat "$zustand/tunnel.pid" 2>/dev/null)" 2>/dev/null || true; rm -rf "$welt"' EXIT

"$buendel/Contents/Resources/starten" --still
for _ in $(seq 100); do [ -s "$zustand/tunnel.pid" ] && break; sleep 0.1; done

zeiten=()
for lauf in $(seq 10); do
  "$bau/bin/taler-wacht-leiste" --text "$welt/menue-$lauf.txt" >/dev/null &
  leiste=$!
  gdbus wait --session --timeout 10 org.kde.StatusNotifierWatcher
  anfang=$(date +%s%N)
  "$buendel/Contents/MacOS/TalerWacht" 2>/dev/null &
  app=$!
  until [ -s "$welt/menue-$lauf.txt" ]; do sleep 0.005; done
  zeiten+=($((($(date +%s%N) - anfang) / 1000000)))
  kill "$app" "$leiste"
  wait "$app" "$leiste" 2>/dev/null || true
done
printf '%s\n' "${zeiten[@]}" | sort -n | awk '{ z[NR] = $1 } END {
  printf "start to first menu, 10 launches: median %d ms, worst %d ms\n", (z[5] + z[6]) / 2, z[NR] }'
