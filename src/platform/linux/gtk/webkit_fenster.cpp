#include "platform/linux/gtk/webkit_fenster.h"

#include <gdk/gdkwayland.h>
#include <gdk/gdkx.h>
#include <libsoup/soup.h>

#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "app/dateien.h"
#include "app/protokoll.h"
#include "platform/linux/gtk/cairo_tresorbild.h"
#include "platform/linux/gtk/fensterkuerzel.h"

namespace tw {
namespace {

constexpr int mindestBreite = 700;
constexpr int mindestHoehe = 600;
// A drag or resize sends many configure events; the frame is saved once it rests.
constexpr guint rahmenRuhe = 500;

// Only X11 lets a program place its own window.
bool positionBekannt() {
  GdkDisplay* anzeige = gdk_display_get_default();
  return anzeige && GDK_IS_X11_DISPLAY(anzeige);
}

// The work areas, the primary one first.
std::vector<Flaeche> bildschirme() {
  std::vector<Flaeche> flaechen;
  GdkDisplay* anzeige = gdk_display_get_default();
  auto hinzu = [&](GdkMonitor* monitor) {
    GdkRectangle f;
    gdk_monitor_get_workarea(monitor, &f);
    flaechen.push_back({f.x, f.y, f.width, f.height});
  };
  GdkMonitor* erster = anzeige ? gdk_display_get_primary_monitor(anzeige) : nullptr;
  if (erster) hinzu(erster);
  for (int i = 0; anzeige && i < gdk_display_get_n_monitors(anzeige); ++i)
    if (GdkMonitor* m = gdk_display_get_monitor(anzeige, i); m != erster) hinzu(m);
  return flaechen;
}

std::optional<int> ganzzahl(GKeyFile* datei, const char* gruppe, const char* schluessel) {
  GError* fehler = nullptr;
  const int wert = g_key_file_get_integer(datei, gruppe, schluessel, &fehler);
  if (!fehler) return wert;
  g_error_free(fehler);
  return std::nullopt;
}

bool abgebrochen(const GError* fehler) {
  return g_error_matches(fehler, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
         g_error_matches(fehler, WEBKIT_POLICY_ERROR,
                         WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE);
}

// A cookie as eight fields: name, value, domain, path, expiry (Unix time,
// empty for the session), secure, HTTP only, same-site policy.
void keksAnhaengen(std::vector<std::string>& felder, SoupCookie* keks) {
  GDateTime* ablauf = soup_cookie_get_expires(keks);
  felder.insert(felder.end(),
                {soup_cookie_get_name(keks), soup_cookie_get_value(keks), soup_cookie_get_domain(keks),
                 soup_cookie_get_path(keks), ablauf ? std::to_string(g_date_time_to_unix(ablauf)) : "",
                 soup_cookie_get_secure(keks) ? "1" : "0", soup_cookie_get_http_only(keks) ? "1" : "0",
                 std::to_string(soup_cookie_get_same_site_policy(keks))});
}

SoupCookie* keksAus(const std::string* f) {
  SoupCookie* keks = soup_cookie_new(f[0].c_str(), f[1].c_str(), f[2].c_str(), f[3].c_str(), -1);
  if (!f[4].empty()) {
    GDateTime* ablauf = g_date_time_new_from_unix_utc(std::strtoll(f[4].c_str(), nullptr, 10));
    if (ablauf) soup_cookie_set_expires(keks, ablauf), g_date_time_unref(ablauf);
  }
  soup_cookie_set_secure(keks, f[5] == "1");
  soup_cookie_set_http_only(keks, f[6] == "1");
  soup_cookie_set_same_site_policy(keks, static_cast<SoupSameSitePolicy>(std::atoi(f[7].c_str())));
  return keks;
}

Ladeschritt schrittVon(WebKitLoadEvent ereignis) {
  switch (ereignis) {
    case WEBKIT_LOAD_STARTED:
      return Ladeschritt::begonnen;
    case WEBKIT_LOAD_REDIRECTED:
      return Ladeschritt::umgeleitet;
    case WEBKIT_LOAD_COMMITTED:
      return Ladeschritt::uebernommen;
    default:
      return Ladeschritt::fertig;
  }
}

std::string uriVon(WebKitNavigationAction* aktion) {
  WebKitURIRequest* anfrage = aktion ? webkit_navigation_action_get_request(aktion) : nullptr;
  const char* uri = anfrage ? webkit_uri_request_get_uri(anfrage) : nullptr;
  return uri ? uri : "";
}

// For an answer of WebKit's that may come after this window has gone.
template <typename F>
struct Rueckruf {
  std::weak_ptr<int> lebt;
  F tun;
};

}  // namespace

WebkitFenster::WebkitFenster(int fd, std::function<void()> fertig)
    : kanal_(
          fd, [this](Nachricht n) { empfangen(std::move(n)); },
          // The app has gone (or ended the window): the frame is kept for its next start.
          [this] {
            rahmenSichern();
            enden();
          }),
      fertig_(std::move(fertig)) {}

WebkitFenster::~WebkitFenster() {
  fristBeenden();
  if (rahmenQuelle_) g_source_remove(rahmenQuelle_);
  for (auto& [id, frage] : fragen_)
    if (frage.entscheidung) g_object_unref(frage.entscheidung);
  if (fenster_) {
    g_signal_handlers_disconnect_by_data(ansicht_, this);
    g_signal_handlers_disconnect_by_data(fenster_, this);
    g_signal_handlers_disconnect_by_data(webkit_website_data_manager_get_cookie_manager(daten_), this);
    gtk_widget_destroy(GTK_WIDGET(fenster_));
  }
  g_clear_object(&einstellungen_);
  g_clear_object(&kontext_);
  g_clear_object(&daten_);
}

void WebkitFenster::melden(std::string art, std::vector<std::string> teile) {
  kanal_.senden({std::move(art), std::move(teile)});
}

void WebkitFenster::empfangen(Nachricht n) {
  const auto& t = n.teile;
  if (n.art == "aufbauen" && t.size() == 4 && !fenster_) return aufbauen(t);
  if (!fenster_) return;
  if (n.art == "kekse") return kekseSetzen(t);
  // The pages may need the cookies handed over: they wait for them.
  if (kekseAusstehend_ > 0) return zurueckgestellt_.push_back(std::move(n));
  if (n.art == "laden" && t.size() == 2) {
    wiederbelebt_ = 0;
    return laden({.adresse = t[0], .frist = std::chrono::milliseconds(std::atoll(t[1].c_str()))});
  }
  if (n.art == "html" && t.size() == 1) {
    wiederbelebt_ = 0;
    return laden({.html = t[0]});
  }
  if (n.art == "vorne" && t.size() == 2)
    return vorne(t[0] == "fokus", static_cast<guint32>(std::strtoul(t[1].c_str(), nullptr, 10)));
  if (n.art == "schliessen") return gtk_window_close(fenster_);
  if (n.art == "antwort" && t.size() == 2)
    return beantworten(std::strtoul(t[0].c_str(), nullptr, 10), t[1] == "1");
  protokollieren("Fensterprogramm: unbekannte Nachricht \"" + n.art.substr(0, 40) + "\"");
}

void WebkitFenster::aufbauen(const std::vector<std::string>& teile) {
  rahmenDatei_ = teile[2];
  rahmenName_ = teile[3];

  // Cookies and storage live in memory only; the app keeps the cookies
  // between two windows.
  daten_ = webkit_website_data_manager_new_ephemeral();
  kontext_ = webkit_web_context_new_with_website_data_manager(daten_);
  webkit_web_context_set_sandbox_enabled(kontext_, TRUE);
  // No back-forward cache and no cache of spare web processes: the window
  // shows a few local pages.
  webkit_web_context_set_cache_model(kontext_, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
  g_signal_connect(webkit_website_data_manager_get_cookie_manager(daten_), "changed",
                   G_CALLBACK(keksGeaendert), this);

  einstellungen_ = webkit_settings_new();
  webkit_settings_set_user_agent(einstellungen_, teile[1].c_str());
  // Software rendering spares the web process the GL stack, about 60 MB
  // where there is no GPU anyway.
  webkit_settings_set_hardware_acceleration_policy(einstellungen_, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);

  ansicht_ = WEBKIT_WEB_VIEW(
      g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", kontext_, "settings", einstellungen_, nullptr));
  g_signal_connect(ansicht_, "decide-policy", G_CALLBACK(entscheiden), this);
  g_signal_connect(ansicht_, "create", G_CALLBACK(erzeugen), this);
  g_signal_connect(ansicht_, "load-failed", G_CALLBACK(fehlgeschlagen), this);
  g_signal_connect(ansicht_, "load-changed", G_CALLBACK(ladestand), this);
  g_signal_connect(ansicht_, "web-process-terminated", G_CALLBACK(webprozessEnde), this);
  gtk_widget_set_size_request(GTK_WIDGET(ansicht_), mindestBreite, mindestHoehe);

  fenster_ = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  // A name of its own beside the alerts, which carry the same title, so that
  // tools such as xdotool can tell the two apart.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_window_set_wmclass(fenster_, "taler-wacht-fenster", gdk_get_program_class());
  G_GNUC_END_IGNORE_DEPRECATIONS
  gtk_window_set_title(fenster_, teile[0].c_str());
  if (GdkPixbuf* symbol = tresorPixbuf(64)) {
    gtk_window_set_icon(fenster_, symbol);
    g_object_unref(symbol);
  }
  gtk_container_add(GTK_CONTAINER(fenster_), GTK_WIDGET(ansicht_));
  gtk_widget_show(GTK_WIDGET(ansicht_));
  gtk_widget_grab_focus(GTK_WIDGET(ansicht_));
  strgWSchliesst(fenster_);
  g_signal_connect(fenster_, "delete-event", G_CALLBACK(schliessenFragen), this);
  g_signal_connect(fenster_, "configure-event", G_CALLBACK(veraendert), this);
  g_signal_connect(fenster_, "map-event", G_CALLBACK(abgebildet), this);
  rahmenWiederherstellen(rahmenName_);
  melden("bereit");
}

void WebkitFenster::kekseSetzen(const std::vector<std::string>& teile) {
  WebKitCookieManager* verwalter = webkit_website_data_manager_get_cookie_manager(daten_);
  for (std::size_t i = 0; i + 8 <= teile.size(); i += 8) {
    SoupCookie* keks = keksAus(&teile[i]);
    ++kekseAusstehend_;
    auto* r = new Rueckruf<WebkitFenster*>{lebt_, this};
    webkit_cookie_manager_add_cookie(
        verwalter, keks, nullptr,
        +[](GObject* quelle, GAsyncResult* ergebnis, gpointer daten) {
          std::unique_ptr<Rueckruf<WebkitFenster*>> r(static_cast<Rueckruf<WebkitFenster*>*>(daten));
          webkit_cookie_manager_add_cookie_finish(WEBKIT_COOKIE_MANAGER(quelle), ergebnis, nullptr);
          if (r->lebt.expired()) return;
          WebkitFenster* f = r->tun;
          if (--f->kekseAusstehend_ > 0) return;
          auto wartend = std::move(f->zurueckgestellt_);
          f->zurueckgestellt_.clear();
          for (auto& n : wartend) f->empfangen(std::move(n));
        },
        r);
    soup_cookie_free(keks);
  }
}

void WebkitFenster::keksGeaendert(WebKitCookieManager*, gpointer selbst) {
  static_cast<WebkitFenster*>(selbst)->kekseMelden();
}

void WebkitFenster::kekseMelden(std::function<void()> danach) {
  using Melden = Rueckruf<std::pair<WebkitFenster*, std::function<void()>>>;
  auto* r = new Melden{lebt_, {this, std::move(danach)}};
  webkit_cookie_manager_get_all_cookies(
      webkit_website_data_manager_get_cookie_manager(daten_), nullptr,
      +[](GObject* quelle, GAsyncResult* ergebnis, gpointer daten) {
        std::unique_ptr<Melden> r(static_cast<Melden*>(daten));
        GList* kekse =
            webkit_cookie_manager_get_all_cookies_finish(WEBKIT_COOKIE_MANAGER(quelle), ergebnis, nullptr);
        std::vector<std::string> felder;
        for (GList* k = kekse; k; k = k->next) keksAnhaengen(felder, static_cast<SoupCookie*>(k->data));
        g_list_free_full(kekse, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
        if (r->lebt.expired()) return;
        r->tun.first->melden("kekse", std::move(felder));
        if (r->tun.second) r->tun.second();
      },
      r);
}

void WebkitFenster::rahmenWiederherstellen(const std::string& name) {
  GKeyFile* datei = g_key_file_new();
  GespeicherterRahmen gespeichert;
  if (g_key_file_load_from_file(datei, rahmenDatei_.c_str(), G_KEY_FILE_NONE, nullptr))
    gespeichert = {ganzzahl(datei, name.c_str(), "breite"), ganzzahl(datei, name.c_str(), "hoehe"),
                   ganzzahl(datei, name.c_str(), "x"), ganzzahl(datei, name.c_str(), "y")};
  g_key_file_free(datei);
  const Rahmenwahl wahl = rahmenWaehlen(gespeichert, bildschirme(), positionBekannt());
  gtk_window_set_default_size(fenster_, wahl.breite, wahl.hoehe);
  if (wahl.ort)
    gtk_window_move(fenster_, wahl.ort->first, wahl.ort->second);
  else
    gtk_window_set_position(fenster_, GTK_WIN_POS_CENTER);
}

void WebkitFenster::rahmenSichern() {
  // An unmapped window's size and place are only GTK's guesses.
  if (!fenster_ || !gtk_widget_get_mapped(GTK_WIDGET(fenster_))) return;
  GKeyFile* datei = g_key_file_new();
  g_key_file_load_from_file(datei, rahmenDatei_.c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
  const char* gruppe = rahmenName_.c_str();
  int breite = 0, hoehe = 0;
  gtk_window_get_size(fenster_, &breite, &hoehe);
  g_key_file_set_integer(datei, gruppe, "breite", breite);
  g_key_file_set_integer(datei, gruppe, "hoehe", hoehe);
  if (positionBekannt()) {
    int x = 0, y = 0;
    gtk_window_get_position(fenster_, &x, &y);
    g_key_file_set_integer(datei, gruppe, "x", x);
    g_key_file_set_integer(datei, gruppe, "y", y);
  }
  // A frame that cannot be saved only costs the next start its place.
  privatenOrdnerAnlegen(rahmenDatei_.parent_path());
  gsize laenge = 0;
  g_autofree char* text = g_key_file_to_data(datei, &laenge, nullptr);
  g_key_file_free(datei);
  if (text) schreibenPrivat(std::string_view(text, laenge), rahmenDatei_);
}

gboolean WebkitFenster::veraendert(GtkWidget*, GdkEvent*, gpointer selbst) {
  auto* f = static_cast<WebkitFenster*>(selbst);
  if (f->rahmenQuelle_) g_source_remove(f->rahmenQuelle_);
  f->rahmenQuelle_ = g_timeout_add(rahmenRuhe, rahmenFaellig, f);
  return FALSE;
}

gboolean WebkitFenster::rahmenFaellig(gpointer selbst) {
  auto* f = static_cast<WebkitFenster*>(selbst);
  f->rahmenQuelle_ = 0;
  f->rahmenSichern();
  return G_SOURCE_REMOVE;
}

void WebkitFenster::laden(Ladung ladung) {
  fristBeenden();
  letzte_ = ladung;
  if (ladung.adresse.empty()) return webkit_web_view_load_html(ansicht_, ladung.html.c_str(), nullptr);
  webkit_web_view_load_uri(ansicht_, ladung.adresse.c_str());
  // WebKitGTK has no time limit per request: this one ends the load if no
  // answer has come by then.
  if (ladung.frist.count() > 0) {
    frist_ = ladung.frist;
    fristQuelle_ = g_timeout_add(static_cast<guint>(ladung.frist.count()), fristAbgelaufen, this);
  }
}

void WebkitFenster::fristBeenden() {
  if (fristQuelle_) g_source_remove(fristQuelle_);
  fristQuelle_ = 0;
}

gboolean WebkitFenster::fristAbgelaufen(gpointer selbst) {
  auto* f = static_cast<WebkitFenster*>(selbst);
  f->fristQuelle_ = 0;
  if (webkit_web_view_is_loading(f->ansicht_)) {
    webkit_web_view_stop_loading(f->ansicht_);
    f->melden("fehlgeschlagen", {keineAntwort(f->frist_)});
  }
  return G_SOURCE_REMOVE;
}

unsigned long WebkitFenster::fragen(Frage frage) {
  const unsigned long id = naechsteFrage_++;
  melden("frage", {std::to_string(id), frage.adresse});
  fragen_.emplace(id, std::move(frage));
  return id;
}

gboolean WebkitFenster::entscheiden(WebKitWebView*, WebKitPolicyDecision* entscheidung,
                                    WebKitPolicyDecisionType art, gpointer selbst) {
  if (art != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
      art != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
    return FALSE;
  auto* f = static_cast<WebkitFenster*>(selbst);
  // Held until the app has decided.
  f->fragen({.entscheidung = WEBKIT_POLICY_DECISION(g_object_ref(entscheidung)),
             .neuesFenster = art == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION,
             .adresse = uriVon(webkit_navigation_policy_decision_get_navigation_action(
                 WEBKIT_NAVIGATION_POLICY_DECISION(entscheidung)))});
  return TRUE;
}

GtkWidget* WebkitFenster::erzeugen(WebKitWebView*, WebKitNavigationAction* aktion, gpointer selbst) {
  // Reached where WebKit makes a window without asking first (window.open, a
  // context menu's "open in new window"): the same rule, in this view.
  static_cast<WebkitFenster*>(selbst)->fragen(
      {.entscheidung = nullptr, .neuesFenster = true, .adresse = uriVon(aktion)});
  return nullptr;
}

void WebkitFenster::beantworten(unsigned long id, bool ja) {
  if (schliessfrageOffen_ && id == 0) {
    schliessfrageOffen_ = false;
    if (ja) zumachen();
    return;
  }
  const auto gefunden = fragen_.find(id);
  if (gefunden == fragen_.end()) return;
  Frage frage = std::move(gefunden->second);
  fragen_.erase(gefunden);
  // The app may have loaded another page meanwhile; WebKit lets that load win
  // over the navigation this decision then ignores.
  const Antwortfolge folge = antwortFolge(ja, frage.neuesFenster);
  if (folge.weiter)
    webkit_policy_decision_use(frage.entscheidung);
  else if (frage.entscheidung)
    webkit_policy_decision_ignore(frage.entscheidung);
  if (folge.hierLaden) laden({.adresse = frage.adresse, .frist = frist_});
  if (frage.entscheidung) g_object_unref(frage.entscheidung);
}

gboolean WebkitFenster::fehlgeschlagen(WebKitWebView*, WebKitLoadEvent ereignis, gchar*, GError* fehler,
                                       gpointer selbst) {
  auto* f = static_cast<WebkitFenster*>(selbst);
  if (f->verlauf_.fehler(schrittVon(ereignis), abgebrochen(fehler)) == Ladefolge::fehlgeschlagen) {
    f->fristBeenden();
    f->melden("fehlgeschlagen", {fehler->message});
  }
  // WebKit's own error page never shows: the app has its own.
  return TRUE;
}

void WebkitFenster::ladestand(WebKitWebView*, WebKitLoadEvent ereignis, gpointer selbst) {
  auto* f = static_cast<WebkitFenster*>(selbst);
  const Ladefolge folge = f->verlauf_.schritt(schrittVon(ereignis));
  if (folge == Ladefolge::fristEnde) f->fristBeenden();
  if (folge == Ladefolge::geladen) {
    const char* uri = webkit_web_view_get_uri(f->ansicht_);
    f->melden("geladen", {uri ? uri : ""});
  }
}

void WebkitFenster::webprozessEnde(WebKitWebView*, WebKitWebProcessTerminationReason grund, gpointer selbst) {
  auto* f = static_cast<WebkitFenster*>(selbst);
  switch (tw::webprozessEnde(grund == WEBKIT_WEB_PROCESS_TERMINATED_BY_API, f->letzte_.has_value(),
                             f->wiederbelebt_)) {
    case Webprozessfolge::uebergehen:
      return;
    case Webprozessfolge::aufgeben:
      return f->melden("ausgefallen",
                       {"der Webprozess endete " + std::to_string(f->wiederbelebt_ + 1) + "-mal in Folge"});
    case Webprozessfolge::neuLaden:
      ++f->wiederbelebt_;
      protokollieren("Fensterprogramm: Webprozess beendet (" +
                     std::string(grund == WEBKIT_WEB_PROCESS_CRASHED ? "abgestürzt" : "zu viel Speicher") +
                     ") — die Seite wird neu geladen");
      // The view asks for a new web process on its next load.
      return f->laden(*f->letzte_);
  }
}

gboolean WebkitFenster::schliessenFragen(GtkWidget*, GdkEvent*, gpointer selbst) {
  auto* f = static_cast<WebkitFenster*>(selbst);
  if (gtk_widget_get_visible(GTK_WIDGET(f->fenster_)) && !f->schliessfrageOffen_) {
    f->schliessfrageOffen_ = true;
    f->melden("schliessfrage", {"0"});
  }
  return TRUE;
}

void WebkitFenster::zumachen() {
  rahmenSichern();
  gtk_widget_hide(GTK_WIDGET(fenster_));
  fristBeenden();
  // The cookies as they are now go to the app, which hands them to the next
  // window; a network process that does not answer costs them, not the end.
  kekseMelden([this] {
    melden("zu");
    kanal_.leeren(1000);
    enden();
  });
  g_timeout_add_seconds_full(
      G_PRIORITY_DEFAULT, 2,
      +[](gpointer daten) -> gboolean {
        auto* r = static_cast<Rueckruf<WebkitFenster*>*>(daten);
        if (!r->lebt.expired()) r->tun->enden();
        return G_SOURCE_REMOVE;
      },
      new Rueckruf<WebkitFenster*>{lebt_, this},
      +[](gpointer daten) { delete static_cast<Rueckruf<WebkitFenster*>*>(daten); });
}

void WebkitFenster::enden() {
  auto fertig = std::exchange(fertig_, nullptr);
  if (fertig) fertig();
}

namespace {

bool aufWayland(GtkWindow* fenster) {
#ifdef GDK_WINDOWING_WAYLAND
  return GDK_IS_WAYLAND_DISPLAY(gtk_widget_get_display(GTK_WIDGET(fenster)));
#else
  return false;
#endif
}

}  // namespace

void WebkitFenster::vorne(bool mitFokus, guint32 zeit) {
  if (!mitFokus) {
    // Shown behind an alert of the app's, which keeps the focus; the app
    // raises its alerts once this window is on screen.
    gezeigtMelden_ = true;
    gtk_window_set_focus_on_map(fenster_, FALSE);
    gtk_widget_show(GTK_WIDGET(fenster_));
    gtk_window_set_focus_on_map(fenster_, TRUE);
    if (gtk_widget_get_mapped(GTK_WIDGET(fenster_))) abgebildet(nullptr, nullptr, this);
    return;
  }
  // Wayland lets no program raise its own window; a window mapped anew gets
  // the focus from the compositor.
  if (aufWayland(fenster_) && gtk_widget_get_mapped(GTK_WIDGET(fenster_)))
    gtk_widget_hide(GTK_WIDGET(fenster_));
  gtk_widget_show(GTK_WIDGET(fenster_));
  // Without the time of a user's action, window managers may keep the focus
  // elsewhere; the server's time stands in for it.
  GdkWindow* fenster = gtk_widget_get_window(GTK_WIDGET(fenster_));
  if (zeit == GDK_CURRENT_TIME && fenster && GDK_IS_X11_WINDOW(fenster))
    zeit = gdk_x11_get_server_time(fenster);
  gtk_window_present_with_time(fenster_, zeit);
}

gboolean WebkitFenster::abgebildet(GtkWidget*, GdkEvent*, gpointer selbst) {
  auto* f = static_cast<WebkitFenster*>(selbst);
  if (std::exchange(f->gezeigtMelden_, false)) f->melden("gezeigt");
  return FALSE;
}

}  // namespace tw
