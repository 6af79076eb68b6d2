#include "platform/linux/gtk/webkit_fenster.h"

#include <signal.h>

#include <array>
#include <cerrno>

#include "app/dateien.h"
#include "fakes/oberflaeche.h"
#include "helfer/gtk_testhilfe.h"
#include "helfer/roh_server.h"
#include "platform/linux/glib_schleife.h"
#include "platform/linux/gtk/fensterprogramm.h"
#include "platform/linux/gtk/gio_browser.h"
#include "platform/linux/gtk/gtk_zwischenablage.h"
#include "setupwindow/fenster.h"
#include "test.h"

// Caches below GTK and in WebKit that live until the process ends.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libjavascriptcoregtk-4.1.so\n";
}

namespace tw {
namespace {

bool enthaelt(std::string_view text, std::string_view teil) { return text.find(teil) != text.npos; }

// The window program's side runs in this process, on the other end of the
// channel, so that the test can reach into its view.
TEST(WebkitFenster, SeitenRahmenKekseFokusUndWebprozess) {
  // The desktop's https handler makes a folder of the address. GIO reads the
  // folders once, so they are set before GTK starts.
  TempOrdner schreibtisch, ordner;
  fs::create_directories(schreibtisch / "applications");
  dateiSchreiben(schreibtisch / "applications/fake.desktop",
                 "[Desktop Entry]\nType=Application\nName=Fake\nExec=mkdir -p " +
                     schreibtisch.pfad().string() + "/%u\nMimeType=x-scheme-handler/https;\n");
  dateiSchreiben(schreibtisch / "mimeapps.list",
                 "[Default Applications]\nx-scheme-handler/https=fake.desktop\n");
  g_setenv("XDG_DATA_HOME", schreibtisch.pfad().c_str(), TRUE);
  g_setenv("XDG_CONFIG_HOME", schreibtisch.pfad().c_str(), TRUE);
  ASSERT_TRUE(gtkBereit());

  RohServer stumm{"", RohServer::Art::schweigen};
  const std::string tot = "http://127.0.0.1:" + std::to_string(freierPort()) + "/";
  RohServer start{httpAntwort(200, "text/html; charset=utf-8",
                              "<p>Startseite</p><a id=aussen href='https://talerwacht.example/hilfe'>a</a>"
                              "<a id=neu target=_blank href='" +
                                  tot + "'>n</a><input id=b>",
                              "Set-Cookie: keks=da; Max-Age=3600\r\n")};
  GlibSchleife schleife;
  DialogeNachPlan dialoge;
  GioBrowser browser;
  std::optional<std::string> wert;  // outlives the view, which answers every script
  std::unique_ptr<WebkitFenster> web;
  int gestartet = 0, beendet = 0;
  Fensterprogramm programm{[&](int ende, std::string&) -> pid_t {
                             web = std::make_unique<WebkitFenster>(ende, [&] { ++beendet; });
                             return ++gestartet, 0;
                           },
                           ordner / "rahmen/fenster.ini"};
  // Finished loads are written down, as with "--seite".
  Fenster fenster{
      programm, dialoge, browser, schleife, {ordner / "konfig", ordner.pfad(), "Taler Wacht", true}};
  fenster.erlaubteSeiten = {*Url::aus(start.adresse()), *Url::aus(tot), *Url::aus(stumm.adresse())};

  // The script's value as text, "" when the page has none to give.
  const auto skript = [&](const std::string& js) {
    wert.reset();
    webkit_web_view_evaluate_javascript(
        web->ansicht(), js.c_str(), -1, nullptr, nullptr, nullptr,
        +[](GObject* ansicht, GAsyncResult* ergebnis, gpointer ziel) {
          // Kept: the value keeps JSC's machine in this process alive, whose teardown would call
          // into the sanitizer-checked copy of a shared_ptr helper and trip it.
          JSCValue* js =
              webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(ansicht), ergebnis, nullptr);
          g_autofree char* text = js && !jsc_value_is_undefined(js) ? jsc_value_to_string(js) : nullptr;
          *static_cast<std::optional<std::string>*>(ziel) = text ? text : "";
        },
        &wert);
    bisAbgearbeitet([&] { return wert.has_value(); });
    return wert.value_or("");
  };
  const auto zeigt = [&](std::string_view text) {
    return bisAbgearbeitet([&] { return enthaelt(skript("document.body.innerText"), text); });
  };
  const auto startZeigen = [&] { return fenster.zeigen(*Url::aus(start.adresse())), zeigt("Startseite"); };

  ASSERT_TRUE(startZeigen());
  // The plan reaches window and view; a finished load reaches the app with its address.
  EXPECT_EQ(std::string(gtk_window_get_title(web->fenster())), "Taler Wacht");
  EXPECT_TRUE(enthaelt(start.anfragen().at(0), "\r\nUser-Agent: TalerWacht-Menue/1.7.2_demo\r\n"));
  EXPECT_TRUE(
      bisAbgearbeitet([&] { return lesen(ordner / "menue.fenster.log") == "geladen " + start.adresse(); }));
  // The page's text fields keep their shortcuts, and take what the app copied.
  GtkZwischenablage().setzen("Größe · 59 min");
  skript("b.focus()");
  taste(GTK_WIDGET(web->fenster()), GDK_KEY_v, GDK_CONTROL_MASK);
  EXPECT_TRUE(bisAbgearbeitet([&] { return skript("b.value") == "Größe · 59 min"; }));

  // Each step goes through another of WebKit's signals.
  for (const auto& [js, text] : std::vector<std::pair<std::string, std::string>>{
           {"neu.click()", g_strerror(ECONNREFUSED)},                 // new window, asked first; load failed
           {"window.open('" + start.adresse() + "')", "Startseite"},  // new window, not asked
           {"aussen.click()", "Startseite"}}) {                       // navigation, refused
    skript(js);
    EXPECT_TRUE(zeigt(text)) << js;
  }
  EXPECT_TRUE(
      bisAbgearbeitet([&] { return fs::is_directory(schreibtisch / "https:/talerwacht.example/hilfe"); }));
  programm.seiteLaden(stumm.adresse(), 300ms);
  EXPECT_TRUE(zeigt("Keine Antwort innerhalb von 300 ms"));
  // A page's new window keeps that limit.
  skript("document.body.innerText = ''; window.open('" + stumm.adresse() + "')");
  EXPECT_TRUE(zeigt("Keine Antwort innerhalb von 300 ms"));

  // A move saves the frame, for the user's eyes only; closing saves it too.
  const fs::path datei = ordner / "rahmen/fenster.ini";
  gtk_window_move(web->fenster(), 33, 44);
  EXPECT_TRUE(bisAbgearbeitet([&] { return enthaelt(lesen(datei).value_or(""), "\nx=33\n"); }));
  EXPECT_EQ(rechte(datei), 0600u);
  fs::remove(datei);
  skript("location.href = 'http://127.0.0.1/fenster-schliessen'");
  EXPECT_TRUE(bisAbgearbeitet([&] { return beendet == 1; }));
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(web->fenster())));
  EXPECT_TRUE(enthaelt(lesen(datei).value_or(""), "\nx=33\n"));
  dateiSchreiben(datei, "[einrichtungsfenster]\nbreite=860\nhoehe=760\nx=7\ny=5\n");

  // A new window program gets the cookies of the last one, and the saved frame.
  ASSERT_TRUE(startZeigen());
  EXPECT_EQ(gestartet, 2);
  EXPECT_TRUE(enthaelt(start.anfragen().back(), "\r\nCookie: keks=da\r\n"));
  std::array<int, 4> rahmen{};
  gtk_window_get_size(web->fenster(), &rahmen[0], &rahmen[1]);
  gtk_window_get_position(web->fenster(), &rahmen[2], &rahmen[3]);
  EXPECT_EQ(rahmen, (std::array{860, 760, 7, 5}));
  // The cookies live in memory only: no file of the session holds them.
  std::error_code fehler;
  for (const char* ort :
       {g_get_home_dir(), g_get_user_data_dir(), g_get_user_cache_dir(), g_get_user_runtime_dir()})
    for (const auto& d :
         fs::recursive_directory_iterator(ort, fs::directory_options::skip_permission_denied, fehler))
      EXPECT_FALSE(d.is_regular_file() && enthaelt(lesen(d.path()).value_or(""), "keks")) << d.path();
  // Ctrl+W closes as the page's way does.
  taste(GTK_WIDGET(web->fenster()), GDK_KEY_w, GDK_CONTROL_MASK);
  EXPECT_TRUE(bisAbgearbeitet([&] { return beendet == 2; }));

  // An open alert keeps the focus. Without a window manager the focus goes
  // only to a window already on screen, so it is asked for until then.
  GtkWindow* hinweis = GTK_WINDOW(dialogBauen({.nachricht = "Tresor entsperren"}));
  ASSERT_TRUE(bisAbgearbeitet([&] { return gtk_window_present(hinweis), gtk_window_is_active(hinweis); }));
  EXPECT_TRUE(startZeigen());
  EXPECT_TRUE(gtk_window_is_active(hinweis));
  gtk_widget_destroy(GTK_WIDGET(hinweis));

  // A web process that dies is replaced and its page shown again, a few times in a row;
  // then the window gives up and the user is told.
  for (int mal = 0; mal <= hoechstensWiederbelebt; ++mal) {
    std::vector<pid_t> webprozesse;
    ASSERT_TRUE(bisAbgearbeitet([&] { return (webprozesse = nachkommen("WebKitWebProces")).size() == 1; }));
    ::kill(webprozesse[0], SIGKILL);
    EXPECT_TRUE(mal == hoechstensWiederbelebt || zeigt("Startseite"));
  }
  EXPECT_TRUE(bisAbgearbeitet([&] { return dialoge.hinweise.size() == 1; }));
}

}  // namespace
}  // namespace tw
