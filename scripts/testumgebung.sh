#!/usr/bin/env bash
# Runs a command (inside a D-Bus session) with a virtual display, an unlocked
# keyring and temporary home and state folders; stops them afterwards and
# fails if the command left a process behind.
set -euo pipefail

welt=$(mktemp -d "${TMPDIR:-/tmp}/tw-welt-XXXXXX")
dienste=()
aufraeumen() {
  for pid in "${dienste[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${dienste[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$welt"
}
trap aufraeumen EXIT

mkdir -p "$welt"/{home,daten,konfig,cache,zustand}
mkdir -m 700 "$welt/laufzeit"
export HOME="$welt/home" XDG_DATA_HOME="$welt/daten" XDG_CONFIG_HOME="$welt/konfig"
export XDG_CACHE_HOME="$welt/cache" XDG_RUNTIME_DIR="$welt/laufzeit" GELD_BOTE_ZUSTAND="$welt/zustand"
unset GELD_BOTE_PORT
# Marks every process started from here, to find those left behind.
export TW_TESTWELT="$welt"

# A free display number, chosen by the server itself.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3>"$welt/anzeige" 2>"$welt/xvfb.log" &
dienste+=($!)
for _ in $(seq 100); do [ -s "$welt/anzeige" ] && break; sleep 0.1; done
[ -s "$welt/anzeige" ] || { echo "Xvfb did not start:" >&2; cat "$welt/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$welt/anzeige")"

printf %s testwort | gnome-keyring-daemon --foreground --unlock --components=secrets \
  >"$welt/schluesselbund.log" 2>&1 &
dienste+=($!)
gdbus wait --session --timeout 10 org.freedesktop.secrets

status=0
"$@" || status=$?

uebrig() {
  local eintrag pid dienst
  for eintrag in /proc/[0-9]*; do
    pid=${eintrag#/proc/}
    [ "$pid" = $$ ] || [ "$pid" = "$BASHPID" ] && continue
    for dienst in "${dienste[@]}"; do [ "$pid" = "$dienst" ] && continue 2; done
    grep -qzx "TW_TESTWELT=$welt" "$eintrag/environ" 2>/dev/null && echo "$pid"
  done
}
# Services a test's private bus started end on their own once that bus has gone; a moment is theirs.
mapfile -t uebrig < <(uebrig)
[ ${#uebrig[@]} -gt 0 ] && sleep 2 && mapfile -t uebrig < <(uebrig)
if [ ${#uebrig[@]} -gt 0 ]; then
  echo "Processes left behind by the tests:" >&2
  for pid in "${uebrig[@]}"; do
    echo "  $pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)" >&2
    kill -KILL "$pid" 2>/dev/null || true
  done
  status=1
fi
exit "$status"
