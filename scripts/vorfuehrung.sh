#!/usr/bin/env bash
# Runs the menu app on a machine without a display: a virtual display, a
# D-Bus session and a small tray host of our own. Once the menu shows the
# running stand-in server, the tray host opens it and leaves a screenshot and
# the menu's rows (read over D-Bus) in the folder named below.
# Usage: scripts/vorfuehrung.sh <build folder> [app arguments...]
set -euo pipefail

bau=$1
shift
programm="$bau/Taler Wacht.app/Contents/MacOS/TalerWacht"
leiste="$bau/bin/taler-wacht-leiste"
ausgabe=${TW_VORFUEHRUNG:-$bau/vorfuehrung}
mkdir -p "$ausgabe"
ausgabe=$(cd "$ausgabe" && pwd)
rm -f "$ausgabe/menue.png" "$ausgabe/menue.txt" "$ausgabe/entsperren.png"

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  exec dbus-run-session -- "$0" "$bau" "$@"
fi

welt=$(mktemp -d "${TMPDIR:-/tmp}/tw-vorfuehrung-XXXXXX")
dienste=()
zustand=${GELD_BOTE_ZUSTAND-$HOME/.local/state/geld-bote-demo}
server_vorher=$(cat "$zustand/tunnel.pid" 2>/dev/null || true)
ende() {
  trap - EXIT INT TERM
  for pid in "${dienste[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${dienste[@]}"; do wait "$pid" 2>/dev/null || true; done
  # The stand-in keeps running after the app, as servers do; the demo stops
  # one it started itself.
  server=$(cat "$zustand/tunnel.pid" 2>/dev/null || true)
  if [[ $server =~ ^[1-9][0-9]*$ && $server != "$server_vorher" ]] &&
    [[ $(readlink "/proc/$server/exe" 2>/dev/null) == *geld-bote* ]]; then
    kill "$server" 2>/dev/null || true
  fi
  rm -rf "$welt"
}
trap ende EXIT
trap 'exit 0' INT TERM

Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x640x24 3>"$welt/anzeige" 2>"$welt/xvfb.log" &
dienste+=($!)
for _ in $(seq 100); do [ -s "$welt/anzeige" ] && break; sleep 0.1; done
[ -s "$welt/anzeige" ] || { echo "Xvfb did not start:" >&2; cat "$welt/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$welt/anzeige")"

"$leiste" --bild "$ausgabe/menue.png" --text "$ausgabe/menue.txt" --warten-auf "Für ChatGPT & Co.: läuft" \
  --klicken "Tresor entsperren …" --klick-bild "$ausgabe/entsperren.png" &
leiste_pid=$!
dienste+=($leiste_pid)
gdbus wait --session --timeout 10 org.kde.StatusNotifierWatcher

"$programm" "$@" &
app=$!
dienste+=($app)
for _ in $(seq 300); do [ -s "$ausgabe/menue.png" ] && break; kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if [ -s "$ausgabe/menue.png" ]; then
  echo "The open tray menu: $ausgabe/menue.png; its rows:"
  sed 's/^/    /' "$ausgabe/menue.txt"
  # A vault of the stand-in's, set up and locked, so that the menu offers to unlock it.
  seite=$("$bau/Taler Wacht.app/Contents/MacOS/taler-wacht-status" 2>/dev/null |
    sed -n '/"eigeneSeiten"/,/]/{s/^ *"\(http[^"]*\)".*/\1/p}' | head -n1)
  if [ -n "$seite" ]; then
    herkunft=$(printf %s "$seite" | sed -E 's|^(https?://[^/]+).*|\1|')
    post() {
      curl -s -o /dev/null -X POST -H "Sec-Fetch-Site: same-origin" -H "Origin: $herkunft" \
        --data-binary @- "${seite%/}/$1" || true
    }
    printf 'passphrase=%s' vorfuehrung-1 | post einrichten  # a builtin: in no argument list
    post sperren </dev/null
    for _ in $(seq 150); do [ -s "$ausgabe/entsperren.png" ] && break; sleep 0.1; done
  fi
  if [ -s "$ausgabe/entsperren.png" ]; then
    echo "The unlock dialog: $ausgabe/entsperren.png"
  else
    echo "The unlock dialog did not show within 15 s." >&2
  fi
else
  echo "The tray menu did not show within 30 s." >&2
fi
if [ -n "${TW_LEERLAUF:-}" ]; then
  # Figures instead of a session: CPU time over that many idle seconds, then memory.
  # Our tray host reads the menu every second, which a desktop's tray does
  # not do while nothing changes; it holds still while the app is measured.
  # After one unlock through the dialog, typed as a person would.
  if [ -s "$ausgabe/entsperren.png" ] && command -v xdotool >/dev/null; then
    xdotool search --sync --onlyvisible --name '^Taler Wacht$' windowfocus --sync %@ >/dev/null
    printf %s vorfuehrung-1 | xdotool type --file -
    xdotool key Return
    sleep 4
    echo "vault after the unlock: $("$bau/Taler Wacht.app/Contents/MacOS/taler-wacht-status" 2>/dev/null |
      sed -n 's/^ *"tresor": *"\([a-z]*\)".*/\1/p')"
  fi
  kill -STOP "$leiste_pid"
  takte=$(getconf CLK_TCK)
  cpu() { awk '{ print $14 + $15 }' "/proc/$app/stat"; }
  vorher=$(cpu)
  sleep "$TW_LEERLAUF"
  nachher=$(cpu)
  kill -CONT "$leiste_pid"
  awk -v t=$((nachher - vorher)) -v hz="$takte" -v s="$TW_LEERLAUF" \
    'BEGIN { printf "idle CPU over %d s: %.3f %% of one core (%d ticks)\n", s, 100 * t / hz / s, t }'
  grep -E '^(Rss|Pss):' "/proc/$app/smaps_rollup" | awk '{ printf "%s %.1f MB\n", $1, $2 / 1024 }'
  echo "shared libraries mapped: $(grep -c '\.so' <(awk '{ print $6 }' "/proc/$app/maps" | sort -u))"
  exit 0
fi
echo "Taler Wacht runs on a virtual display (pid $app); end it with Ctrl+C or: kill $$"
status=0
wait "$app" || status=$?
exit "$status"
