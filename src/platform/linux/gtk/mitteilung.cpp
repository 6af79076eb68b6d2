#include "platform/linux/gtk/mitteilung.h"

#include <gio/gio.h>

#include <memory>

#include "app/protokoll.h"
#include "platform/linux/gtk/anwendungsname.h"

namespace tw {
namespace {

constexpr const char* dienst = "org.freedesktop.Notifications";
constexpr const char* pfad = "/org/freedesktop/Notifications";
constexpr int frist_ms = 5000;  // a service started on demand may take a moment
constexpr int endfrist_ms = 500;

// For an answer that may come after the notification's owner is gone.
struct Rueckweg {
  std::shared_ptr<bool> lebt;
  Mitteilung* mitteilung;
};

}  // namespace

struct Mitteilung::Rufe {
  static void signal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name,
                     GVariant* parameter, gpointer daten) {
    auto* m = static_cast<Mitteilung*>(daten);
    guint32 id = 0;
    if (g_str_equal(name, "ActionInvoked") && g_variant_is_of_type(parameter, G_VARIANT_TYPE("(us)"))) {
      const gchar* knopf = nullptr;
      g_variant_get(parameter, "(u&s)", &id, &knopf);
      const Aktion aktion = m->inhalt_.aktion(knopf);
      if (id != 0 && id == m->id_ && aktion != Aktion::keine) m->gedrueckt_(aktion);
    } else if (g_str_equal(name, "NotificationClosed") &&
               g_variant_is_of_type(parameter, G_VARIANT_TYPE("(uu)"))) {
      guint32 grund = 0;
      g_variant_get(parameter, "(uu)", &id, &grund);
      if (id == 0 || id != m->id_) return;
      m->id_ = 0;
      m->geschlossen_();
    }
  }

  static void gezeigt(GObject* quelle, GAsyncResult* ergebnis, gpointer daten) {
    std::unique_ptr<Rueckweg> weg(static_cast<Rueckweg*>(daten));
    GError* fehler = nullptr;
    GVariant* antwort = g_dbus_connection_call_finish(G_DBUS_CONNECTION(quelle), ergebnis, &fehler);
    guint32 id = 0;
    if (antwort) {
      g_variant_get(antwort, "(u)", &id);
      g_variant_unref(antwort);
    }
    if (!*weg->lebt) {
      if (id) schliessen(G_DBUS_CONNECTION(quelle), id);
      g_clear_error(&fehler);
      return;
    }
    Mitteilung& m = *weg->mitteilung;
    m.unterwegs_ = false;
    if (fehler) {
      if (!m.gemeldet_)
        protokollieren(std::string("Die Mitteilung ließ sich nicht zeigen: ") + fehler->message);
      m.gemeldet_ = true;
      g_error_free(fehler);
    }
    if (antwort) m.id_ = id;  // a failed replacement leaves the one shown as it was
    if (m.weg_) {
      m.weg_ = false;
      m.zurueckziehen();
    } else if (m.erneut_) {
      m.erneut_ = false;
      m.schicken();
    }
  }

  static void schliessen(GDBusConnection* bus, guint32 id) {
    g_dbus_connection_call(bus, dienst, pfad, dienst, "CloseNotification", g_variant_new("(u)", id), nullptr,
                           G_DBUS_CALL_FLAGS_NO_AUTO_START, frist_ms, nullptr, nullptr, nullptr);
  }
};

Mitteilung::Mitteilung(std::string symbol, std::function<void(Aktion)> gedrueckt,
                       std::function<void()> geschlossen)
    : symbol_(std::move(symbol)), gedrueckt_(std::move(gedrueckt)), geschlossen_(std::move(geschlossen)) {
  bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  // Any sender: a service's signals come from its unique name.
  if (bus_)
    signale_ = g_dbus_connection_signal_subscribe(bus_, nullptr, dienst, nullptr, pfad, nullptr,
                                                  G_DBUS_SIGNAL_FLAGS_NONE, Rufe::signal, this, nullptr);
}

Mitteilung::~Mitteilung() {
  *lebt_ = false;
  if (!bus_) return;
  g_dbus_connection_signal_unsubscribe(bus_, signale_);
  g_object_unref(bus_);
}

void Mitteilung::zeigen(const Leistenhinweis& inhalt) {
  inhalt_ = inhalt;
  weg_ = false;
  if (unterwegs_)
    erneut_ = true;
  else
    schicken();
}

void Mitteilung::schicken() {
  if (!bus_) return;
  GVariantBuilder knoepfe;
  g_variant_builder_init(&knoepfe, G_VARIANT_TYPE_STRING_ARRAY);
  if (inhalt_.beimKlick != Aktion::keine) {
    g_variant_builder_add(&knoepfe, "s", "default");
    g_variant_builder_add(&knoepfe, "s", inhalt_.ueberschrift.c_str());
  }
  for (const auto& k : inhalt_.knoepfe) {
    g_variant_builder_add(&knoepfe, "s", k.kennung.c_str());
    g_variant_builder_add(&knoepfe, "s", k.titel.c_str());
  }
  GVariantBuilder hinweise;
  g_variant_builder_init(&hinweise, G_VARIANT_TYPE_VARDICT);
  // Named after the launcher, and kept after a button is pressed: it stands in for the menu.
  g_variant_builder_add(&hinweise, "{sv}", "desktop-entry", g_variant_new_string(anwendungsKennung));
  g_variant_builder_add(&hinweise, "{sv}", "resident", g_variant_new_boolean(TRUE));
  g_variant_builder_add(&hinweise, "{sv}", "urgency", g_variant_new_byte(1));
  unterwegs_ = true;
  g_dbus_connection_call(
      bus_, dienst, pfad, dienst, "Notify",
      g_variant_new("(susssasa{sv}i)", "Taler Wacht", id_, symbol_.c_str(), inhalt_.ueberschrift.c_str(),
                    inhalt_.text.c_str(), &knoepfe, &hinweise, 0),
      G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, frist_ms, nullptr, Rufe::gezeigt,
      new Rueckweg{lebt_, this});
}

void Mitteilung::zurueckziehen() {
  erneut_ = false;
  if (unterwegs_) {
    weg_ = true;
    return;
  }
  if (id_ && bus_) Rufe::schliessen(bus_, id_);
  id_ = 0;
}

void Mitteilung::beenden() {
  // A first notification on its way has no id yet; its answer is worth a short wait.
  const gint64 bis = g_get_monotonic_time() + endfrist_ms * G_TIME_SPAN_MILLISECOND;
  while (unterwegs_ && !id_ && g_get_monotonic_time() < bis)
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(1000);
  if (!id_ || !bus_) return;
  GVariant* antwort =
      g_dbus_connection_call_sync(bus_, dienst, pfad, dienst, "CloseNotification", g_variant_new("(u)", id_),
                                  nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, endfrist_ms, nullptr, nullptr);
  if (antwort) g_variant_unref(antwort);
  id_ = 0;
}

}  // namespace tw
