#!/usr/bin/env bash
# One row per Secret Service provider: remembering, the read after the owner's
# confirmation, the look-up while the provider is locked, and forgetting, with
# the app's own keyring code. Not part of the test command: it installs KWallet
# too. Usage: scripts/schluesselbuende.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
bau=${1:-build/pruefung}

sudo_wenn_noetig=()
[ "$(id -u)" -eq 0 ] || sudo_wenn_noetig=(sudo)
for paket in libkf5wallet-bin libqca-qt5-2-plugins python3; do
  dpkg-query -W -f='${Status}' "$paket" 2>/dev/null | grep -q 'install ok installed' ||
    "${sudo_wenn_noetig[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$paket"
done
scripts/pakete.sh pruefen
[ -x "$bau/src/schluesselbund_test" ] || cmake --build "$bau" --target schluesselbund_test

TW_ANBIETER=gnome-keyring,keepassxc,keepassxc-bestaetigen,kwallet \
  dbus-run-session -- scripts/testumgebung.sh "$bau/src/schluesselbund_test" \
  --gtest_filter='*JederAnbieter*' 2>&1 | grep -E '^anbieter |FAILED|Failure' || true
