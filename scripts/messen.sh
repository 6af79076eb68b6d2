#!/usr/bin/env bash
# Builds an optimised tree without sanitizers and prints the benchmark figures.
# "scripts/messen.sh leerlauf [build folder]" prints only the idle table: the
# app from the bundle (build/messung by default) beside a bare tray icon.
set -euo pipefail
cd "$(dirname "$0")/.."
selbst=$PWD/scripts/messen.sh

# The idle table. One test world per state of the desktop's accessibility bus:
# running as on every GNOME desktop without a screen reader, and off.
leerlauf() {
  local bau=${1:-build/messung} ergebnisse
  ergebnisse=$(mktemp "${TMPDIR:-/tmp}/tw-leerlauf-XXXXXX")
  for a11y in an aus; do
    dbus-run-session -- scripts/testumgebung.sh "$selbst" --leerlauf-welt "$bau" "$a11y" >>"$ergebnisse" ||
      echo "(the test world with the accessibility bus $a11y reported a problem)" >&2
  done
  awk '$1 == "zeile" {
      name = ($2 == "an") ? "a11y bus on " : "a11y bus off"
      verhaeltnis = ($3 > 0) ? sprintf("%4.2fx", $5 / $3) : "  -  "
      printf "%s  floor %6.3f %%  app %6.3f %% (%s)   PSS floor %5.1f MB  app %5.1f MB (%4.2fx)   start to menu %s\n",
        name, $3, $5, verhaeltnis, $4 / 1024, $6 / 1024, $6 / $4, $7
    } $1 != "zeile"' "$ergebnisse"
  echo "targets: app idle <= 0.1 % of a core and <= 1.2x the floor, PSS <= 1.1x the floor, menu <= 300 ms"
  rm -f "$ergebnisse"
}

# The accessibility bus's own processes (its daemon, the registry) go with the world.
leerlauf_ende() {
  set +e
  for p in "${dienste[@]}"; do kill -CONT "$p"; kill "$p"; done 2>/dev/null
  kill "$(cat "$zustand/tunnel.pid" 2>/dev/null)" 2>/dev/null
  wait 2>/dev/null
  for eintrag in /proc/[0-9]*; do
    [[ $(cat "$eintrag/comm" 2>/dev/null) == at-spi* || $(cat "$eintrag/comm" 2>/dev/null) == dbus-daemon ]] &&
      grep -qzx "TW_TESTWELT=$TW_TESTWELT" "$eintrag/environ" 2>/dev/null && kill "${eintrag#/proc/}" 2>/dev/null
  done
  true
}

# Inside one test world: the floor and the app side by side, idle for 60 s.
leerlauf_welt() {
  local bau=$1 a11y=$2 dauer=${TW_LEERLAUF:-60}
  local buendel="$bau/Taler Wacht.app"
  dienste=() zustand=$GELD_BOTE_ZUSTAND
  trap leerlauf_ende EXIT
  if [ "$a11y" = an ]; then
    # The launcher that the session bus would start on demand, started right away.
    local dienstdatei
    dienstdatei="$(pkg-config --variable=session_bus_services_dir dbus-1)/org.a11y.Bus.service"
    $(sed -n 's/^Exec=//p' "$dienstdatei") --launch-immediately &
    dienste+=($!)
    gdbus wait --session --timeout 10 org.a11y.Bus
    for name in IsEnabled ScreenReaderEnabled; do  # as without a screen reader
      gdbus call --session -d org.a11y.Bus -o /org/a11y/bus -m org.freedesktop.DBus.Properties.Set \
        org.a11y.Status "$name" '<false>' >/dev/null || true
    done
    echo "accessibility status: $(gdbus call --session -d org.a11y.Bus -o /org/a11y/bus \
      -m org.freedesktop.DBus.Properties.GetAll org.a11y.Status)" >&2
  else
    export NO_AT_BRIDGE=1
  fi
  "$buendel/Contents/Resources/starten" --still
  # The tray host holds still while measuring: a desktop's tray does not read
  # an unchanged menu every second as ours does. Its own bridge stays out.
  NO_AT_BRIDGE=1 "$bau/bin/taler-wacht-leiste" >/dev/null &
  local leiste=$!
  dienste+=($leiste)
  gdbus wait --session --timeout 10 org.kde.StatusNotifierWatcher
  "$bau/bin/taler-wacht-boden" 2>/dev/null &
  local boden=$!
  dienste+=($boden)
  # The first launch opens the setup window; the day-to-day launch that is
  # measured, as after a log-in, finds it done and shows the menu only.
  "$buendel/Contents/MacOS/TalerWacht" 2>/dev/null &
  local app=$!
  for _ in $(seq 150); do xdotool search --onlyvisible --pid "$app" >/dev/null 2>&1 && break; sleep 0.1; done
  sleep 2
  kill "$app"
  wait "$app" 2>/dev/null || true
  "$buendel/Contents/MacOS/TalerWacht" --autostart 2>/dev/null &
  app=$!
  dienste+=($app)
  sleep 10
  # The setup window opened once and closed, as a user does: measured afterwards.
  local seite programm=
  seite=$("$buendel/Contents/MacOS/taler-wacht-status" 2>/dev/null |
    sed -n '/"eigeneSeiten"/,/]/{s/^ *"\(http[^"]*\)".*/\1/p}' | head -n1)
  [ -n "$seite" ] && printf '%s\n' "$seite" >"$zustand/seite.oeffnen"
  for _ in $(seq 100); do
    programm=$(pgrep -P "$app" -x taler-wacht-fen | head -n1 || true)
    [ -n "$programm" ] && xdotool search --onlyvisible --pid "$programm" >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 2
  [ -n "$programm" ] && { xdotool search --onlyvisible --pid "$programm" 2>/dev/null | head -n1 |
    xargs -r -I{} xdotool windowfocus --sync {} key ctrl+w || true; }
  for _ in $(seq 100); do pgrep -P "$app" -x taler-wacht-fen >/dev/null || break; sleep 0.1; done
  echo "setup window before measuring: $([ -z "$programm" ] && echo "never opened" ||
    { pgrep -P "$app" -x taler-wacht-fen >/dev/null && echo "still open" || echo "opened and closed"; })" >&2
  sleep 5
  kill -STOP "$leiste"
  # Nanoseconds on a CPU, all threads: clock ticks are too coarse for 0.1 %.
  cpu() { cat "/proc/$1/task/"*/schedstat | awk '{ s += $1 } END { printf "%d", s }'; }
  pss() { awk '/^Pss:/ { print $2 }' "/proc/$1/smaps_rollup"; }
  prozent() { awk -v t="$1" -v s="$dauer" 'BEGIN { printf "%.3f", 100 * t / 1e9 / s }'; }
  local b0 a0 b1 a1 zeile start
  b0=$(cpu "$boden") a0=$(cpu "$app")
  sleep "$dauer"
  b1=$(cpu "$boden") a1=$(cpu "$app")
  zeile="$(prozent $((b1 - b0))) $(pss "$boden") $(prozent $((a1 - a0))) $(pss "$app")"
  echo "app's open windows: $(xdotool search --onlyvisible --pid "$app" 2>/dev/null | wc -l)" >&2
  kill -CONT "$leiste"
  kill "$app" "$boden" "$leiste"
  wait "$app" "$boden" "$leiste" 2>/dev/null || true
  start=$(scripts/startzeit.sh "$bau" | sed -n 's/.*median \([0-9]*\) ms, worst \([0-9]*\) ms/\1\/\2ms/p')
  echo "zeile $a11y $zeile $start"
}

case "${1:-}" in
  --leerlauf-welt) shift; leerlauf_welt "$@"; exit ;;
  leerlauf)
    # A folder given is measured as it is, such as a copy of an earlier build.
    if [ -z "${2:-}" ]; then
      cmake -S . -B build/messung -G Ninja -DCMAKE_BUILD_TYPE=Release -DTW_SANITIZE=OFF -DTW_TESTS=ON >/dev/null
      cmake --build build/messung --target TalerWacht taler-wacht-boden taler-wacht-leiste geld-bote \
        geld-bote-starten taler-wacht-symbole taler-wacht-status
    fi
    leerlauf "${2:-}"
    exit ;;
esac

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
dbus-run-session -- scripts/testumgebung.sh build/messung/tests/app/programm_test --gtest_filter='Tresorschale.*' |
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
# Idle beside a bare tray icon, with the desktop's accessibility bus on and off.
leerlauf build/messung
