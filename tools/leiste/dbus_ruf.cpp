#include "dbus_ruf.h"

namespace tw::leiste {

Variante rufen(const std::string& bus, const std::string& pfad, const char* schnittstelle,
               const char* methode, GVariant* parameter, const char* antworttyp, std::string& fehler) {
  const Variante argumente(parameter ? g_variant_ref_sink(parameter) : nullptr);
  // GDBus refuses bad names only with a critical warning, so they are checked here.
  if (!g_dbus_is_name(bus.c_str())) {
    fehler = "ungültiger Busname „" + bus + "“";
    return nullptr;
  }
  if (!g_variant_is_object_path(pfad.c_str())) {
    fehler = "ungültiger Objektpfad „" + pfad + "“";
    return nullptr;
  }
  GError* f = nullptr;
  GDBusConnection* verbindung = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &f);
  GVariant* antwort = nullptr;
  if (verbindung) {
    antwort = g_dbus_connection_call_sync(verbindung, bus.c_str(), pfad.c_str(), schnittstelle, methode,
                                          argumente.get(), G_VARIANT_TYPE(antworttyp),
                                          G_DBUS_CALL_FLAGS_NO_AUTO_START, rufFristMs, nullptr, &f);
    g_object_unref(verbindung);
  }
  if (!antwort) {
    fehler = std::string(methode) + " bei " + bus + pfad + ": " + (f ? f->message : "keine Antwort");
    g_clear_error(&f);
  }
  return Variante(antwort);
}

}  // namespace tw::leiste
