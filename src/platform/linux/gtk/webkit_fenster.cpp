#include "platform/linux/gtk/webkit_fenster.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "app/dateien.h"
#include "platform/linux/gtk/cairo_tresorbild.h"
#include "platform/linux/gtk/fensterkuerzel.h"

namespace tw {
namespace {

constexpr int rand = 80;
constexpr int hoechstBreite = 820;
constexpr int hoechstHoehe = 980;
constexpr int ohneBildschirm = 820;
constexpr int mindestBreite = 700;
constexpr int mindestHoehe = 600;
// A drag or resize sends many configure events; the frame is saved once it rests.
constexpr guint rahmenRuhe = 500;

struct Groesse {
  int breite;
  int hoehe;
};

// The size a window takes when nothing larger was saved: most of the work
// area, but no wider or higher than the pages need.
Groesse vorgabeGroesse() {
  GdkDisplay* anzeige = gdk_display_get_default();
  GdkMonitor* monitor = anzeige ? gdk_display_get_primary_monitor(anzeige) : nullptr;
  if (!monitor && anzeige && gdk_display_get_n_monitors(anzeige) > 0)
    monitor = gdk_display_get_monitor(anzeige, 0);
  if (!monitor) return {ohneBildschirm, ohneBildschirm};
  GdkRectangle flaeche;
  gdk_monitor_get_workarea(monitor, &flaeche);
  return {std::min(flaeche.width - rand, hoechstBreite), std::min(flaeche.height - rand, hoechstHoehe)};
}

// Only X11 lets a program place its own window.
bool positionBekannt() {
  GdkDisplay* anzeige = gdk_display_get_default();
  return anzeige && GDK_IS_X11_DISPLAY(anzeige);
}

// A saved place counts only while some of the frame still lies on a screen.
bool aufBildschirm(const GdkRectangle& rahmen) {
  GdkDisplay* anzeige = gdk_display_get_default();
  for (int i = 0; anzeige && i < gdk_display_get_n_monitors(anzeige); ++i) {
    GdkRectangle flaeche;
    gdk_monitor_get_workarea(gdk_display_get_monitor(anzeige, i), &flaeche);
    if (gdk_rectangle_intersect(&rahmen, &flaeche, nullptr)) return true;
  }
  return false;
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

}  // namespace

WebkitFenster::WebkitFenster(std::filesystem::path rahmenDatei) : rahmenDatei_(std::move(rahmenDatei)) {}

WebkitFenster::~WebkitFenster() {
  fristBeenden();
  if (rahmenQuelle_) g_source_remove(rahmenQuelle_);
  if (fenster_) {
    g_signal_handlers_disconnect_by_data(ansicht_, this);
    g_signal_handlers_disconnect_by_data(fenster_, this);
    gtk_widget_destroy(GTK_WIDGET(fenster_));
  }
  g_clear_object(&einstellungen_);
  g_clear_object(&kontext_);
  g_clear_object(&daten_);
}

void WebkitFenster::aufbauen(const Fensterbauplan& plan, Webdelegat& delegat) {
  delegat_ = &delegat;
  rahmenName_ = plan.rahmenName;

  // Cookies and storage live in memory only, for as long as this context.
  daten_ = webkit_website_data_manager_new_ephemeral();
  kontext_ = webkit_web_context_new_with_website_data_manager(daten_);
  webkit_web_context_set_sandbox_enabled(kontext_, TRUE);
  // No back-forward cache and no cache of spare web processes: the window
  // shows a few local pages, and a closed window should hold no process.
  webkit_web_context_set_cache_model(kontext_, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);

  einstellungen_ = webkit_settings_new();
  webkit_settings_set_user_agent(einstellungen_, plan.benutzerAgent.c_str());
  // Software rendering spares the web process the GL stack, about 60 MB
  // where there is no GPU anyway.
  webkit_settings_set_hardware_acceleration_policy(einstellungen_, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);

  ansicht_ = WEBKIT_WEB_VIEW(
      g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", kontext_, "settings", einstellungen_, nullptr));
  g_signal_connect(ansicht_, "decide-policy", G_CALLBACK(entscheiden), this);
  g_signal_connect(ansicht_, "create", G_CALLBACK(erzeugen), this);
  g_signal_connect(ansicht_, "load-failed", G_CALLBACK(fehlgeschlagen), this);
  g_signal_connect(ansicht_, "load-changed", G_CALLBACK(ladestand), this);
  gtk_widget_set_size_request(GTK_WIDGET(ansicht_), mindestBreite, mindestHoehe);

  fenster_ = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  // A name of its own beside the alerts, which carry the same title, so that
  // tools such as xdotool can tell the two apart.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_window_set_wmclass(fenster_, "taler-wacht-fenster", gdk_get_program_class());
  G_GNUC_END_IGNORE_DEPRECATIONS
  gtk_window_set_title(fenster_, plan.titel.c_str());
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
  rahmenWiederherstellen(plan.rahmenName);
}

void WebkitFenster::rahmenWiederherstellen(const std::string& name) {
  const Groesse vorgabe = vorgabeGroesse();
  GKeyFile* datei = g_key_file_new();
  std::optional<int> breite, hoehe, x, y;
  if (g_key_file_load_from_file(datei, rahmenDatei_.c_str(), G_KEY_FILE_NONE, nullptr)) {
    breite = ganzzahl(datei, name.c_str(), "breite");
    hoehe = ganzzahl(datei, name.c_str(), "hoehe");
    x = ganzzahl(datei, name.c_str(), "x");
    y = ganzzahl(datei, name.c_str(), "y");
  }
  g_key_file_free(datei);

  // A frame smaller than the default would cut the pages off; it goes back to
  // the default, centred.
  if (breite && hoehe && *breite >= vorgabe.breite && *hoehe >= vorgabe.hoehe) {
    gtk_window_set_default_size(fenster_, *breite, *hoehe);
    if (x && y && positionBekannt() && aufBildschirm({*x, *y, *breite, *hoehe})) {
      gtk_window_move(fenster_, *x, *y);
      return;
    }
  } else {
    gtk_window_set_default_size(fenster_, vorgabe.breite, vorgabe.hoehe);
  }
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

void WebkitFenster::seiteLaden(const std::string& adresse, Dauer frist) {
  fristBeenden();
  webkit_web_view_load_uri(ansicht_, adresse.c_str());
  // WebKitGTK has no time limit per request: this one ends the load if no
  // answer has come by then.
  if (frist.count() > 0) {
    frist_ = frist;
    fristQuelle_ = g_timeout_add(static_cast<guint>(frist.count()), fristAbgelaufen, this);
  }
}

void WebkitFenster::htmlLaden(const std::string& html) {
  fristBeenden();
  webkit_web_view_load_html(ansicht_, html.c_str(), nullptr);
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
    const auto sekunden = std::chrono::duration_cast<std::chrono::seconds>(f->frist_).count();
    f->delegat_->ladenFehlgeschlagen(
        "Keine Antwort innerhalb von " +
        (sekunden > 0 ? std::to_string(sekunden) + " s" : std::to_string(f->frist_.count()) + " ms"));
  }
  return G_SOURCE_REMOVE;
}

gboolean WebkitFenster::entscheiden(WebKitWebView*, WebKitPolicyDecision* entscheidung,
                                    WebKitPolicyDecisionType art, gpointer selbst) {
  if (art != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
      art != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
    return FALSE;
  auto* f = static_cast<WebkitFenster*>(selbst);
  WebKitNavigationAction* aktion = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(entscheidung));
  WebKitURIRequest* anfrage = aktion ? webkit_navigation_action_get_request(aktion) : nullptr;
  const char* uri = anfrage ? webkit_uri_request_get_uri(anfrage) : nullptr;
  const std::string adresse = uri ? uri : "";

  // The delegate may load another page from here; WebKit lets that load win
  // over the navigation this decision then ignores.
  const bool erlaubt = f->delegat_->navigationErlauben(adresse);

  if (erlaubt && art == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
    webkit_policy_decision_use(entscheidung);
    return TRUE;
  }
  // A page asking for a new window gets it in this one.
  if (erlaubt) f->seiteLaden(adresse, f->frist_);
  webkit_policy_decision_ignore(entscheidung);
  return TRUE;
}

GtkWidget* WebkitFenster::erzeugen(WebKitWebView*, WebKitNavigationAction* aktion, gpointer selbst) {
  // Reached where WebKit makes a window without asking first (window.open, a
  // context menu's "open in new window"): the same rule, in this view.
  auto* f = static_cast<WebkitFenster*>(selbst);
  WebKitURIRequest* anfrage = aktion ? webkit_navigation_action_get_request(aktion) : nullptr;
  const char* uri = anfrage ? webkit_uri_request_get_uri(anfrage) : nullptr;
  const std::string adresse = uri ? uri : "";
  if (f->delegat_->navigationErlauben(adresse)) f->seiteLaden(adresse, f->frist_);
  return nullptr;
}

gboolean WebkitFenster::fehlgeschlagen(WebKitWebView*, WebKitLoadEvent ereignis, gchar*, GError* fehler,
                                       gpointer selbst) {
  auto* f = static_cast<WebkitFenster*>(selbst);
  f->ladenGescheitert_ = true;
  const bool vorlaeufig = ereignis == WEBKIT_LOAD_STARTED || ereignis == WEBKIT_LOAD_REDIRECTED;
  if (vorlaeufig && !abgebrochen(fehler)) {
    f->fristBeenden();
    f->delegat_->ladenFehlgeschlagen(fehler->message);
  }
  // WebKit's own error page never shows: the delegate has its own.
  return TRUE;
}

void WebkitFenster::ladestand(WebKitWebView*, WebKitLoadEvent ereignis, gpointer selbst) {
  auto* f = static_cast<WebkitFenster*>(selbst);
  if (ereignis == WEBKIT_LOAD_STARTED) f->ladenGescheitert_ = false;
  if (ereignis == WEBKIT_LOAD_COMMITTED) f->fristBeenden();
  if (ereignis == WEBKIT_LOAD_FINISHED && !f->ladenGescheitert_) f->delegat_->geladen();
}

gboolean WebkitFenster::schliessenFragen(GtkWidget*, GdkEvent*, gpointer selbst) {
  auto* f = static_cast<WebkitFenster*>(selbst);
  if (!gtk_widget_get_visible(GTK_WIDGET(f->fenster_)) || !f->delegat_->sollSchliessen()) return TRUE;
  f->rahmenSichern();
  gtk_widget_hide(GTK_WIDGET(f->fenster_));
  f->fristBeenden();
  // A hidden window holds no web content; the network process, and with it
  // the session's cookies, stays.
  webkit_web_view_terminate_web_process(f->ansicht_);
  return TRUE;
}

namespace {

// The app's open alerts: someone may be typing a passphrase into one.
std::vector<GtkWidget*> offeneHinweise() {
  std::vector<GtkWidget*> offen;
  GList* alle = gtk_window_list_toplevels();
  for (GList* f = alle; f; f = f->next)
    if (GTK_IS_DIALOG(f->data) && gtk_widget_get_visible(GTK_WIDGET(f->data)))
      offen.push_back(GTK_WIDGET(f->data));
  g_list_free(alle);
  return offen;
}

}  // namespace

void WebkitFenster::nachVorne() {
  if (const auto hinweise = offeneHinweise(); !hinweise.empty()) {
    // The window comes up behind the alerts and leaves them the focus, as a
    // window does behind a modal panel.
    gtk_window_set_focus_on_map(fenster_, FALSE);
    gtk_widget_show(GTK_WIDGET(fenster_));
    gtk_window_set_focus_on_map(fenster_, TRUE);
    for (GtkWidget* hinweis : hinweise)
      if (gtk_widget_get_realized(hinweis)) gdk_window_raise(gtk_widget_get_window(hinweis));
    return;
  }
  gtk_widget_show(GTK_WIDGET(fenster_));
  guint32 zeit = gtk_get_current_event_time();
  // Without the time of a user's action, window managers may keep the focus
  // elsewhere; the server's time stands in for it.
  GdkWindow* fenster = gtk_widget_get_window(GTK_WIDGET(fenster_));
  if (zeit == GDK_CURRENT_TIME && fenster && GDK_IS_X11_WINDOW(fenster))
    zeit = gdk_x11_get_server_time(fenster);
  gtk_window_present_with_time(fenster_, zeit);
}

void WebkitFenster::schliessen() { gtk_window_close(fenster_); }

std::string WebkitFenster::adresse() const {
  const char* uri = ansicht_ ? webkit_web_view_get_uri(ansicht_) : nullptr;
  return uri ? uri : "";
}

}  // namespace tw

// The module's entry beside tw_webfenster_erzeugen, for the window that one made.
extern "C" __attribute__((visibility("default"))) void tw_webfenster_rahmen_sichern(tw::Webfenster* fenster) {
  static_cast<tw::WebkitFenster*>(fenster)->rahmenSichern();
}
