#include "platform/linux/gtk/appindikator_anzeige.h"

#include <libayatana-appindicator/app-indicator.h>

#include "app/protokoll.h"
#include "platform/linux/gtk/leistenpruefung.h"

namespace tw {
namespace {

constexpr const char* programmName = "Taler Wacht";

// Our own icons for the symbols the core names.
std::string symbolFuer(const std::string& symbol) {
  return symbol == "questionmark.bubble.fill" ? "taler-wacht-frage-voll-symbolic"
                                              : "taler-wacht-frage-symbolic";
}

// Many tray hosts draw no label but show the item's title as its tooltip;
// the title carries the label's text too ("Taler Wacht · 30 min").
std::string langerTitel(const std::string& beschriftung) {
  return beschriftung.empty() ? programmName : programmName + std::string(" ·") + beschriftung;
}

// Without a StatusNotifier host the library shows a legacy tray icon, but its
// own version reads past the end of the icon search path when an icon folder
// is set. This one loads our icon file directly and opens the same menu.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS
std::filesystem::path ersatzSymbol;
GtkStatusIcon* ersatz = nullptr;  // while the fallback is shown
std::string ersatzTitel = programmName;

void ersatzMenueOeffnen(GtkStatusIcon*, guint knopf, guint zeit, gpointer indikator) {
  GtkMenu* menue = app_indicator_get_menu(APP_INDICATOR(indikator));
  if (menue) gtk_menu_popup_at_pointer(menue, nullptr);
  (void)knopf;
  (void)zeit;
}

void ersatzAktiviert(GtkStatusIcon* symbol, gpointer indikator) {
  ersatzMenueOeffnen(symbol, 1, gtk_get_current_event_time(), indikator);
}

GtkStatusIcon* ersatzAnlegen(AppIndicator* indikator) {
  GtkStatusIcon* symbol = gtk_status_icon_new_from_file(ersatzSymbol.c_str());
  gtk_status_icon_set_title(symbol, programmName);
  gtk_status_icon_set_tooltip_text(symbol, ersatzTitel.c_str());
  ersatz = symbol;
  g_signal_connect(symbol, "activate", G_CALLBACK(ersatzAktiviert), indikator);
  g_signal_connect(symbol, "popup-menu", G_CALLBACK(ersatzMenueOeffnen), indikator);
  return symbol;
}

void ersatzEntfernen(AppIndicator*, GtkStatusIcon* symbol) {
  if (symbol == ersatz) ersatz = nullptr;
  gtk_status_icon_set_visible(symbol, FALSE);
  g_object_unref(symbol);
}

void ersatzTitelSetzen(const std::string& titel) {
  ersatzTitel = titel;
  if (ersatz) gtk_status_icon_set_tooltip_text(ersatz, titel.c_str());
}
G_GNUC_END_IGNORE_DEPRECATIONS

}  // namespace

AppindikatorAnzeige::AppindikatorAnzeige(const std::filesystem::path& symbole)
    : symbole_(symbole), symbol_(symbolFuer("questionmark.bubble")) {
  const bool leisteDa = leistePruefen() == Leiste::da;
  ersatzSymbol = symbole / (symbol_ + ".svg");
  anlegen();
  // With a tray already there, the library now and then misses it while its
  // own bus connection is still being set up, and the icon never appears.
  // Check once, and register afresh if that happened.
  if (leisteDa) nachpruefung_ = g_timeout_add_seconds(5, nachpruefen, this);
}

AppindikatorAnzeige::~AppindikatorAnzeige() {
  if (nachpruefung_) g_source_remove(nachpruefung_);
  g_object_unref(indikator_);
}

void AppindikatorAnzeige::anlegen() {
  indikator_ = app_indicator_new("taler-wacht", symbol_.c_str(), APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
  APP_INDICATOR_GET_CLASS(indikator_)->fallback = ersatzAnlegen;
  APP_INDICATOR_GET_CLASS(indikator_)->unfallback = ersatzEntfernen;
  g_signal_connect(indikator_, APP_INDICATOR_SIGNAL_CONNECTION_CHANGED, G_CALLBACK(verbindungGeaendert),
                   this);
  app_indicator_set_icon_theme_path(indikator_, symbole_.c_str());
  app_indicator_set_icon_full(indikator_, symbol_.c_str(), programmName);
  app_indicator_set_title(indikator_, langerTitel(titel_).c_str());
  if (!titel_.empty()) app_indicator_set_label(indikator_, titel_.c_str(), titel_.c_str());
  app_indicator_set_menu(indikator_, menue_.menue());
  app_indicator_set_status(indikator_, APP_INDICATOR_STATUS_ACTIVE);
}

void AppindikatorAnzeige::verbindungGeaendert(AppIndicator*, gboolean verbunden, gpointer selbst) {
  static_cast<AppindikatorAnzeige*>(selbst)->verbunden_ = verbunden;
}

gboolean AppindikatorAnzeige::nachpruefen(gpointer daten) {
  auto* selbst = static_cast<AppindikatorAnzeige*>(daten);
  selbst->nachpruefung_ = 0;
  if (!selbst->verbunden_ && leistePruefen(false) == Leiste::da) {
    protokollieren("die Leiste hat das Symbol nicht angenommen — es meldet sich neu an");
    g_object_unref(selbst->indikator_);
    selbst->anlegen();
  }
  return G_SOURCE_REMOVE;
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
    app_indicator_set_title(indikator_, langerTitel(titel_).c_str());
    ersatzTitelSetzen(langerTitel(titel_));
  }
  menue_.abgleichen(anzeige.zeilen);
}

void AppindikatorAnzeige::beiKlick(std::function<void(Aktion)> klick) { menue_.beiKlick(std::move(klick)); }

}  // namespace tw
