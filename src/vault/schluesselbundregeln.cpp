#include "vault/schluesselbundregeln.h"

#include <array>

#include "app/konstanten.h"
#include "app/protokoll.h"
#include "app/text.h"

namespace tw {
namespace {

constexpr std::string_view dbusFehler = "org.freedesktop.DBus.Error.";
constexpr std::string_view dienstFehler = "org.freedesktop.Secret.Error.";
// How GDBus names a GIO error (a broken link, a cancelled call).
constexpr std::string_view gioFehler = "org.gtk.GDBus.UnmappedGError.Quark._g_2dio_2derror_2dquark.";

// The bus could not reach the service, or it did not answer.
constexpr std::array<std::string_view, 6> unerreichbar = {"ServiceUnknown", "NameHasNoOwner", "NoReply",
                                                          "Timeout",        "TimedOut",       "Disconnected"};

bool istDbusFehler(std::string_view name, std::string_view art) {
  return name.starts_with(dbusFehler) && name.substr(dbusFehler.size()) == art;
}

}  // namespace

std::optional<int> ohneDienst(Bundaufruf aufruf, const Schluesselbundabfrage& abfrage,
                              std::string_view label) {
  if (abfrage.geschuetzt)
    return aufruf == Bundaufruf::hinzufuegen ? errSecMissingEntitlement : errSecItemNotFound;
  if (!gueltigesUtf8(abfrage.dienst) || !gueltigesUtf8(abfrage.konto) || !gueltigesUtf8(label)) {
    protokollieren("Schlüsselbund: Dienst, Konto oder Bezeichnung ist kein gültiges UTF-8");
    return errSecParam;
  }
  return std::nullopt;
}

bool nachfragenErlaubt(Bundaufruf aufruf, const Besitzerkontext* kontext) {
  if (aufruf == Bundaufruf::vorhanden) return false;
  if (aufruf == Bundaufruf::lesen) return kontext && kontext->bestaetigt;
  return true;
}

int dienstfehlerStatus(std::string_view name, int keinObjekt) {
  if (name == std::string(dienstFehler) + "IsLocked") return errSecInteractionNotAllowed;
  if (name == std::string(dienstFehler) + "NoSuchObject" || istDbusFehler(name, "UnknownObject") ||
      istDbusFehler(name, "UnknownMethod"))
    return keinObjekt;
  if (name.starts_with(gioFehler)) return errSecNotAvailable;
  for (const auto art : unerreichbar)
    if (istDbusFehler(name, art)) return errSecNotAvailable;
  return errSecInternalComponent;
}

bool nachEntsperrenNochmal(int status, bool schonEntsperrt) {
  return !schonEntsperrt && status == errSecInteractionNotAllowed;
}

Fortgang nachDerSuche(Bundaufruf aufruf, std::size_t offen, std::size_t gesperrt, bool nachfragen) {
  if (aufruf == Bundaufruf::hinzufuegen)
    return {offen + gesperrt > 0 ? std::optional(errSecDuplicateItem) : std::nullopt};
  // A read takes an unlocked match when there is one.
  if (aufruf == Bundaufruf::lesen && offen > 0) return {};
  if (offen + gesperrt == 0) return {errSecItemNotFound};
  if (gesperrt == 0) return {};
  if (!nachfragen) return {errSecInteractionNotAllowed};
  return {.entsperren = true};
}

int vorhandenStatus(bool gefunden, bool gesperrt) {
  return gefunden ? errSecSuccess : gesperrt ? errSecInteractionNotAllowed : errSecItemNotFound;
}

bool dienstAntwortete(int status) {
  return status == errSecSuccess || status == errSecItemNotFound || status == errSecDuplicateItem ||
         status == errSecInteractionNotAllowed || status == errSecUserCanceled;
}

}  // namespace tw
