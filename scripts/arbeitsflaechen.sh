#!/usr/bin/env bash
# Runs the menu app from its bundle on real desktops, headless, each in a world of its own
# (temporary home and state folders, own D-Bus sessions, a free port): GNOME Shell without
# and with the extension "AppIndicator and KStatusNotifierItem Support", sway with waybar's
# tray, xfce4-panel's status tray under Xvfb. It finds the app's item at the tray's
# StatusNotifierWatcher, opens the menu with the desktop's own pointer, reads it over D-Bus,
# clicks "Anhalten" and "Starten" there and checks that the stand-in server follows.
# Screenshots and menu rows land in build/arbeitsflaechen (or TW_ARBEITSFLAECHEN); one line
# per desktop sums up. Not part of CI. sway refuses root: as root its world runs as the user
# named by TW_NUTZER, or not at all. TW_BEHALTEN=1 keeps the worlds' folders and logs.
# Usage: scripts/arbeitsflaechen.sh [gnome] [sway] [xfce]   (default: all; the build
# folder is TW_BAU, by default build/app, which this script builds)
set -euo pipefail
selbst=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
quelle=$(cd "$(dirname "$0")/.." && pwd)
breite=1280 hoehe=800

# Inside one world: its own session bus, TW_WELT its folder, GELD_BOTE_* set.
welt=${TW_WELT:-} bau=${TW_BAU:-}
programm="$bau/Taler Wacht.app/Contents/MacOS/TalerWacht"
dienste=() app=
starten() { "${@:2}" >"$welt/$1" 2>&1 & dienste+=($!); }  # <log file> <command...>: ended with this world
innen_ende() {
  trap - EXIT INT TERM
  [ -n "$app" ] && kill "$app" 2>/dev/null && warten 100 eval '! kill -0 "$app" 2>/dev/null' || true  # it ends in order
  # The stand-in outlives the app, as servers do; this world's one ends here.
  local pid
  pid=$(head -c 32 "$GELD_BOTE_ZUSTAND/tunnel.pid" 2>/dev/null || true)
  [[ $pid =~ ^[1-9][0-9]*$ && $(readlink "/proc/$pid/exe" 2>/dev/null) == *geld-bote* ]] && kill "$pid" 2>/dev/null || true
  for ((i = ${#dienste[@]} - 1; i >= 0; i--)); do kill "${dienste[i]}" 2>/dev/null || true; done
  for pid in "${dienste[@]}"; do wait "$pid" 2>/dev/null || true; done
}
warten() {  # <tenths of a second> <command...>: until the command succeeds
  for _ in $(seq "$1"); do "${@:2}" && return 0; sleep 0.1; done; return 1
}
zeile() { echo "$*" >"$welt/zeile"; }
bilder() { find "$welt/bilder" -name '*.png' -printf '%f\n' | sort | paste -sd ' '; }
wayland_sockel() {  # the compositor's socket in this world's runtime folder
  local s
  for s in "$XDG_RUNTIME_DIR"/wayland-[0-9]*; do [ -S "$s" ] && export WAYLAND_DISPLAY=${s##*/} && return 0; done; return 1
}

# The app's item as a tray sees it: an entry of the watcher, ":1.42/path" or "service@/path".
bus="" pfad="" menue=""
eintrag() {
  local e
  e=$(gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher -m org.freedesktop.DBus.Properties.Get \
    org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems 2>/dev/null | grep -o "'[^']*/[^']*'" | head -n1 | tr -d "'") || true
  [ -n "$e" ] || return 1
  if [[ $e == *@* ]]; then bus=${e%%@*} pfad=${e#*@}; else bus=${e%%/*} pfad=/${e#*/}; fi
  menue=$(eigenschaft Menu)
  [ -n "$menue" ]
}
eigenschaft() {
  gdbus call --session -d "$bus" -o "$pfad" -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1" 2>/dev/null |
    sed -nE "s/^\(<(objectpath )?'(.*)'>,\)$/\2/p"
}
# The visible rows, one "(id, {properties}" per line, and their labels ("__" is a plain "_").
zeilen() {
  gdbus call --session -d "$bus" -o "$menue" -m com.canonical.dbusmenu.GetLayout -- 0 -1 '@as []' 2>/dev/null |
    grep -oP "\(\d+, \{[^{}]*\}" | grep -v "'visible': <false>" || true
}
beschriftungen() { zeilen | grep -oP "'label': <'\K[^']*" | sed 's/__/_/g' || true; }
hat_zeile() { beschriftungen | grep -qxF "$1"; }
klicken() {  # the enabled row with exactly this label
  local id
  id=$(zeilen | grep -F "'label': <'$1'>" | grep -v "'enabled': <false>" | head -n1 | grep -oP '^\(\K\d+') || return 1
  gdbus call --session -d "$bus" -o "$menue" -m com.canonical.dbusmenu.Event -- "$id" clicked '<int32 0>' 0 >/dev/null
}
offen() { (exec 3<>"/dev/tcp/127.0.0.1/$GELD_BOTE_PORT") 2>/dev/null; }
zu() { ! offen; }
gefolgt() { hat_zeile "$1" && "$2"; }
schalten() { klicken "$1" && warten 150 gefolgt "$2" "$3"; }  # <row> <row that follows> offen|zu: the stand-in's port

# The launcher as an installation leaves it, so that desktops name the app by it.
starter() {
  mkdir -p "$XDG_DATA_HOME/applications"
  sed -e "s|@tw_exec@|\"$programm\"|" -e "s|@tw_programm@|$programm|" "$quelle/packaging/taler-wacht.desktop.in" \
    >"$XDG_DATA_HOME/applications/taler-wacht.desktop"
}

# The common run; bild <file> and oeffnen (opens the menu) come from the desktop.
pruefen() {
  local name=$1 folgt=no
  starter
  "$programm" >"$welt/app.log" 2>&1 &
  app=$!
  warten 300 eintrag ||
    { bild "$name-symbol.png" || true; zeile "$name: icon NOT seen (no item at the watcher in 30 s); screenshots: $(bilder)"; return; }
  warten 300 hat_zeile "Für ChatGPT & Co.: läuft" || true
  sleep 1  # the label's first paint
  bild "$name-symbol.png" || true
  oeffnen || true
  sleep 1.5
  bild "$name-menue.png" || true
  beschriftungen >"$welt/bilder/$name-menue.txt"
  schalten Anhalten "Für ChatGPT & Co.: angehalten" zu && schalten Starten "Für ChatGPT & Co.: läuft" offen && folgt=yes
  zeile "$name: icon seen ($bus$pfad, label \"$(eigenschaft XAyatanaLabel)\", title \"$(eigenschaft Title)\");" \
    "$(wc -l <"$welt/bilder/$name-menue.txt") menu rows read; Anhalten/Starten followed by the stand-in: $folgt;" \
    "screenshots: $(bilder)"
}

shell_eval() { gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell -m org.gnome.Shell.Eval "$1" 2>/dev/null; }
welt_gnome() {  # mit|ohne: with or without the AppIndicator extension
  # The shell lets only a few callers take screenshots or evaluate code; an
  # extension of this world switches that check off, as Looking Glass can.
  local zugang=tw-zugang@taler-wacht.invalid erweiterungen gesehen=no watcher=none text
  local ordner=$XDG_DATA_HOME/gnome-shell/extensions/$zugang
  mkdir -p "$ordner"
  printf '{"uuid": "%s", "name": "Unsafe mode for tests", "description": "-", "shell-version": ["%s"]}\n' \
    "$zugang" "$(gnome-shell --version | grep -oP '\d+' | head -n1)" >"$ordner/metadata.json"
  printf '%s\n' 'function init() {}' 'function enable() { global.context.unsafe_mode = true; }' \
    'function disable() { global.context.unsafe_mode = false; }' >"$ordner/extension.js"
  # No welcome tour and no note about the missing screen lock: they would cover the app's banner.
  touch "$XDG_DATA_HOME/gnome-shell/lock-warning-shown"
  gsettings set org.gnome.shell welcome-dialog-last-shown-version 999
  erweiterungen="'$zugang'"
  [ "$1" = mit ] && erweiterungen+=", '$TW_ERWEITERUNG'"
  gsettings set org.gnome.shell enabled-extensions "[$erweiterungen]"
  export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland
  starter  # before the shell, which watches only the application folders it found
  starten gnome-shell.log gnome-shell --headless --wayland --no-x11 --virtual-monitor "${breite}x$hoehe"
  warten 300 eval 'shell_eval Main.layoutManager._startingUp | grep -q false' && wayland_sockel ||
    { zeile "gnome-$1: GNOME Shell did not start (see gnome-shell.log)"; return; }
  # It starts in the overview, and as root with a note saying so.
  shell_eval 'Main.overview.hide(); Main.messageTray.getSources().forEach(s => s.destroy())' >/dev/null
  bild() {
    gdbus call --session -d org.gnome.Shell.Screenshot -o /org/gnome/Shell/Screenshot \
      -m org.gnome.Shell.Screenshot.Screenshot false false "$welt/bilder/$1" >/dev/null
  }
  if [ "$1" = mit ]; then
    gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell -m org.gnome.Shell.Extensions.GetExtensionInfo \
      "$TW_ERWEITERUNG" | grep -q "'state': <1.0>" || { zeile "gnome: the extension $TW_ERWEITERUNG is not enabled"; return; }
    gdbus wait --session --timeout 20 org.kde.StatusNotifierWatcher || true
    # A click at the icon's middle through a virtual pointer of the shell's own:
    # the way of org.gnome.Mutter.RemoteDesktop, whose sessions end with the
    # D-Bus connection that asked for them, so that gdbus cannot keep one.
    oeffnen() {
      local mitte
      mitte=$(shell_eval "Object.entries(Main.panel.statusArea).filter(([k]) => k.includes('$bus')).map(([, v]) =>
        [...v.get_transformed_position()].map((p, i) => Math.round(p + v.get_transformed_size()[i] / 2)).join(' '))[0]" |
        grep -oP '\d+ \d+') || return 1
      shell_eval "const C = imports.gi.Clutter, t = imports.gi.GLib.get_monotonic_time(), z = global.twZeiger ??=
        C.get_default_backend().get_default_seat().create_virtual_device(C.InputDeviceType.POINTER_DEVICE);
        z.notify_absolute_motion(t, ${mitte% *}, ${mitte#* }); z.notify_button(t + 50000, C.BUTTON_PRIMARY, C.ButtonState.PRESSED);
        z.notify_button(t + 100000, C.BUTTON_PRIMARY, C.ButtonState.RELEASED)" >/dev/null
    }
    pruefen gnome
    return
  fi
  # No tray at all: the app says so in a notification, recorded here.
  gdbus wait --session --timeout 20 org.freedesktop.Notifications || true
  starten notify.log dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'"
  sleep 0.5
  starter
  "$programm" >"$welt/app.log" 2>&1 &
  app=$!
  warten 300 grep -q '^ *string "Taler Wacht"' "$welt/notify.log" && gesehen=yes && sleep 1  # the banner slides in
  bild gnome-ohne-erweiterung.png || true
  cp "$welt/notify.log" "$welt/bilder/gnome-ohne-erweiterung-notify.txt"
  # Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, timeout), as the app sent it.
  text=$(awk '/member=Notify/ { n++; next } n != 1 { next } /^ *array \[/ { a++; next } /^ *\]/ && a == 1 { a = 2; next }
    /^ *string "/ { sub(/^ *string "/, ""); sub(/"$/, ""); if (!a) h[++k] = $0; else if (a == 1 && ++j % 2 == 0) t = t (t ? ", " : "") $0 }
    END { if (k) printf "\"%s\" / \"%s\"; actions: %s", h[3], h[4], t }' "$welt/notify.log")
  gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus -m org.freedesktop.DBus.NameHasOwner \
    org.kde.StatusNotifierWatcher | grep -q true && watcher=present
  zeile "gnome-ohne-erweiterung: StatusNotifierWatcher $watcher, so no icon; notification seen: $gesehen${text:+ ($text)};" \
    "screenshots: $(bilder)"
}

welt_sway() {
  mkdir -p "$XDG_CONFIG_HOME/waybar"
  printf 'xwayland disable\noutput * resolution %sx%s bg #2b4a6b solid_color\n' "$breite" "$hoehe" >"$welt/sway.conf"
  printf '%s\n' '{"layer": "top", "position": "top", "height": 30, "modules-left": ["clock"],' \
    '"modules-right": ["tray"], "tray": {"icon-size": 20, "spacing": 8}}' >"$XDG_CONFIG_HOME/waybar/config"
  printf '%s\n' '* { font-family: sans-serif; font-size: 14px; }' 'window#waybar { background: #202020; color: #fff; }' \
    '#tray { padding: 0 10px; }' >"$XDG_CONFIG_HOME/waybar/style.css"
  export XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland
  starten sway.log env WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER="${WLR_RENDERER:-pixman}" sway -c "$welt/sway.conf"
  sway_sockel() { SWAYSOCK=$(find "$XDG_RUNTIME_DIR" -maxdepth 1 -name 'sway-ipc.*.sock' | head -n1) && [ -n "$SWAYSOCK" ]; }
  warten 100 sway_sockel && wayland_sockel || { zeile "sway: sway did not start (see sway.log)"; return; }
  export SWAYSOCK
  # Without input devices the seat has no pointer, and clients get no clicks;
  # wayvnc's virtual pointer gives it one (its socket, in this world, is for nobody).
  starten wayvnc.log wayvnc -u "$XDG_RUNTIME_DIR/vnc"
  warten 100 eval 'swaymsg -t get_inputs | grep -q "\"type\": \"pointer\""' || true
  starten waybar.log waybar
  gdbus wait --session --timeout 20 org.kde.StatusNotifierWatcher || true
  bild() { grim "$welt/bilder/$1"; }
  oeffnen() {  # the tray is last in the bar, 10 px from the right edge; waybar opens the menu on the right button
    swaymsg -q seat - cursor set $((breite - 20)) 15
    swaymsg -q seat - cursor press button3
    swaymsg -q seat - cursor release button3
  }
  pruefen sway
}

welt_xfce() {
  local xml=$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml
  mkdir -p "$xml"
  # One panel along the top: an invisible separator pushes the status tray to the right.
  cat >"$xml/xfce4-panel.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0"><property name="configver" type="int" value="2"/>
  <property name="panels" type="array"><value type="int" value="1"/><property name="panel-1" type="empty">
    <property name="position" type="string" value="p=6;x=0;y=0"/><property name="length" type="uint" value="100"/>
    <property name="position-locked" type="bool" value="true"/><property name="size" type="uint" value="30"/>
    <property name="plugin-ids" type="array"><value type="int" value="1"/><value type="int" value="2"/></property>
  </property></property>
  <property name="plugins" type="empty"><property name="plugin-1" type="string" value="separator">
    <property name="expand" type="bool" value="true"/><property name="style" type="uint" value="0"/></property>
    <property name="plugin-2" type="string" value="systray"/></property>
</channel>
EOF
  export XDG_CURRENT_DESKTOP=XFCE XDG_SESSION_TYPE=x11
  Xvfb -displayfd 3 -nolisten tcp -screen 0 "${breite}x${hoehe}x24" 3>"$welt/anzeige" 2>"$welt/xvfb.log" &
  dienste+=($!)
  warten 100 test -s "$welt/anzeige" || { zeile "xfce: Xvfb did not start (see xvfb.log)"; return; }
  DISPLAY=":$(head -n1 "$welt/anzeige")"
  export DISPLAY
  starten panel.log xfce4-panel --disable-wm-check  # xfconfd comes by D-Bus activation
  gdbus wait --session --timeout 20 org.kde.StatusNotifierWatcher || true
  bild() { "$bau/bin/taler-wacht-leiste" --bildschirm "$welt/bilder/$1"; }
  oeffnen() {  # the status tray's window, in the panel's plugin process; the menu is on the right button
    local X Y WIDTH HEIGHT fenster
    fenster=$(xdotool search --onlyvisible --classname wrapper-2.0 | head -n1) || return 1
    eval "$(xdotool getwindowgeometry --shell "$fenster" | grep -E '^(X|Y|WIDTH|HEIGHT)=[0-9]+$')"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
  }
  pruefen xfce
}

if [ "${1:-}" = --innen ]; then
  echo $$ >"$welt/innen.pid"  # for the outside to end it: started in the background, it cannot trap SIGINT
  trap innen_ende EXIT
  trap 'exit 143' TERM
  case $2 in
    gnome-*) welt_gnome "${2#gnome-}" ;;
    sway | xfce) "welt_$2" ;;
  esac
  exit 0
fi

# Outside: packages, the build, and one world after another.
cd "$(dirname "$0")/.."
arten=("$@")
[ ${#arten[@]} -gt 0 ] || arten=(gnome sway xfce)
for art in "${arten[@]}"; do
  [[ $art =~ ^(gnome|sway|xfce)$ ]] || { echo "usage: $0 [gnome] [sway] [xfce]" >&2; exit 2; }
done
anfang=$SECONDS
fehlend=()
for paket in dbus libglib2.0-bin gnome-shell gnome-shell-extension-appindicator gjs sway waybar grim wayvnc xfce4-panel \
  xvfb xdotool; do
  dpkg-query -W -f='${Status}' "$paket" 2>/dev/null | grep -q 'install ok installed' || fehlend+=("$paket")
done
if [ ${#fehlend[@]} -gt 0 ]; then
  apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -qq)
  [ "$(id -u)" -eq 0 ] || apt=(sudo "${apt[@]}")
  echo "Installing: ${fehlend[*]}"
  "${apt[@]}" update && "${apt[@]}" install -y --no-install-recommends "${fehlend[@]}"
fi
if [ -z "${TW_BAU:-}" ]; then
  scripts/pakete.sh bauen
  cmake -S . -B build/app -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_TESTS=OFF >/dev/null
  cmake --build build/app
fi
bau=$(cd "${TW_BAU:-build/app}" && pwd)
mkdir -p "${TW_ARBEITSFLAECHEN:-build/arbeitsflaechen}"
ausgabe=$(cd "${TW_ARBEITSFLAECHEN:-build/arbeitsflaechen}" && pwd)

welten=() laufend="" systembus="" systemadresse="" erweiterung=""
ende() {
  trap - EXIT INT TERM
  local pid
  if [ -n "$laufend" ] && pid=$(cat "$laufend/innen.pid" 2>/dev/null) && kill "$pid" 2>/dev/null; then
    echo "Ending the world in $laufend ..."
    warten 300 eval '! kill -0 "$pid" 2>/dev/null' || true
  fi
  if [ -n "$systembus" ]; then kill "$systembus" 2>/dev/null || true; fi
  [ ${#welten[@]} -eq 0 ] || [ -n "${TW_BEHALTEN:-}" ] || rm -rf "${welten[@]}"
}
trap ende EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

freier_port() {  # one where nothing listens yet
  local port
  for _ in $(seq 100); do port=$((20000 + RANDOM % 40000)) && ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; done
  echo "$port"
}
zusammenfassung=()
welt_starten() {  # <kind> [user]: one world, as that user when given
  local w nutzer=${2:-} als=() system=(-u DBUS_SYSTEM_BUS_ADDRESS)
  w=$(mktemp -d "${TMPDIR:-/tmp}/tw-arbeitsflaeche-XXXXXX")
  welten+=("$w")
  mkdir -p "$w/heim/.config" "$w/lauf" "$w/zustand" "$w/bilder" "$w/tmp" && chmod 700 "$w/lauf"
  [ -z "$nutzer" ] || { chown -R "$nutzer:" "$w" && als=(runuser -u "$nutzer" --); }
  [ -z "$systemadresse" ] || system=(DBUS_SYSTEM_BUS_ADDRESS="$systemadresse")
  echo "== $1${nutzer:+ (as $nutzer)}"
  "${als[@]}" env -u DISPLAY -u WAYLAND_DISPLAY -u SWAYSOCK -u XAUTHORITY -u DBUS_SESSION_BUS_ADDRESS -u SESSION_MANAGER \
    "${system[@]}" HOME="$w/heim" XDG_CONFIG_HOME="$w/heim/.config" XDG_DATA_HOME="$w/heim/.local/share" \
    XDG_CACHE_HOME="$w/heim/.cache" XDG_STATE_HOME="$w/heim/.local/state" XDG_RUNTIME_DIR="$w/lauf" TMPDIR="$w/tmp" \
    TW_WELT="$w" TW_BAU="$bau" TW_ERWEITERUNG="$erweiterung" GELD_BOTE_ZUSTAND="$w/zustand" GELD_BOTE_PORT="$(freier_port)" \
    dbus-run-session -- "$selbst" --innen "$1" >"$w/welt.log" 2>&1 &
  laufend=$w  # waited for in the background, so that a signal is handled at once
  wait $! || true
  laufend=""
  find "$w/bilder" -type f -exec cp {} "$ausgabe/" \;
  zusammenfassung+=("$(cat "$w/zeile" 2>/dev/null || echo "$1: did not finish; its log ends: $(tail -n3 "$w/welt.log" | paste -sd " ")")")
}

for art in "${arten[@]}"; do
  rm -f "$ausgabe/$art"-*
  case $art in
    gnome)
      # gnome-shell wants a system bus; a second session bus stands in for it.
      # The file gets the pid of the sleep whose end ends that bus, then its address.
      adresse=$(mktemp "${TMPDIR:-/tmp}/tw-systembus-XXXXXX")
      welten+=("$adresse")
      # shellcheck disable=SC2016 # expanded by that bus's shell
      dbus-run-session -- bash -c 'printf "%s\n" $$ "$DBUS_SESSION_BUS_ADDRESS" >"$1"; exec sleep infinity' - "$adresse" \
        >/dev/null 2>&1 &
      warten 50 eval '[ "$(wc -l <"$adresse")" -eq 2 ]' || true
      { read -r systembus; read -r systemadresse; } <"$adresse"
      # Debian ships it as ubuntu-appindicators@ubuntu.com, upstream as appindicatorsupport@rgcjonas.gmail.com.
      erweiterung=$(grep -l '"settings-schema": "org.gnome.shell.extensions.appindicator"' \
        /usr/share/gnome-shell/extensions/*/metadata.json 2>/dev/null | head -n1 | xargs -r dirname | xargs -r basename)
      welt_starten gnome-ohne
      if [ -n "$erweiterung" ]; then welt_starten gnome-mit; else zusammenfassung+=("gnome: no AppIndicator extension"); fi
      kill "$systembus" 2>/dev/null || true
      systembus="" systemadresse=""
      ;;
    sway)
      if [ "$(id -u)" -ne 0 ]; then
        welt_starten sway
      elif [ -z "${TW_NUTZER:-}" ] || ! id "$TW_NUTZER" >/dev/null 2>&1; then
        zusammenfassung+=("sway: skipped: it refuses root, and TW_NUTZER names no user to run it as")
      elif ! runuser -u "$TW_NUTZER" -- test -x "$selbst" -a -x "$bau/Taler Wacht.app/Contents/MacOS/TalerWacht"; then
        zusammenfassung+=("sway: skipped: $TW_NUTZER cannot run $selbst or the bundle in $bau")
      else
        welt_starten sway "$TW_NUTZER"
      fi
      ;;
    xfce) welt_starten xfce ;;
  esac
done

echo
echo "Screenshots and menu rows: $ausgabe ($((SECONDS - anfang)) s in all)"
printf '%s\n' "${zusammenfassung[@]}"
