#!/usr/bin/env bash
# Builds the menu app (Release) and installs it for the user who runs this:
# the bundle into ~/Applications, a launcher into the applications menu, the
# icons, and as root also the PAM service file /etc/pam.d/taler-wacht.
# Arguments go to `cmake --install`, e.g. --prefix DIR to install as if DIR
# were the home folder.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/pakete.sh bauen
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTW_TESTS=OFF >/dev/null
cmake --build build/release
cmake --install build/release "$@"

if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$#" -eq 0 ]; then
  echo "Installed for root ($HOME). For $SUDO_USER, run it without sudo; it asks for sudo itself" \
    "when packages are missing." >&2
fi
