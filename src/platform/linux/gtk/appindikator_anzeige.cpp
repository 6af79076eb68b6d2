#include "platform/linux/gtk/appindikator_anzeige.h"

#include <gdk/gdkx.h>
#include <libayatana-appindicator/app-indicator.h>

#include <cstdlib>

#include "app/protokoll.h"
#include "platform/linux/gtk/leistenpruefung.h"

namespace tw {
namespace {

constexpr const char* programmName = "Taler Wacht";
constexpr const char* waechter = "org.kde.StatusNotifierWatcher";
constexpr const char* kennung = "taler-wacht";
// Where the library puts the item of that id.
constexpr const char* objektpfad = "/org/ayatana/NotificationItem/taler_wacht";

// After a tray host appears the library registers on its own; looked at once it had the time.
constexpr unsigned nachDemErscheinen_ms = 1500;
// A panel that restarts is back within this; only a longer absence is told.
constexpr unsigned nachDemVerschwinden_ms = 3000;
// The library may take this long to find a tray that is there at the start.
constexpr int anlauf_s = 5;

// Our own icons for the symbols the core names.
std::string symbolFuer(const std::string& symbol) {
  return symbol == "questionmark.bubble.fill" ? "taler-wacht-frage-voll-symbolic"
                                              : "taler-wacht-frage-symbolic";
}

// Many tray hosts draw no label but show the item's title as its tooltip,
// so the title is the label's text, short: "Taler Wacht · 30 min".
std::string kurzerTitel(const std::string& beschriftung) {
  return beschriftung.empty() ? programmName : programmName + std::string(" ·") + beschriftung;
}

// Whether the watcher lists an item of our connection (":1.42/path" or ":1.42@/path").
bool eingetragen(GVariant* eintraege, const char* wir) {
  if (!wir || !eintraege || !g_variant_is_of_type(eintraege, G_VARIANT_TYPE_STRING_ARRAY)) return false;
  const std::string_view eigen = wir;
  GVariantIter iter;
  g_variant_iter_init(&iter, eintraege);
  const gchar* e = nullptr;
  while (g_variant_iter_next(&iter, "&s", &e)) {
    const std::string_view eintrag = e;
    if (eintrag.starts_with(eigen) && eintrag.size() > eigen.size() &&
        (eintrag[eigen.size()] == '/' || eintrag[eigen.size()] == '@'))
      return true;
  }
  return false;
}

// Without a StatusNotifier host the library shows a legacy tray icon, but its
// own version reads past the end of the icon search path when an icon folder
// is set. This one loads our icon file directly and opens the same menu.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS
std::filesystem::path ersatzSymbol;
GtkStatusIcon* ersatz = nullptr;  // while the fallback is shown
std::string ersatzTitel = programmName;
AppindikatorAnzeige* anzeigeDa = nullptr;  // the one indicator, for the fallback's news

void ersatzMenueOeffnen(GtkStatusIcon*, guint, guint, gpointer indikator) {
  GtkMenu* menue = app_indicator_get_menu(APP_INDICATOR(indikator));
  if (menue) gtk_menu_popup_at_pointer(menue, nullptr);
}

void ersatzAktiviert(GtkStatusIcon* symbol, gpointer indikator) {
  ersatzMenueOeffnen(symbol, 1, gtk_get_current_event_time(), indikator);
}

void ersatzTitelSetzen(const std::string& titel) {
  ersatzTitel = titel;
  if (ersatz) gtk_status_icon_set_tooltip_text(ersatz, titel.c_str());
}
G_GNUC_END_IGNORE_DEPRECATIONS

}  // namespace

struct AppindikatorAnzeige::Rufe {
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  // The legacy tray exists only on X11; on Wayland it would show nothing.
  static GtkStatusIcon* ersatzAnlegen(AppIndicator* indikator) {
    if (!GDK_IS_X11_DISPLAY(gdk_display_get_default())) return nullptr;
    GtkStatusIcon* symbol = gtk_status_icon_new_from_file(ersatzSymbol.c_str());
    gtk_status_icon_set_title(symbol, programmName);
    gtk_status_icon_set_tooltip_text(symbol, ersatzTitel.c_str());
    ersatz = symbol;
    g_signal_connect(symbol, "activate", G_CALLBACK(ersatzAktiviert), indikator);
    g_signal_connect(symbol, "popup-menu", G_CALLBACK(ersatzMenueOeffnen), indikator);
    g_signal_connect(symbol, "notify::embedded", G_CALLBACK(ersatzGeaendert), nullptr);
    return symbol;
  }

  static void ersatzEntfernen(AppIndicator*, GtkStatusIcon* symbol) {
    if (!symbol) return;
    if (symbol == ersatz) ersatz = nullptr;
    gtk_status_icon_set_visible(symbol, FALSE);
    g_object_unref(symbol);
    ersatzGeaendert();
  }

  static void ersatzGeaendert() {
    if (anzeigeDa) anzeigeDa->spaeterPruefen(0, false);
  }
  G_GNUC_END_IGNORE_DEPRECATIONS

  static void verbindungGeaendert(AppIndicator*, gboolean verbunden, gpointer selbst) {
    static_cast<AppindikatorAnzeige*>(selbst)->verbunden_ = verbunden;
    static_cast<AppindikatorAnzeige*>(selbst)->spaeterPruefen(0, false);
  }

  static void waechterDa(GDBusConnection*, const gchar*, const gchar*, gpointer selbst) {
    static_cast<AppindikatorAnzeige*>(selbst)->spaeterPruefen(nachDemErscheinen_ms, true);
  }

  static void waechterWeg(GDBusConnection*, const gchar*, gpointer selbst) {
    static_cast<AppindikatorAnzeige*>(selbst)->spaeterPruefen(nachDemVerschwinden_ms, true);
  }

  static void hostSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name,
                         GVariant*, gpointer selbst) {
    // Only the hosts': other items registering say nothing about ours.
    const bool da = g_str_equal(name, "StatusNotifierHostRegistered");
    if (!da && !g_str_equal(name, "StatusNotifierHostUnregistered")) return;
    static_cast<AppindikatorAnzeige*>(selbst)->spaeterPruefen(
        da ? nachDemErscheinen_ms : nachDemVerschwinden_ms, true);
  }

  static gboolean zeitUm(gpointer selbst) {
    auto* a = static_cast<AppindikatorAnzeige*>(selbst);
    a->pruefung_ = 0;
    a->pruefen();
    return G_SOURCE_REMOVE;
  }

  static void eigenschaften(GObject* quelle, GAsyncResult* ergebnis, gpointer selbst) {
    GError* fehler = nullptr;
    GVariant* antwort = g_dbus_connection_call_finish(G_DBUS_CONNECTION(quelle), ergebnis, &fehler);
    if (g_error_matches(fehler, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
      g_error_free(fehler);
      return;
    }
    g_clear_error(&fehler);
    bool host = false, wir = false;
    if (antwort) {
      GVariant* alle = g_variant_get_child_value(antwort, 0);
      gboolean b = FALSE;
      host = g_variant_lookup(alle, "IsStatusNotifierHostRegistered", "b", &b) && b;
      GVariant* eintraege =
          g_variant_lookup_value(alle, "RegisteredStatusNotifierItems", G_VARIANT_TYPE_STRING_ARRAY);
      wir = eingetragen(eintraege, g_dbus_connection_get_unique_name(G_DBUS_CONNECTION(quelle)));
      if (eintraege) g_variant_unref(eintraege);
      g_variant_unref(alle);
      g_variant_unref(antwort);
    }
    static_cast<AppindikatorAnzeige*>(selbst)->geprueft(host, wir);
  }
};

AppindikatorAnzeige::AppindikatorAnzeige(const std::filesystem::path& symbole)
    : symbole_(symbole),
      symbol_(symbolFuer("questionmark.bubble")),
      lage_(std::getenv("XDG_CURRENT_DESKTOP") ? std::getenv("XDG_CURRENT_DESKTOP") : ""),
      mitteilung_((symbole / (symbol_ + ".svg")).string(),
                  [this](Aktion aktion) {
                    if (klick_) klick_(aktion);
                  },
                  [this] { ausfuehren(lage_.geschlossen()); }),
      bus_(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
  leistePruefen();  // says in the log what is missing
  anzeigeDa = this;
  ersatzSymbol = symbole / (symbol_ + ".svg");
  beginn_ = g_get_monotonic_time();
  abbruch_ = g_cancellable_new();
  anlegen();
  // The first look comes after the first menu; then on every change of the tray.
  waechterwache_ = g_bus_watch_name(G_BUS_TYPE_SESSION, waechter, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                    Rufe::waechterDa, Rufe::waechterWeg, this, nullptr);
  if (bus_)
    hostsignale_ = g_dbus_connection_signal_subscribe(
        bus_, nullptr, waechter, nullptr, "/StatusNotifierWatcher", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        Rufe::hostSignal, this, nullptr);
  spaeterPruefen(0, true);
}

AppindikatorAnzeige::~AppindikatorAnzeige() {
  if (anzeigeDa == this) anzeigeDa = nullptr;
  g_cancellable_cancel(abbruch_);
  g_object_unref(abbruch_);
  if (pruefung_) g_source_remove(pruefung_);
  g_bus_unwatch_name(waechterwache_);
  if (bus_) {
    if (hostsignale_) g_dbus_connection_signal_unsubscribe(bus_, hostsignale_);
    g_object_unref(bus_);
  }
  g_object_unref(indikator_);
}

void AppindikatorAnzeige::anlegen() {
  indikator_ = app_indicator_new(kennung, symbol_.c_str(), APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
  APP_INDICATOR_GET_CLASS(indikator_)->fallback = Rufe::ersatzAnlegen;
  APP_INDICATOR_GET_CLASS(indikator_)->unfallback = Rufe::ersatzEntfernen;
  g_signal_connect(indikator_, APP_INDICATOR_SIGNAL_CONNECTION_CHANGED, G_CALLBACK(Rufe::verbindungGeaendert),
                   this);
  app_indicator_set_icon_theme_path(indikator_, symbole_.c_str());
  app_indicator_set_icon_full(indikator_, symbol_.c_str(), programmName);
  app_indicator_set_title(indikator_, kurzerTitel(titel_).c_str());
  if (!titel_.empty()) app_indicator_set_label(indikator_, titel_.c_str(), titel_.c_str());
  app_indicator_set_menu(indikator_, menue_.menue());
  app_indicator_set_status(indikator_, APP_INDICATOR_STATUS_ACTIVE);
}

// A later event replaces a pending look: a panel that goes and comes back is not told.
void AppindikatorAnzeige::spaeterPruefen(unsigned ms, bool neuesEreignis) {
  if (neuesEreignis) neuAngemeldet_ = false;
  // An answer on its way saw the tray as it was before this event.
  g_cancellable_cancel(abbruch_);
  g_object_unref(abbruch_);
  abbruch_ = g_cancellable_new();
  if (pruefung_) g_source_remove(pruefung_);
  pruefung_ = g_timeout_add(ms, Rufe::zeitUm, this);
}

void AppindikatorAnzeige::anmelden() {
  if (!bus_) return;
  g_dbus_connection_call(bus_, waechter, "/StatusNotifierWatcher", waechter, "RegisterStatusNotifierItem",
                         g_variant_new("(s)", objektpfad), nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, 1000,
                         nullptr, nullptr, nullptr);
}

void AppindikatorAnzeige::pruefen() {
  if (!bus_) return geprueft(false, false);
  g_dbus_connection_call(bus_, waechter, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties",
                         "GetAll", g_variant_new("(s)", waechter), G_VARIANT_TYPE("(a{sv})"),
                         G_DBUS_CALL_FLAGS_NO_AUTO_START, 1000, abbruch_, Rufe::eigenschaften, this);
}

void AppindikatorAnzeige::geprueft(bool host, bool eingetragen) {
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  const bool altesSymbol = ersatz && gtk_status_icon_is_embedded(ersatz);
  G_GNUC_END_IGNORE_DEPRECATIONS
  const bool anlaufend = g_get_monotonic_time() - beginn_ < G_USEC_PER_SEC * anlauf_s;
  const bool x11 = GDK_IS_X11_DISPLAY(gdk_display_get_default());
  switch (leistenbefund({host, eingetragen, altesSymbol, verbunden_, anlaufend, neuAngemeldet_, x11})) {
    case Leistenbefund::abwarten:
      return spaeterPruefen(nachDemErscheinen_ms, false);
    case Leistenbefund::neuAnmelden:
      // The item is there on the bus; the watcher is told about it once more.
      protokollieren("die Leiste kennt das Symbol nicht — es meldet sich neu an");
      anmelden();
      break;
    case Leistenbefund::neuAnlegen:
      protokollieren("die Leiste hat das Symbol nicht angenommen — es meldet sich neu an");
      g_object_unref(indikator_);
      verbunden_ = false;
      anlegen();
      break;
    case Leistenbefund::sichtbar:
      return ausfuehren(lage_.symbol(true));
    case Leistenbefund::unsichtbar:
      return ausfuehren(lage_.symbol(false));
  }
  neuAngemeldet_ = true;
  spaeterPruefen(nachDemErscheinen_ms, false);
}

void AppindikatorAnzeige::ausfuehren(Hinweislage::Schritt schritt) {
  if (schritt == Hinweislage::Schritt::zurueckziehen) mitteilung_.zurueckziehen();
  if (schritt == Hinweislage::Schritt::zeigen) mitteilung_.zeigen(lage_.hinweis());
}

void AppindikatorAnzeige::zeigen(const Anzeige& anzeige) {
  // Every 3 seconds, mostly unchanged: each part is touched only when it changed.
  if (const std::string symbol = symbolFuer(anzeige.symbol); symbol != symbol_) {
    symbol_ = symbol;
    app_indicator_set_icon_full(indikator_, symbol_.c_str(), programmName);
  }
  if (anzeige.titel != titel_) {
    titel_ = anzeige.titel;
    app_indicator_set_label(indikator_, titel_.c_str(), titel_.c_str());
    app_indicator_set_title(indikator_, kurzerTitel(titel_).c_str());
    ersatzTitelSetzen(kurzerTitel(titel_));
  }
  menue_.abgleichen(anzeige.zeilen);
  ausfuehren(lage_.menue(anzeige.zeilen));
}

void AppindikatorAnzeige::beiKlick(std::function<void(Aktion)> klick) {
  klick_ = klick;
  menue_.beiKlick(std::move(klick));
}

}  // namespace tw
