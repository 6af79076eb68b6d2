#!/usr/bin/env bash
# Runs a real Secret Service provider on the caller's bus until SIGTERM. The caller brings the
# bus, DISPLAY and HOME and the XDG folders in a folder of its own; the provider is ready once
# $XDG_RUNTIME_DIR/geheimdienst.bereit exists (KeePassXC owns its name before its database is
# open). Every keyring and database has the password "testwort".
# Usage: tests/helfer/geheimdienst.sh keepassxc|keepassxc-bestaetigen|kwallet|gnome-keyring
#   keepassxc-bestaetigen: KeePassXC's defaults, which ask before an access and before a search
#   while locked. A test locks KeePassXC with lockAllDatabases and opens it with openDatabase.
set -euo pipefail

anbieter=${1:-}
for variable in DBUS_SESSION_BUS_ADDRESS DISPLAY HOME XDG_CONFIG_HOME XDG_DATA_HOME XDG_RUNTIME_DIR; do
  [ -n "${!variable:-}" ] || { echo "geheimdienst.sh: $variable is not set" >&2; exit 2; }
done
ordner=$XDG_DATA_HOME/geheimdienst
bereit=$XDG_RUNTIME_DIR/geheimdienst.bereit
mkdir -p "$ordner"
rm -f "$bereit"
printf testwort >"$ordner/passwort"

kind=
aufraeumen() {
  [ -z "$kind" ] || { kill "$kind" 2>/dev/null && wait "$kind" 2>/dev/null; } || true
  rm -f "$bereit"
}
trap aufraeumen EXIT
trap 'exit 0' TERM INT

# Calls go to the provider's unique name: one to org.freedesktop.secrets or org.kde.kwalletd5
# while nobody owns them would have the bus start GNOME Keyring or a bare kwalletd5.
besitzer=
aufrufen() {
  gdbus call --session --dest "$besitzer" "$@" 2>/dev/null
}

# Waits for the provider's name, then for the test that tells that it is ready.
melden() {
  gdbus wait --session --timeout 20 org.freedesktop.secrets
  besitzer=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.GetNameOwner org.freedesktop.secrets | sed "s/[(',)]//g")
  for _ in $(seq 200); do
    "$@" && : >"$bereit" && return
    kill -0 "$kind" 2>/dev/null || break
    sleep 0.1
  done
  echo "geheimdienst.sh: $anbieter did not get ready" >&2
  [ ! -s "$ordner/keepassxc.log" ] || cat "$ordner/keepassxc.log" >&2
  exit 1
}

entsperrt() {
  aufrufen --object-path /org/freedesktop/secrets/aliases/default \
    --method org.freedesktop.DBus.Properties.Get org.freedesktop.Secret.Collection Locked | grep -q false
}

# KeePassXC opens the database given with --pw-stdin and exposes the group named in the
# database's FDO_SECRETS_EXPOSED_GROUP; keepassxc-cli cannot set that, so the file comes from XML.
keepassxc_starten() {
  local pruefen=$1 db=$ordner/taler.kdbx
  if [ ! -f "$db" ]; then
    cat >"$ordner/taler.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<KeePassFile>
 <Meta>
  <CustomData><Item><Key>FDO_SECRETS_EXPOSED_GROUP</Key><Value>{7461c3a1-0000-4000-8000-000000000002}</Value></Item></CustomData>
 </Meta>
 <Root>
  <Group><UUID>dGHDoQAAQACAAAAAAAAAAQ==</UUID><Name>Root</Name>
   <Group><UUID>dGHDoQAAQACAAAAAAAAAAg==</UUID><Name>Taler</Name></Group>
  </Group>
 </Root>
</KeePassFile>
EOF
    printf 'testwort\ntestwort\n' | keepassxc-cli import -q -p -t 100 "$ordner/taler.xml" "$db" \
      2>"$ordner/import.log" || { cat "$ordner/import.log" >&2; exit 1; }
    rm -f "$ordner/taler.xml" "$ordner/import.log"
  fi
  cat >"$ordner/keepassxc.ini" <<EOF
[General]
ConfigVersion=2
OpenPreviousDatabasesOnStartup=false
RememberLastDatabases=false

[GUI]
CheckForUpdates=false

[FdoSecrets]
Enabled=true
ConfirmAccessItem=$pruefen
ConfirmDeleteItem=$pruefen
UnlockBeforeSearch=$pruefen
EOF
  : >"$ordner/keepassxc_local.ini"
  # Its single-instance lock and socket live in TMPDIR: one of the caller's, so that a
  # KeePassXC of someone else on the machine does not take the start over. It prompts for
  # the password on stdout and stderr even when it comes from a file.
  TMPDIR=$XDG_RUNTIME_DIR QT_QPA_PLATFORM=xcb keepassxc --config "$ordner/keepassxc.ini" \
    --localconfig "$ordner/keepassxc_local.ini" --pw-stdin "$db" <"$ordner/passwort" >/dev/null \
    2>"$ordner/keepassxc.log" &
  kind=$!
  melden entsperrt
}

# What pam_kwallet5 does at login: the password's hash through a pipe, the session's
# environment through a listening socket, and kwalletd5 opens (or creates) the wallet with it.
# The hash is PBKDF2-SHA512 over the password with the wallet's salt, 50000 rounds, 56 bytes.
kwallet_pam='
import hashlib, os, socket
ordner = os.environ["XDG_DATA_HOME"] + "/kwalletd"
os.makedirs(ordner, exist_ok=True)
salz = ordner + "/kdewallet.salt"
if not os.path.exists(salz):
    open(salz, "wb").write(os.urandom(56))
schluessel = hashlib.pbkdf2_hmac("sha512", b"testwort", open(salz, "rb").read(), 50000, 56)
lesen, schreiben = os.pipe()
os.write(schreiben, schluessel)
os.close(schreiben)
pfad = os.environ["XDG_RUNTIME_DIR"] + "/kwallet5.socket"
os.path.exists(pfad) and os.unlink(pfad)
umgebung = socket.socket(socket.AF_UNIX)
umgebung.bind(pfad)
umgebung.listen(1)
socket.socket(socket.AF_UNIX).connect(pfad)
os.unlink(pfad)
os.set_inheritable(lesen, True)
os.set_inheritable(umgebung.fileno(), True)
os.environ["PAM_KWALLET5_LOGIN"] = "1"
os.execvp("kwalletd5", ["kwalletd5", "--pam-login", str(lesen), str(umgebung.fileno())])
'

kwallet_offen() {
  aufrufen --object-path /modules/kwalletd5 --method org.kde.KWallet.isOpen kdewallet | grep -q true
}

kwallet_starten() {
  cat >"$XDG_CONFIG_HOME/kwalletrc" <<EOF
[Wallet]
Enabled=true
First Use=false

[org.freedesktop.secrets]
apiEnabled=true
EOF
  local wallet=$XDG_DATA_HOME/kwalletd/kdewallet.kwl
  # kwalletd5 lists its collections once at start, before PAM's wallet exists: the first
  # login creates it on a bus of its own, which the caller never sees.
  if [ ! -s "$wallet" ]; then
    dbus-run-session -- bash -c 'python3 -c "$1" & k=$!
      for _ in $(seq 100); do [ -s "$2" ] && break; sleep 0.05; done
      kill $k; wait $k 2>/dev/null; [ -s "$2" ]' - "$kwallet_pam" "$wallet" 2>/dev/null ||
      { echo "geheimdienst.sh: kwalletd5 did not create $wallet" >&2; exit 1; }
  fi
  python3 -c "$kwallet_pam" &
  kind=$!
  melden kwallet_offen
}

gnome_keyring_starten() {
  gnome-keyring-daemon --foreground --unlock --components=secrets <"$ordner/passwort" >/dev/null &
  kind=$!
  melden entsperrt
}

case "$anbieter" in
  keepassxc) keepassxc_starten false ;;
  keepassxc-bestaetigen) keepassxc_starten true ;;
  kwallet) kwallet_starten ;;
  gnome-keyring) gnome_keyring_starten ;;
  *) echo "usage: $0 keepassxc|keepassxc-bestaetigen|kwallet|gnome-keyring" >&2; exit 2 ;;
esac
wait "$kind"
