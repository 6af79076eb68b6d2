#!/usr/bin/env bash
# Installs the Debian packages a task needs, skipping those already there.
# Usage: scripts/pakete.sh bauen|pruefen|vorfuehren
set -euo pipefail

bauen=(g++ cmake ninja-build pkg-config libglib2.0-dev libpugixml-dev libcurl4-openssl-dev nlohmann-json3-dev
  libssl-dev libcpp-httplib-dev libgtk-3-dev libayatana-appindicator3-dev libsecret-1-dev libgcr-3-dev
  libpam0g-dev libsecret-tools libwebkit2gtk-4.1-dev bubblewrap xdg-dbus-proxy)
pruefen=("${bauen[@]}" libgtest-dev libgmock-dev xvfb xauth dbus gnome-keyring libglib2.0-bin python3
  libbenchmark-dev openssl libpam-wrapper xdotool clang libclang-rt-14-dev at-spi2-core keepassxc)
vorfuehren=(xvfb xauth dbus libglib2.0-bin curl)

case "${1:-}" in
  bauen) gewuenscht=("${bauen[@]}") ;;
  pruefen) gewuenscht=("${pruefen[@]}") ;;
  vorfuehren) gewuenscht=("${vorfuehren[@]}") ;;
  *) echo "usage: $0 bauen|pruefen|vorfuehren" >&2; exit 2 ;;
esac

fehlend=()
for paket in "${gewuenscht[@]}"; do
  dpkg-query -W -f='${Status}' "$paket" 2>/dev/null | grep -q 'install ok installed' || fehlend+=("$paket")
done
[ ${#fehlend[@]} -eq 0 ] && exit 0

als_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Needs root or sudo to install: ${fehlend[*]}" >&2; exit 1; }
  als_root=(sudo)
fi
echo "Installing: ${fehlend[*]}"
"${als_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 update -qq
"${als_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 install -y -qq \
  --no-install-recommends "${fehlend[@]}"
