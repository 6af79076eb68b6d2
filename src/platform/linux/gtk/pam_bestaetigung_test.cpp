#include "platform/linux/gtk/pam_bestaetigung.h"

#include <dlfcn.h>
#include <pwd.h>

#include <optional>
#include <thread>

#include "fakes/protokoll_mitschnitt.h"
#include "helfer/gtk_testhilfe.h"
#include "platform/linux/glib_schleife.h"
#include "test.h"

// fontconfig's caches, and pam_chatty, which never frees the reply lists it asks for.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:pam_chatty.so\n"; }

namespace tw {
namespace {

using Texte = std::vector<std::string>;

// PAM services and passwords of the test's own, read by the preloaded pam_wrapper in place of the
// machine's: a note before the question, and for "gesperrt" an account that is only for "taler-wacht".
void pamWeltEinrichten() {
  static TempOrdner ordner;
  const std::string modul = TW_PAM_MODULE, matrix = modul + "/pam_matrix.so";
  fs::create_directory(ordner / "dienste");
  for (const char* dienst : {"taler-wacht", "gesperrt"})
    dateiSchreiben(ordner / "dienste" / dienst, "auth required " + modul +
                                                    "/pam_chatty.so info\nauth required " + matrix +
                                                    " verbose\naccount required " + matrix + "\n");
  dateiSchreiben(ordner / "dienste/other", "auth required pam_deny.so\naccount required pam_deny.so\n");
  dateiSchreiben(ordner / "passwd", std::string(::getpwuid(::getuid())->pw_name) + ":geheim:taler-wacht\n");
  ::setenv("PAM_WRAPPER", "1", 1);
  ::setenv("PAM_WRAPPER_SERVICE_DIR", (ordner / "dienste").c_str(), 1);
  ::setenv("PAM_MATRIX_PASSWD", (ordner / "passwd").c_str(), 1);
  ::setenv("PAM_WRAPPER_DISABLE_DEEPBIND", "1", 1);  // deep binding and the sanitizers do not mix
  // Kept loaded past pam_end, so that the leak report can name it.
  ASSERT_NE(::dlopen((modul + "/pam_chatty.so").c_str(), RTLD_NOW), nullptr);
}

// The visible texts and fields as a screen reader finds them, one a line; "(…)" cannot be used now.
std::string vorgelesen(GtkWidget* w) {
  if (!w || !gtk_widget_is_visible(w)) return "";
  std::string text = GTK_IS_ENTRY(w) ? "[Feld]" : GTK_IS_LABEL(w) ? gtk_label_get_text(GTK_LABEL(w)) : "";
  if (!text.empty()) text = (gtk_widget_is_sensitive(w) ? text : "(" + text + ")") + "\n";
  if (GTK_IS_CONTAINER(w))
    for (GtkWidget* kind : kinder(w)) text += vorgelesen(kind);
  return text;
}

// The rules are the core's; here PAM's questions, notes and answers travel through one dialog.
TEST(PamBestaetigung, DerDialogEntscheidetNachPam) {
  // Without pam_wrapper this would ask the machine's own PAM.
  ASSERT_NE(std::string(::getenv("LD_PRELOAD") ?: "").find("pam_wrapper"), std::string::npos);
  ASSERT_TRUE(gtkBereit());
  pamWeltEinrichten();
  GlibSchleife schleife;
  const std::string grund = "den Tresor zu entsperren";
  // `dann`'s answers; one off the main thread or with a wrong context is "regelwidrig".
  const auto starten = [&, haupt = std::this_thread::get_id()](PamBestaetigung& pam, Texte& antworten) {
    pam.besitzerBestaetigen(grund, [&antworten, haupt](bool ok, auto k) {
      const bool regelrecht = std::this_thread::get_id() == haupt && k && k->bestaetigt == ok;
      antworten.push_back(!regelrecht ? "regelwidrig" : ok ? "ja" : "nein");
    });
    EXPECT_TRUE(antworten.empty());  // never before the call returned
  };
  struct Fall {
    const char* dienst;
    std::vector<std::optional<std::string>> eingaben;  // nullopt: "Abbrechen"
    const char* antwort;
    const char* warum = nullptr;  // shown until the response `schluss` closes it, or with 0 the app's end
    int schluss = 0;
  };
  for (const Fall& fall :
       {Fall{"taler-wacht", {"falsch", "geheim"}, "ja"},
        Fall{"taler-wacht", {"eins", "zwei", "drei"}, "nein", "Das Passwort war dreimal nicht richtig."},
        Fall{"taler-wacht", {std::nullopt}, "nein"},
        Fall{"gesperrt", {"geheim"}, "nein", "Die Bestätigung ist nicht gelungen.", ersterKnopf + 1},
        Fall{"unbekannt", {}, "nein", "Die Bestätigung ist nicht gelungen.", GTK_RESPONSE_DELETE_EVENT}}) {
    SCOPED_TRACE(std::string(fall.dienst) + " " + std::to_string(fall.eingaben.size()));
    ProtokollMitschnitt protokoll;
    Texte antworten, zweite;
    std::optional<PamBestaetigung> pam(std::in_place, schleife, fall.dienst);
    starten(*pam, antworten);
    starten(*pam, zweite);        // one at a time: declined while the first runs
    GtkDialog* erster = nullptr;  // one dialog throughout, also to say why PAM failed unasked
    for (std::size_t i = 0; i < fall.eingaben.size(); ++i) {
      GtkDialog* d = nullptr;
      GtkWidget* feld = nullptr;
      ASSERT_TRUE(bisAbgearbeitet([&] {
        // PAM's question, the field named after it
        return (d = offenerDialog()) && (feld = gtk_window_get_focus(GTK_WINDOW(d))) &&
               gtk_widget_is_sensitive(feld) &&
               !g_strcmp0(atk_object_get_name(gtk_widget_get_accessible(feld)), "Password");
      }));
      EXPECT_EQ(d, erster ? erster : (erster = d));
      // PAM's note shows while it waits for the answer, after a wrong answer that it was wrong;
      // nothing to confirm before something is typed.
      const std::string meldung =
          i ? "Authentication failed\n" + std::string(passwortFalsch) : "Authentication succeeded";
      const std::string text = vorgelesen(GTK_WIDGET(d));
      EXPECT_TRUE(text.starts_with(bestaetigungsSatz(grund) + "\n" + meldung + "\n") &&
                  text.ends_with("Password: \n[Feld]\nAbbrechen\n(Bestätigen)\n"))
          << text;
      if (fall.eingaben[i]) gtk_entry_set_text(GTK_ENTRY(feld), fall.eingaben[i]->c_str());
      // Return in the field and the button both confirm; the answer leaves the field.
      !fall.eingaben[i] ? gtk_dialog_response(d, ersterKnopf + 1)
      : i % 2 == 0      ? (void)gtk_widget_activate(feld)
                        : gtk_button_clicked(GTK_BUTTON(gtk_dialog_get_widget_for_response(d, ersterKnopf)));
      ASSERT_TRUE(bisAbgearbeitet(
          [&] { return offenerDialog() != d || !gtk_entry_get_text_length(GTK_ENTRY(feld)); }));
    }
    std::string text;  // why, with nothing left to answer but "Schließen"; `dann` waits until then
    ASSERT_TRUE(!fall.warum || bisAbgearbeitet([&] {
      text = vorgelesen(GTK_WIDGET(offenerDialog()));
      return antworten.empty() && (!erster || offenerDialog() == erster) &&
             text.ends_with(fall.warum + std::string(" Der Tresor bleibt gesperrt.\nSchließen\n"));
    })) << text;
    if (fall.warum) fall.schluss ? gtk_dialog_response(offenerDialog(), fall.schluss) : pam.reset();
    ASSERT_TRUE(bisAbgearbeitet([&] { return !antworten.empty(); }));
    EXPECT_EQ(offenerDialog(), nullptr);
    pam.reset();  // waits for the PAM thread, whose late answer must change nothing
    abarbeiten();
    EXPECT_EQ(std::pair(antworten, zweite), std::pair(Texte{fall.antwort}, Texte{"nein"}));
    for (const std::string& zeile : protokoll.zeilen()) {
      EXPECT_EQ(zeile.find("antwortet nicht"), std::string::npos) << zeile;  // the PAM thread ended
      for (const auto& eingabe : fall.eingaben)
        EXPECT_TRUE(!eingabe || zeile.find(*eingabe) == std::string::npos);
    }
  }
}

}  // namespace
}  // namespace tw
