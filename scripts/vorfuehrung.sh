#!/usr/bin/env bash
# Runs the menu app on a machine without a display: a virtual display, a
# D-Bus session and a small tray host of our own, in a fresh home folder, so
# that it is always a first launch. The setup window shows the waiting page
# and then the stand-in's setup page; once the menu shows the running stand-in
# server, the tray host opens it. Screenshots of both and the menu's rows
# (read over D-Bus) land in the folder named below.
# Usage: scripts/vorfuehrung.sh <build folder> [app arguments...]
set -euo pipefail

bau=$1
shift
programm="$bau/Taler Wacht.app/Contents/MacOS/TalerWacht"
leiste="$bau/bin/taler-wacht-leiste"
ausgabe=${TW_VORFUEHRUNG:-$bau/vorfuehrung}
mkdir -p "$ausgabe"
ausgabe=$(cd "$ausgabe" && pwd)
bilder=(menue.png menue.txt entsperren.png fenster-warten.png fenster-einrichten.png)
for bild in "${bilder[@]}"; do rm -f "${ausgabe:?}/$bild"; done

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  exec dbus-run-session -- "$0" "$bau" "$@"
fi

welt=$(mktemp -d "${TMPDIR:-/tmp}/tw-vorfuehrung-XXXXXX")
dienste=()
export HOME="$welt/heim" XDG_CONFIG_HOME="$welt/heim/.config" XDG_DATA_HOME="$welt/heim/.local/share"
export XDG_CACHE_HOME="$welt/heim/.cache" XDG_STATE_HOME="$welt/heim/.local/state"
unset GELD_BOTE_ZUSTAND
mkdir -p "$HOME"
zustand=$HOME/.local/state/geld-bote-demo
ende() {
  trap - EXIT INT TERM
  for pid in "${dienste[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${dienste[@]}"; do wait "$pid" 2>/dev/null || true; done
  # The stand-in keeps running after the app, as servers do; the demo stops
  # one it started itself.
  server=$(cat "$zustand/tunnel.pid" 2>/dev/null || true)
  if [[ $server =~ ^[1-9][0-9]*$ ]] &&
    [[ $(readlink "/proc/$server/exe" 2>/dev/null) == *geld-bote* ]]; then
    kill "$server" 2>/dev/null || true
  fi
  rm -rf "$welt"
}
trap ende EXIT
trap 'exit 0' INT TERM

Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x900x24 3>"$welt/anzeige" 2>"$welt/xvfb.log" &
dienste+=($!)
for _ in $(seq 100); do [ -s "$welt/anzeige" ] && break; sleep 0.1; done
[ -s "$welt/anzeige" ] || { echo "Xvfb did not start:" >&2; cat "$welt/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$welt/anzeige")"

# The tray host opens the menu once the stand-in's vault is set up and
# locked (below), and then clicks the row that unlocks it.
"$leiste" --bild "$ausgabe/menue.png" --text "$ausgabe/menue.txt" --warten-auf "Tresor zu" \
  --klicken "Tresor entsperren …" --klick-bild "$ausgabe/entsperren.png" &
leiste_pid=$!
dienste+=($leiste_pid)
gdbus wait --session --timeout 10 org.kde.StatusNotifierWatcher

# "--seite" writes each finished load of the setup window down, so the
# screenshots are taken once a page is there.
"$programm" --seite "$@" &
app=$!
dienste+=($app)
geladen() {  # until the last finished load's address matches the pattern
  for _ in $(seq 300); do
    grep -qx "geladen $1" "$zustand/menue.fenster.log" 2>/dev/null && return 0
    kill -0 "$app" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}
fensterbild() {
  sleep 0.5  # the page's first paint
  "$leiste" --bildschirm "$ausgabe/$1" && echo "The setup window: $ausgabe/$1"
}
geladen about:blank && fensterbild fenster-warten.png
# A new chatbot address first shows the chatbot page; the server's own
# request to show a page brings the setup page back.
geladen 'http.*' && seite=$("$bau/Taler Wacht.app/Contents/MacOS/taler-wacht-status" 2>/dev/null |
  sed -n '/"eigeneSeiten"/,/]/{s/^ *"\(http[^"]*\)".*/\1/p}' | head -n1)
if [ -n "${seite:-}" ]; then
  printf '%s\n' "$seite" >"$zustand/seite.oeffnen"
  sleep 0.2
  geladen "$seite" && fensterbild fenster-einrichten.png
  # A vault of the stand-in's, set up and locked, so that the menu offers to unlock it.
  herkunft=$(printf %s "$seite" | sed -E 's|^(https?://[^/]+).*|\1|')
  post() {
    curl -s -o /dev/null -X POST -H "Sec-Fetch-Site: same-origin" -H "Origin: $herkunft" \
      --data-binary @- "${seite%/}/$1" || true
  }
  printf 'passphrase=%s' vorfuehrung-1 | post einrichten  # a builtin: in no argument list
  post sperren </dev/null
fi
for _ in $(seq 300); do [ -s "$ausgabe/entsperren.png" ] && break; kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if [ -s "$ausgabe/menue.png" ]; then
  echo "The open tray menu: $ausgabe/menue.png; its rows:"
  sed 's/^/    /' "$ausgabe/menue.txt"
else
  echo "The tray menu did not show within 30 s." >&2
fi
if [ -s "$ausgabe/entsperren.png" ]; then
  echo "The unlock dialog: $ausgabe/entsperren.png"
else
  echo "The unlock dialog did not show within 30 s." >&2
fi
if [ -n "${TW_LEERLAUF:-}" ]; then
  # Figures instead of a session: CPU time over that many idle seconds, then memory.
  # Our tray host reads the menu every second, which a desktop's tray does
  # not do while nothing changes; it holds still while the app is measured.
  # After one unlock through the dialog, typed as a person would.
  # Alerts and the setup window share their title, not their class name.
  # (xdotool's own --sync may answer with a window that does not match.)
  # The setup window belongs to the window program, a child of the app.
  fenster() {
    local id= pid
    for _ in $(seq 100); do
      pid=$app
      [ "$1" = '^taler-wacht-fenster$' ] && pid=$(pgrep -P "$app" -x taler-wacht-fen | head -n1 || true)
      [ -n "$pid" ] && id=$(xdotool search --onlyvisible --pid "$pid" --classname "$1" 2>/dev/null | head -n1) &&
        [ -n "$id" ] && break
      sleep 0.1
    done
    echo "$id"
  }
  if [ -s "$ausgabe/entsperren.png" ] && command -v xdotool >/dev/null; then
    xdotool windowfocus --sync "$(fenster '^taler-wacht$')"
    printf %s vorfuehrung-1 | xdotool type --file -
    xdotool key Return
    sleep 4
    echo "vault after the unlock: $("$bau/Taler Wacht.app/Contents/MacOS/taler-wacht-status" 2>/dev/null |
      sed -n 's/^ *"tresor": *"\([a-z]*\)".*/\1/p')"
  fi
  # Memory of the app and of its web processes (below it, in the sandbox).
  pss() { awk '/^Pss:/ { print $2 }' "/proc/$1/smaps_rollup" 2>/dev/null || echo 0; }
  webprozesse() {
    for s in /proc/[0-9]*/stat; do
      p=${s#/proc/}; p=${p%/stat}
      [[ $(cat "/proc/$p/comm" 2>/dev/null) == WebKitWebProces* ]] || continue
      v=$p
      while [ "$v" -gt 1 ]; do
        [ "$v" = "$app" ] && { echo "$p"; break; }
        v=$(awk '{ print $4 }' "/proc/$v/stat" 2>/dev/null || echo 1)
      done
    done
  }
  speicher() {
    local web=0 programm=0 karte
    for p in $(webprozesse); do web=$((web + $(pss "$p"))); done
    for p in $(pgrep -P "$app" -x taler-wacht-fen); do programm=$((programm + $(pss "$p"))); done
    karte=$(grep -cE 'libwebkit2gtk|libjavascriptcoregtk|libLLVM|libgallium|_dri\.so' "/proc/$app/maps" || true)
    awk -v a="$(pss "$app")" -v f="$programm" -v w="$web" -v t="$1" -v k="$karte" \
      'BEGIN { printf "PSS %s: app %.1f MB, window program %.1f MB, web process %.1f MB, together %.1f MB; web engine or GL mappings in the app: %d\n", t, a / 1024, f / 1024, w / 1024, (f + w) / 1024, k }'
  }
  speicher "with the setup page shown"
  # Closing with the vault open brings the notice once; Escape answers "Verstanden".
  xdotool windowfocus --sync "$(fenster '^taler-wacht-fenster$')" key ctrl+w
  sleep 1
  xdotool windowfocus --sync "$(fenster '^taler-wacht$')" key Escape
  kill -STOP "$leiste_pid"
  takte=$(getconf CLK_TCK)
  cpu() { awk '{ print $14 + $15 }' "/proc/$app/stat"; }
  vorher=$(cpu)
  sleep "$TW_LEERLAUF"
  nachher=$(cpu)
  kill -CONT "$leiste_pid"
  awk -v t=$((nachher - vorher)) -v hz="$takte" -v s="$TW_LEERLAUF" \
    'BEGIN { printf "idle CPU over %d s, window closed: %.3f %% of one core (%d ticks)\n", s, 100 * t / hz / s, t }'
  grep -E '^(Rss|Pss):' "/proc/$app/smaps_rollup" | awk '{ printf "%s %.1f MB\n", $1, $2 / 1024 }'
  speicher "$TW_LEERLAUF s after closing the window"
  echo "shared libraries mapped: $(grep -c '\.so' <(awk '{ print $6 }' "/proc/$app/maps" | sort -u))"

  # A second launch finds the vault set up, so the window waits until asked for.
  kill "$app"
  wait "$app" 2>/dev/null || true
  "$programm" &
  app=$!
  dienste+=($app)
  sleep 10
  speicher "before the window is first opened"
  printf '%s\n' "$seite" >"$zustand/seite.oeffnen"
  fenster '^taler-wacht-fenster$' >/dev/null
  sleep 5
  speicher "with the setup page shown"
  # The notice was answered in the first run: this close says nothing.
  xdotool windowfocus --sync "$(fenster '^taler-wacht-fenster$')" key ctrl+w
  sleep "$TW_LEERLAUF"
  speicher "$TW_LEERLAUF s after closing the window"
  exit 0
fi
echo "Taler Wacht runs on a virtual display (pid $app); end it with Ctrl+C or: kill $$"
status=0
wait "$app" || status=$?
exit "$status"
