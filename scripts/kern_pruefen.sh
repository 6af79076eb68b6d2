#!/usr/bin/env bash
# The core folders reach the desktop and the Linux implementations only
# through the seams: none of their files includes GTK, GLib, WebKit,
# libsecret, PAM or a platform/linux header.
set -euo pipefail
cd "$(dirname "$0")/.."

kern=(src/app src/lifecycle src/status src/vault src/controller src/setupwindow)
verboten='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](gtk/|gdk/|gdk-pixbuf/|glib|gio/|gobject/|cairo|webkit|libsecret/|security/pam|libayatana|platform/linux/)'
if treffer=$(grep -rnE "$verboten" "${kern[@]}"); then
  echo "The core includes desktop or Linux platform headers:" >&2
  echo "$treffer" >&2
  exit 1
fi
echo "core clean: ${kern[*]}"
