#include "platform/linux/gtk/webkit_fenster.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <map>
#include <memory>

#include "app/dateien.h"
#include "fakes/oberflaeche.h"
#include "helfer/roh_server.h"
#include "platform/linux/glib_schleife.h"
#include "platform/linux/gtk/fensterprogramm.h"
#include "platform/linux/gtk/gio_browser.h"
#include "platform/linux/gtk/gtk_dialoge.h"
#include "platform/linux/gtk/gtk_testhilfe.h"
#include "platform/linux/gtk/gtk_zwischenablage.h"
#include "setupwindow/fenster.h"

// Caches below GTK and in WebKit that live until the process ends.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libjavascriptcoregtk-4.1.so\n";
}

namespace tw {
namespace {

using namespace std::chrono_literals;

bool enthaelt(std::string_view text, std::string_view teil) { return text.find(teil) != text.npos; }

// The desktop's https handler writes the address down. GIO reads the folders
// once, so they are set before GTK starts.
const TempOrdner& schreibtisch() {
  static TempOrdner ordner;
  static const bool fertig = [] {
    std::filesystem::create_directories(ordner / "applications");
    dateiSchreiben(ordner / "browser", "#!/bin/sh\nprintf %s \"$1\" > \"$(dirname \"$0\")/geoeffnet\"\n");
    std::filesystem::permissions(ordner / "browser", std::filesystem::perms::owner_all);
    dateiSchreiben(ordner / "applications/fake.desktop",
                   "[Desktop Entry]\nType=Application\nName=Fake\nExec=" + (ordner / "browser").string() +
                       " %u\nMimeType=x-scheme-handler/https;\n");
    dateiSchreiben(ordner / "mimeapps.list", "[Default Applications]\nx-scheme-handler/https=fake.desktop\n");
    return ::setenv("XDG_DATA_HOME", ordner.pfad().c_str(), 1) == 0 &&
           ::setenv("XDG_CONFIG_HOME", ordner.pfad().c_str(), 1) == 0;
  }();
  EXPECT_TRUE(fertig);
  return ordner;
}

// Passes everything through between window and core, counting finished loads.
struct Zaehler final : Webfenster, Webdelegat {
  explicit Zaehler(Webfenster& w) : web(w) {}
  void aufbauen(const Fensterbauplan& p, Webdelegat& d) override { web.aufbauen(p, *(kern = &d, this)); }
  void seiteLaden(const std::string& a, Dauer f) override { web.seiteLaden(a, f); }
  void htmlLaden(const std::string& html) override { web.htmlLaden(html); }
  void nachVorne() override { web.nachVorne(); }
  void schliessen() override { web.schliessen(); }
  std::string adresse() const override { return web.adresse(); }
  bool navigationErlauben(std::string_view a) override { return kern->navigationErlauben(a); }
  void geladen() override { ++fertig, kern->geladen(); }
  void ladenFehlgeschlagen(std::string_view text) override { kern->ladenFehlgeschlagen(text); }
  bool sollSchliessen() override { return kern->sollSchliessen(); }
  void fensterAusgefallen() override { kern->fensterAusgefallen(); }
  Webfenster& web;
  Webdelegat* kern = nullptr;
  int fertig = 0;
};

// The window program's side runs in this process, on the other end of the
// channel, so that the test can reach into its view.
struct Dienst {
  std::unique_ptr<WebkitFenster> web;
  int gestartet = 0, beendet = 0;
  Fensterprogramm::Starter starter() {
    return [this](int ende, std::string&) -> pid_t {
      web = std::make_unique<WebkitFenster>(ende, [this] { ++beendet; });
      return ++gestartet, 0;
    };
  }
};

class WebkitFensterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { schreibtisch(); }
  void SetUp() override {
    ASSERT_TRUE(gtkBereit());
    fenster.erlaubteSeiten = {*Url::aus(start.adresse()), *Url::aus(zweite.adresse())};
  }

  // The script's value as text, "" when the page has none to give.
  std::string skript(const std::string& js) {
    auto wert = std::make_shared<std::optional<std::string>>();
    webkit_web_view_evaluate_javascript(
        dienst.web->ansicht(), js.c_str(), -1, nullptr, nullptr, nullptr,
        +[](GObject* ansicht, GAsyncResult* ergebnis, gpointer daten) {
          std::unique_ptr<decltype(wert)> ziel(static_cast<decltype(wert)*>(daten));
          // Kept: the value keeps JSC's machine in this process alive, whose teardown would call
          // into the sanitizer-checked copy of a shared_ptr helper and trip it.
          JSCValue* js =
              webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(ansicht), ergebnis, nullptr);
          g_autofree char* text = js && !jsc_value_is_undefined(js) ? jsc_value_to_string(js) : nullptr;
          **ziel = text ? text : "";
        },
        new decltype(wert)(wert));
    bisAbgearbeitet([&] { return wert->has_value(); });
    return wert->value_or("");
  }
  bool zeigt(std::string_view text) {
    return bisAbgearbeitet([&] { return enthaelt(skript("document.body.innerText"), text); });
  }
  bool startZeigen() { return fenster.zeigen(*Url::aus(start.adresse())), zeigt("Startseite"); }
  bool sichtbar() { return gtk_widget_get_visible(GTK_WIDGET(dienst.web->fenster())); }

  TempOrdner ordner;
  RohServer zweite{httpAntwort(200, "text/html; charset=utf-8", "<p>Zweite Seite</p>")};
  RohServer start{httpAntwort(200, "text/html; charset=utf-8",
                              "<p>Startseite</p><a id=aussen href='https://talerwacht.example/hilfe'>a</a>"
                              "<a id=neu target=_blank href='" +
                                  zweite.adresse() + "'>n</a><input id=a><input id=b>",
                              "Set-Cookie: keks=da; Max-Age=3600\r\n")};
  GlibSchleife schleife;
  DialogeNachPlan dialoge;
  GioBrowser browser;
  Dienst dienst;
  Fensterprogramm programm{dienst.starter(), ordner / "rahmen/fenster.ini"};
  Zaehler zaehler{programm};
  Fenster fenster{zaehler, dialoge, browser, schleife, {ordner / "konfig", ordner.pfad(), "Taler Wacht"}};
};

TEST_F(WebkitFensterTest, SeitenNeueFensterFehlschlagFristUndFokus) {
  fenster.warten();
  ASSERT_TRUE(zeigt("Taler Wacht startet …"));
  ASSERT_TRUE(startZeigen());
  EXPECT_TRUE(enthaelt(start.anfragen().at(0), "\r\nUser-Agent: TalerWacht-Menue/1.7.2_demo\r\n"));
  const std::string tot = "http://127.0.0.1:" + std::to_string(freierPort()) + "/";
  RohServer stumm("", RohServer::Art::schweigen);
  fenster.erlaubteSeiten.insert(fenster.erlaubteSeiten.end(), {*Url::aus(tot), *Url::aus(stumm.adresse())});
  // Each step goes through another of WebKit's signals.
  for (const auto& [js, text] : std::vector<std::pair<std::string, std::string>>{
           {"neu.click()", "Zweite Seite"},                                 // new window, asked first
           {"window.open('" + start.adresse() + "')", "Startseite"},        // new window, not asked
           {"aussen.click()", "Startseite"},                                // navigation
           {"location.href = '" + tot + "'", g_strerror(ECONNREFUSED)}}) {  // load failed
    skript(js);
    EXPECT_TRUE(zeigt(text)) << js;
  }
  // The handler's shell creates the file before it writes the address.
  EXPECT_TRUE(bisAbgearbeitet([] {
    return lesen(schreibtisch() / "geoeffnet") == "https://talerwacht.example/hilfe";
  })) << lesen(schreibtisch() / "geoeffnet").value_or("(none)");
  programm.seiteLaden(stumm.adresse(), 300ms);
  EXPECT_TRUE(zeigt("Keine Antwort innerhalb von 300 ms"));
  // Loads that failed do not count: waiting, start, second, start, two error pages.
  EXPECT_TRUE(bisAbgearbeitet([&] { return zaehler.fertig >= 6; }));
  EXPECT_EQ(zaehler.fertig, 6);
  // A page's new window keeps that limit: a third error page.
  skript("window.open('" + stumm.adresse() + "')");
  EXPECT_TRUE(bisAbgearbeitet([&] { return zaehler.fertig == 7; }));

  // An open alert keeps the focus.
  GtkWindow* hinweis = GTK_WINDOW(dialogBauen({.nachricht = "Tresor entsperren"}));
  gtk_window_present(hinweis);
  ASSERT_TRUE(bisAbgearbeitet([&] {
    // Without a window manager the focus goes only to a window already on screen.
    if (gtk_widget_get_mapped(GTK_WIDGET(hinweis))) gtk_window_present(hinweis);
    return gtk_window_is_active(hinweis);
  }));
  EXPECT_TRUE(startZeigen());
  EXPECT_TRUE(gtk_window_is_active(hinweis));
  gtk_widget_destroy(GTK_WIDGET(hinweis));

  // A web process that dies is replaced and its page shown again, a few times in a row;
  // then the window gives up and the user is told.
  for (int mal = 0; mal <= hoechstensWiederbelebt; ++mal) {
    const auto vorher = nachkommen("WebKitWebProces");
    ASSERT_EQ(vorher.size(), 1u);
    ::kill(vorher[0], SIGKILL);
    if (mal == hoechstensWiederbelebt) break;
    EXPECT_TRUE(bisAbgearbeitet([&] {
      return nachkommen("WebKitWebProces").size() == 1 && nachkommen("WebKitWebProces") != vorher;
    }));
    EXPECT_TRUE(zeigt("Startseite"));
  }
  ASSERT_TRUE(bisAbgearbeitet([&] { return !dialoge.hinweise.empty(); }));
  EXPECT_EQ(dialoge.hinweise.back().nachricht, "Das Einrichtungsfenster ließ sich nicht öffnen");
}

TEST_F(WebkitFensterTest, SchliessenBeendetDasProgrammBehaeltCookiesKuerzelUndRahmen) {
  std::error_code fehler;
  fenster.tresorOffen = [] { return std::pair<bool, std::optional<std::int64_t>>{true, std::nullopt}; };
  ASSERT_TRUE(startZeigen());
  skript("location.href = 'http://127.0.0.1/fenster-schliessen'");
  EXPECT_TRUE(bisAbgearbeitet([&] { return !sichtbar(); }));
  EXPECT_TRUE(dialoge.hinweise.empty());
  EXPECT_TRUE(bisAbgearbeitet([&] { return dienst.beendet == 1; }));
  // A new window program gets the cookies of the last one.
  ASSERT_TRUE(startZeigen());
  EXPECT_EQ(dienst.gestartet, 2);
  EXPECT_TRUE(enthaelt(start.anfragen().back(), "\r\nCookie: keks=da\r\n"));
  // The cookies live in memory only: no file of the session holds them.
  for (const char* ort :
       {g_get_home_dir(), g_get_user_data_dir(), g_get_user_cache_dir(), g_get_user_runtime_dir()})
    for (const auto& d : std::filesystem::recursive_directory_iterator(
             ort, std::filesystem::directory_options::skip_permission_denied, fehler))
      EXPECT_FALSE(d.is_regular_file() && enthaelt(lesen(d.path()).value_or(""), "keks")) << d.path();

  // The page's text fields keep their shortcuts, and take what the app copied.
  GtkWidget* fenster = GTK_WIDGET(dienst.web->fenster());
  GtkZwischenablage().setzen("Größe · 59 min");
  skript("b.focus()");
  taste(fenster, GDK_KEY_v, GDK_CONTROL_MASK);
  EXPECT_TRUE(bisAbgearbeitet([&] { return skript("b.value") == "Größe · 59 min"; }));
  skript("a.value = 'DE02 1203'; a.focus()");
  for (const guint k : {GDK_KEY_a, GDK_KEY_c}) taste(fenster, k, GDK_CONTROL_MASK);
  EXPECT_TRUE(bisAbgearbeitet([] {
    g_autofree char* text = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    return text && std::string_view(text) == "DE02 1203";
  }));

  // A move saves the frame, for the user's eyes only; Ctrl+W saves it too. A larger
  // one comes back in its place, a smaller one gives way.
  const std::string datei = ordner / "rahmen/fenster.ini", gruppe = "einrichtungsfenster";
  gtk_window_move(dienst.web->fenster(), 33, 44);
  EXPECT_TRUE(bisAbgearbeitet([&] { return enthaelt(lesen(datei).value_or(""), "\nx=33\n"); }));
  EXPECT_EQ(static_cast<int>(std::filesystem::status(datei).permissions()), 0600);
  taste(fenster, GDK_KEY_w, GDK_CONTROL_MASK);
  ASSERT_TRUE(bisAbgearbeitet([&] { return !sichtbar(); }));
  g_autoptr(GKeyFile) rahmen = g_key_file_new();
  ASSERT_TRUE(g_key_file_load_from_file(rahmen, datei.c_str(), G_KEY_FILE_NONE, nullptr));
  const int b = g_key_file_get_integer(rahmen, gruppe.c_str(), "breite", nullptr);
  const int h = g_key_file_get_integer(rahmen, gruppe.c_str(), "hoehe", nullptr);
  EXPECT_GE(b, 700);
  for (const auto& [breite, x, sollBreite, ortBleibt] :
       {std::tuple{b + 40, 7, b + 40, true}, {b - 1, 7, b, false}, {b + 40, -5000, b + 40, false}}) {
    g_key_file_set_integer(rahmen, gruppe.c_str(), "breite", breite);
    g_key_file_set_integer(rahmen, gruppe.c_str(), "x", x);
    g_key_file_save_to_file(rahmen, datei.c_str(), nullptr);
    Dienst d;
    Fensterprogramm neu(d.starter(), datei);
    neu.aufbauen({.titel = "T", .benutzerAgent = "U", .rahmenName = gruppe}, this->fenster);
    neu.nachVorne();
    int ist[4] = {};
    bisAbgearbeitet([&] {
      return d.web && d.web->fenster() && gtk_widget_get_mapped(GTK_WIDGET(d.web->fenster())) &&
             (gtk_window_get_size(d.web->fenster(), &ist[0], &ist[1]), ist[0] == sollBreite);
    });
    gtk_window_get_position(d.web->fenster(), &ist[2], &ist[3]);
    EXPECT_EQ(std::pair(ist[0], ist[1]), std::pair(sollBreite, h));
    EXPECT_EQ(ist[2] == x, ortBleibt) << ist[2];
  }
}

}  // namespace
}  // namespace tw
