#!/usr/bin/env bash
# Installs the build's bundle into a home of its own, runs the installed
# status command, and removes everything again through the installed reset.
# Usage: installation_test.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1 bau=$2
t=$(mktemp -d "${TMPDIR:-/tmp}/tw-installation-XXXXXX")
trap 'rm -rf -- "$t"' EXIT
fehler() { echo "FAIL: $*" >&2; exit 1; }

# Folders and a (missing) bus of its own: the reset clears the state folder and
# the keyring item the world's other tests use. The home's name needs quoting.
export HOME="$t/Heim \"1\" \$x 5%" XDG_DATA_HOME="$t/daten" XDG_CONFIG_HOME="$t/konfig"
export GELD_BOTE_ZUSTAND="$t/zustand" TW_PAM_ORDNER="$t/pam.d" DBUS_SESSION_BUS_ADDRESS="unix:path=$t/kein-bus"
app="$HOME/Applications/Taler Wacht.app"
mkdir -p "$app/Contents" "$TW_PAM_ORDNER"
touch "$app/Contents/alt"
"$cmake" --install "$bau" >"$t/install.log" || { cat "$t/install.log"; fehler "cmake --install"; }
[[ ! -e $app/Contents/alt ]] || fehler "an older bundle's file stayed"

programm="$app/Contents/MacOS/TalerWacht"
starter="$XDG_DATA_HOME/applications/taler-wacht.desktop"
for datei in Info.plist MacOS/TalerWacht MacOS/taler-wacht-fenster MacOS/taler-wacht-status \
  Resources/geld-bote Resources/starten Resources/symbole/taler-wacht-frage-symbolic.svg; do
  [[ -f $app/Contents/$datei ]] || fehler "bundle lacks $datei"
done
[[ -x $programm && -x $app/Contents/Resources/starten ]] || fehler "programs not executable"
for symbol in apps/taler-wacht status/taler-wacht-frage-symbolic status/taler-wacht-frage-voll-symbolic; do
  [[ -f $XDG_DATA_HOME/icons/hicolor/scalable/$symbol.svg ]] || fehler "icon $symbol missing"
done
# shellcheck disable=SC2016 # the home's own $ and quotes, escaped
for zeile in 'Exec="'"$t"'/Heim \\"1\\" \\$x 5%%/Applications/Taler Wacht.app/Contents/MacOS/TalerWacht"' \
  "TryExec=$programm" "Icon=taler-wacht" "Type=Application"; do
  grep -qxF -- "$zeile" "$starter" || fehler "launcher lacks: $zeile"
done
# Only root writes the PAM service; it holds both includes.
pam=$(grep -scxE '@include common-(auth|account)' "$TW_PAM_ORDNER/taler-wacht" || true)
[[ $pam == "$([[ $(id -u) == 0 ]] && echo 2)" ]] || fehler "PAM service: $pam includes"

# The installed bundle runs: its status command sees no server here.
"$app/Contents/MacOS/taler-wacht-status" | grep -q '"programmLaeuft": false' || fehler "status command"

# Neither the build tree's reset nor another copy's takes this installation along.
"$bau/Taler Wacht.app/Contents/Resources/starten" --zuruecksetzen
kopie="$HOME/Applications/Taler Wacht Kopie.app"
cp -a "$app" "$kopie"
"$kopie/Contents/Resources/starten" --zuruecksetzen
[[ -f $starter && -d $app && ! -e $kopie ]] || fehler "another bundle's reset took the installation"

touch "$XDG_DATA_HOME/icons/fremd.png"
"$app/Contents/Resources/starten" --zuruecksetzen || fehler "reset"
rest=$(cd "$t" && find daten "Heim \"1\" \$x 5%" | LC_ALL=C sort | tr '\n' ' ')
[[ $rest == "Heim \"1\" \$x 5% daten daten/icons daten/icons/fremd.png " ]] || fehler "after the reset: $rest"
[[ $(id -u) != 0 || -f $TW_PAM_ORDNER/taler-wacht ]] || fehler "reset removed the machine's PAM service"
echo "ok"
