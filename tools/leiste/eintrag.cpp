#include "eintrag.h"

#include "dbus_ruf.h"

namespace tw::leiste {

Eintragsdaten eintragLesen(const Eintrag& eintrag) {
  Eintragsdaten daten;
  const auto antwort = rufen(eintrag.bus, eintrag.pfad, "org.freedesktop.DBus.Properties", "GetAll",
                             g_variant_new("(s)", "org.kde.StatusNotifierItem"), "(a{sv})", daten.fehler);
  if (!antwort) return daten;
  const Variante werte(g_variant_get_child_value(antwort.get(), 0));
  const auto text = [&](const char* name, const GVariantType* typ) -> std::string {
    const Variante wert(g_variant_lookup_value(werte.get(), name, typ));
    return wert ? g_variant_get_string(wert.get(), nullptr) : "";
  };
  daten.kennung = text("Id", G_VARIANT_TYPE_STRING);
  daten.titel = text("Title", G_VARIANT_TYPE_STRING);
  daten.symbol = text("IconName", G_VARIANT_TYPE_STRING);
  daten.symbolOrdner = text("IconThemePath", G_VARIANT_TYPE_STRING);
  daten.menuePfad = text("Menu", G_VARIANT_TYPE_OBJECT_PATH);
  daten.beschriftung = text("XAyatanaLabel", G_VARIANT_TYPE_STRING);
  return daten;
}

}  // namespace tw::leiste
