#!/usr/bin/env bash
# A long run of the menu app from its bundle in a world of its own (see
# scripts/testumgebung.sh) with a small tray host, against the stand-in
# server, which is started, stopped, replaced by an older version, locked and
# unlocked every few seconds, with clicks on the menu over D-Bus and unlocks
# typed into the app's dialog. Prints the app's memory, open files, threads
# and child processes at the start and every minute; fails on growth, on
# zombies and on processes left behind.
# Usage: scripts/soak.sh [minutes]   (default 30; the build folder is TW_BAU,
# by default build/app, which this script builds)
set -euo pipefail
cd "$(dirname "$0")/.."
minuten=${1:-30}
[[ $minuten =~ ^[1-9][0-9]*$ ]] || { echo "Aufruf: scripts/soak.sh [Minuten]" >&2; exit 2; }
bau=${TW_BAU:-build/app}

if [ -z "${TW_TESTWELT:-}" ]; then
  scripts/pakete.sh pruefen
  scripts/pakete.sh vorfuehren
  if [ -z "${TW_BAU:-}" ]; then
    cmake -S . -B build/app -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_TESTS=OFF >/dev/null
    cmake --build build/app
  fi
  exec dbus-run-session -- scripts/testumgebung.sh "$0" "$minuten"
fi

bau=$(cd "$bau" && pwd)
buendel="$bau/Taler Wacht.app"
programm="$buendel/Contents/MacOS/TalerWacht"
server="$buendel/Contents/Resources/geld-bote"
zustand=$GELD_BOTE_ZUSTAND
konfig=$HOME/.config/geld-bote-demo
protokolle=$TW_TESTWELT

# A port where nothing listens yet, so that runs beside this one keep theirs.
for _ in $(seq 100); do
  port=$((20000 + RANDOM % 40000))
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
done
export GELD_BOTE_PORT=$port
# Made here and kept in this shell only: never an argument or an environment variable.
passphrase=$(head -c 18 /dev/urandom | base64 | tr -dc 'a-zA-Z0-9')

helfer=()
app=
beenden() {
  trap - EXIT INT TERM
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  for pid in "${helfer[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${helfer[@]}"; do wait "$pid" 2>/dev/null || true; done
  for pid in $(programm_pid) $(instanz_pids); do kill "$pid" 2>/dev/null || true; done
}
trap beenden EXIT
trap 'exit 1' INT TERM

programm_pid() {
  local pid
  pid=$(head -c 32 "$zustand/tunnel.pid" 2>/dev/null) || return 0
  [[ $pid =~ ^[1-9][0-9]*$ && $(readlink "/proc/$pid/exe" 2>/dev/null) == *geld-bote* ]] && echo "$pid"
  return 0
}
instanz_pids() {
  local datei pid
  for datei in "$zustand"/instanzen/*.port; do
    pid=${datei##*/}
    pid=${pid%.port}
    [[ $pid =~ ^[1-9][0-9]*$ && $(readlink "/proc/$pid/exe" 2>/dev/null) == *geld-bote* ]] && echo "$pid"
  done
  return 0
}

"$bau/bin/taler-wacht-leiste" >"$protokolle/leiste.log" 2>&1 &
helfer+=($!)
gdbus wait --session --timeout 10 org.kde.StatusNotifierWatcher
"$programm" >"$protokolle/app.log" 2>&1 &
app=$!

# The app's tray item and its menu, as a desktop's tray reads them over D-Bus.
bus="" menue=""
for _ in $(seq 200); do
  eintrag=$(gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems \
    2>/dev/null | grep -o "':[0-9.]*/[^']*'" | head -n1 | tr -d "'") || true
  if [ -n "$eintrag" ]; then
    bus=${eintrag%%/*}
    menue=$(gdbus call --session --dest "$bus" --object-path "/${eintrag#*/}" \
      --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem Menu 2>/dev/null |
      grep -o "'/[^']*'" | tr -d "'") || true
    [ -n "$menue" ] && break
  fi
  sleep 0.1
done
[ -n "$menue" ] || { echo "the app's tray item did not appear" >&2; cat "$protokolle/app.log" >&2; exit 1; }

# The visible rows, one "(id, {properties}" per line.
zeilen() {
  gdbus call --session --dest "$bus" --object-path "$menue" --method com.canonical.dbusmenu.GetLayout -- 0 -1 '@as []' \
    2>/dev/null | grep -oP "\(\d+, \{[^{}]*\}" | grep -v "'visible': <false>" || true
}
# Clicks the enabled row with exactly this label, if there is one.
klicken() {
  local id
  id=$(zeilen | grep -F "'label': <'$1'>" | grep -v "'enabled': <false>" | head -n1 | grep -oP '^\(\K\d+') || true
  [ -n "$id" ] || return 0
  echo "  $(date +%T) klick: $1"
  gdbus call --session --dest "$bus" --object-path "$menue" --method com.canonical.dbusmenu.Event -- \
    "$id" clicked '<int32 0>' 0 >/dev/null 2>&1 || true
}
# The setup window belongs to the window program, a child of the app.
fenster() {
  local pid=$app
  [ "$1" = '^taler-wacht-fenster$' ] && pid=$(pgrep -P "$app" -x taler-wacht-fen | head -n1 || true)
  [ -n "$pid" ] && xdotool search --onlyvisible --pid "$pid" --classname "$1" 2>/dev/null | head -n1 || true
}
# Answers alerts left open (a failed unlock asks again; closing the setup window with the vault open says so).
alarme_beantworten() {
  local id
  for _ in 1 2 3; do
    id=$(fenster '^taler-wacht$')
    [ -n "$id" ] || return 0
    xdotool windowfocus --sync "$id" key Escape 2>/dev/null || true
    sleep 0.5
  done
}
entsperren() {
  local id=
  klicken "Tresor entsperren …"
  for _ in $(seq 30); do
    id=$(fenster '^taler-wacht$')
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || return 0
  xdotool windowfocus --sync "$id" 2>/dev/null || return 0
  printf %s "$passphrase" | xdotool type --delay 5 --file - || true # a builtin: in no argument list
  xdotool key Return || true
}
fenster_schliessen() {
  local id
  id=$(fenster '^taler-wacht-fenster$')
  [ -n "$id" ] && xdotool windowfocus --sync "$id" key ctrl+w 2>/dev/null || true
  sleep 1
  alarme_beantworten
}
post() {
  curl -s -o /dev/null -m 5 -X POST -H "Sec-Fetch-Site: same-origin" -H "Origin: http://127.0.0.1:$port" \
    --data-binary @- "http://127.0.0.1:$port/t/$(cat "$konfig/token" 2>/dev/null)/$1" || true
}
direkt_anhalten() {
  local pid
  pid=$(programm_pid)
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 50); do [ -e "/proc/$pid" ] || break; sleep 0.1; done
}
instanz=
instanz_umschalten() {
  if [ -n "$instanz" ]; then
    kill "$instanz" 2>/dev/null || true
    wait "$instanz" 2>/dev/null || true
    instanz=
  else
    "$server" --instanz </dev/null >>"$protokolle/server.log" 2>&1 &
    instanz=$!
  fi
}
aeltere=()
aelteres_starten() {
  direkt_anhalten
  echo "  $(date +%T) geld-bote 1.6.0 statt des eigenen"
  "$server" --programm --fassung 1.6.0 </dev/null >>"$protokolle/server.log" 2>&1 &
  aeltere+=($!)
}

# First launch: the app starts the stand-in; its vault is then set up.
for _ in $(seq 300); do [ -n "$(programm_pid)" ] && [ -s "$konfig/token" ] && break; sleep 0.1; done
sleep 1
printf 'passphrase=%s' "$passphrase" | post einrichten
sleep 4
fenster_schliessen

kinder() { ps -o pid= --ppid "$app" 2>/dev/null | wc -l; }
nachfahren() {
  ps -e -o pid=,ppid= | awk -v wurzel="$app" '{ eltern[$1] = $2 }
    END { n = 0; for (p in eltern) { q = eltern[p]; while (q > 1) { if (q == wurzel) { n++; break } q = eltern[q] } } print n }'
}
zombies() { ps -e -o stat=,ppid= | awk -v a="$app" '$1 ~ /^Z/ && $2 == a' | wc -l; }
messwerte=()
messen() {
  local rss fds faeden
  rss=$(awk '/^VmRSS:/ { printf "%.1f", $2 / 1024 }' "/proc/$app/status")
  faeden=$(awk '/^Threads:/ { print $2 }' "/proc/$app/status")
  fds=$(find "/proc/$app/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l)
  messwerte+=("$rss $fds $faeden $(kinder)")
  printf 'Minute %2d: RSS %6s MB, %3d open files, %2d threads, %d child processes (%d below it), %d zombies\n' \
    "$1" "$rss" "$fds" "$faeden" "$(kinder)" "$(nachfahren)" "$(zombies)"
}

aktionen=(
  'klicken "Tresor sperren"' entsperren 'klicken "Anhalten"' 'klicken "Starten"'
  'post sperren </dev/null' entsperren aelteres_starten instanz_umschalten 'klicken "Beim Anmelden starten"'
  entsperren direkt_anhalten 'klicken "Starten"' 'klicken "Adresse für den Chatbot kopieren"'
  'klicken "Neue Adresse — im Chatbot eintragen"' fenster_schliessen 'klicken "Tresor sperren"' entsperren)
messen 0
ende=$((SECONDS + minuten * 60))
naechste=$((SECONDS + 60))
minute=0
schritt=0
fehler=0
while [ "$SECONDS" -lt "$ende" ]; do
  if ! kill -0 "$app" 2>/dev/null; then
    echo "the app ended during the run:" >&2
    tail -n 40 "$protokolle/app.log" >&2
    exit 1
  fi
  alarme_beantworten
  eval "${aktionen[schritt % ${#aktionen[@]}]}"
  schritt=$((schritt + 1))
  sleep 3
  if [ "$SECONDS" -ge "$naechste" ]; then
    minute=$((minute + 1))
    naechste=$((naechste + 60))
    messen "$minute"
  fi
done
[ "$minute" -lt "$minuten" ] && messen "$minuten"

# Growth beyond noise, from the first to the last figures: RSS by more than a
# quarter and 30 MB, open files by more than 8, threads by more than 4.
read -r rss0 fds0 faeden0 _ <<<"${messwerte[0]}"
read -r rss1 fds1 faeden1 _ <<<"${messwerte[-1]}"
if awk -v a="$rss0" -v b="$rss1" 'BEGIN { exit !(b > a * 1.25 && b > a + 30) }'; then
  echo "RSS grew from $rss0 MB to $rss1 MB" >&2
  fehler=1
fi
[ $((fds1 - fds0)) -gt 8 ] && { echo "open files grew from $fds0 to $fds1" >&2; fehler=1; }
[ $((faeden1 - faeden0)) -gt 4 ] && { echo "threads grew from $faeden0 to $faeden1" >&2; fehler=1; }

# The app ends in order on SIGTERM; what it started must not outlive it, apart
# from the servers, which live on by design and are ended here.
alarme_beantworten
[ "$(zombies)" -eq 0 ] || { echo "zombies below the app: $(zombies)" >&2; fehler=1; }
kill "$app"
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then
  echo "the app did not end within 10 s of SIGTERM" >&2
  fehler=1
else
  wait "$app" || { echo "the app ended with status $?" >&2; fehler=1; }
fi
app=
[ -n "$instanz" ] && instanz_umschalten
for pid in $(programm_pid) $(instanz_pids) "${aeltere[@]}"; do kill "$pid" 2>/dev/null || true; done
for pid in "${helfer[@]}"; do kill "$pid" 2>/dev/null || true; done
for pid in "${helfer[@]}" "${aeltere[@]}"; do wait "$pid" 2>/dev/null || true; done
grep -q "Sanitizer" "$protokolle/app.log" && { grep -A20 "Sanitizer" "$protokolle/app.log" >&2; fehler=1; }
[ "$fehler" -eq 0 ] && echo "no zombie, the app ended in order"
# Processes left behind are found by the world itself (scripts/testumgebung.sh) once this ends;
# the servers just signalled get a moment to go.
sleep 1
exit "$fehler"
