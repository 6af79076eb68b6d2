#include "platform/linux/gtk/pam_bestaetigung.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <thread>

#include "fakes/protokoll_mitschnitt.h"
#include "helfer/kindprozess.h"
#include "helfer/temp_ordner.h"
#include "platform/linux/glib_schleife.h"
#include "platform/linux/gtk/gtk_testhilfe.h"

// fontconfig's caches, and pam_chatty, which never frees the reply lists it asks for.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:pam_chatty.so\n"; }

namespace tw {
namespace {

const std::string grund = "den Tresor zu entsperren";

// PAM services and passwords of the test's own, read by the preloaded
// pam_wrapper in place of the machine's.
void pamWeltEinrichten() {
  static TempOrdner ordner;
  const std::string modul = TW_PAM_MODULE;
  std::filesystem::create_directory(ordner / "dienste");
  dateiSchreiben(ordner / "dienste/taler-wacht", "auth required " + modul + "/pam_matrix.so verbose\n" +
                                                     "account required " + modul + "/pam_matrix.so\n");
  dateiSchreiben(ordner / "dienste/gespraechig", "auth required " + modul + "/pam_chatty.so info\n" +
                                                     "auth required " + modul + "/pam_matrix.so\n" +
                                                     "account required pam_permit.so\n");
  // The password is right, but the account is only for "taler-wacht".
  dateiSchreiben(ordner / "dienste/gesperrt",
                 "auth required " + modul + "/pam_matrix.so\naccount required " + modul + "/pam_matrix.so\n");
  dateiSchreiben(ordner / "dienste/other", "auth required pam_deny.so\naccount required pam_deny.so\n");
  dateiSchreiben(ordner / "passwd", std::string(::getpwuid(::getuid())->pw_name) + ":geheim:taler-wacht\n");
  ::setenv("PAM_WRAPPER", "1", 1);
  ::setenv("PAM_WRAPPER_SERVICE_DIR", (ordner / "dienste").c_str(), 1);
  ::setenv("PAM_MATRIX_PASSWD", (ordner / "passwd").c_str(), 1);
  ::setenv("PAM_WRAPPER_DISABLE_DEEPBIND", "1", 1);  // deep binding and the sanitizers do not mix
  // Kept loaded past pam_end, so that the leak report can name it.
  static void* gespraechig = ::dlopen((modul + "/pam_chatty.so").c_str(), RTLD_NOW);
  ASSERT_NE(gespraechig, nullptr);
}

GtkWidget* offenerDialog() {
  GtkWidget* dialog = nullptr;
  GList* fenster = gtk_window_list_toplevels();
  for (GList* f = fenster; f; f = f->next) {
    if (GTK_IS_DIALOG(f->data) && gtk_widget_get_visible(GTK_WIDGET(f->data))) dialog = GTK_WIDGET(f->data);
  }
  g_list_free(fenster);
  return dialog;
}

void sammeln(GtkWidget* w, gpointer alle) {
  if (!gtk_widget_is_visible(w)) return;
  static_cast<std::vector<GtkWidget*>*>(alle)->push_back(w);
  if (GTK_IS_CONTAINER(w)) gtk_container_forall(GTK_CONTAINER(w), sammeln, alle);
}

// The open dialog's widget with this accessible name, as a screen reader finds it.
GtkWidget* namens(const std::string& name) {
  std::vector<GtkWidget*> alle;
  if (GtkWidget* d = offenerDialog()) sammeln(d, &alle);
  for (GtkWidget* w : alle) {
    if (const char* n = atk_object_get_name(gtk_widget_get_accessible(w)); n && n == name) return w;
  }
  return nullptr;
}

std::string texte(GtkWidget* dialog) {
  std::vector<GtkWidget*> alle;
  sammeln(dialog, &alle);
  std::string t;
  for (GtkWidget* w : alle) t += GTK_IS_LABEL(w) ? gtk_label_get_text(GTK_LABEL(w)) + std::string("\n") : "";
  return t;
}

bool bisDann(const std::function<bool()>& bedingung) {
  return bisZu(std::chrono::seconds(20), [&] { return abarbeiten(), bedingung(); });
}

// What `dann` saw: its answers, and whether any came too early, off the main thread or with a wrong context.
struct Lauf {
  std::vector<bool> antworten;
  bool zurueck = false;
  bool regelwidrig = false;
};

void starten(PamBestaetigung& pam, Lauf& lauf) {
  pam.besitzerBestaetigen(grund, [&lauf, haupt = std::this_thread::get_id()](bool ok, auto kontext) {
    lauf.antworten.push_back(ok);
    lauf.regelwidrig |=
        !lauf.zurueck || std::this_thread::get_id() != haupt || !kontext || kontext->bestaetigt != ok;
  });
  lauf.zurueck = true;
}

class PamBestaetigungTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Without pam_wrapper this would ask the machine's own PAM.
    const char* vorgeladen = ::getenv("LD_PRELOAD");
    ASSERT_TRUE(vorgeladen && std::string(vorgeladen).find("pam_wrapper") != std::string::npos);
    ASSERT_TRUE(gtkBereit());
    pamWeltEinrichten();
    haken_ = g_signal_add_emission_hook(
        g_signal_lookup("show", GTK_TYPE_WIDGET), 0,
        +[](GSignalInvocationHint*, guint, const GValue* werte, gpointer zahl) -> gboolean {
          if (GTK_IS_DIALOG(g_value_get_object(&werte[0]))) ++*static_cast<int*>(zahl);
          return TRUE;
        },
        &dialogeGezeigt_, nullptr);
  }
  void TearDown() override {
    if (haken_) g_signal_remove_emission_hook(g_signal_lookup("show", GTK_TYPE_WIDGET), haken_);
  }

  GlibSchleife schleife_;
  int dialogeGezeigt_ = 0;
  gulong haken_ = 0;
};

TEST_F(PamBestaetigungTest, DerDialogEntscheidetNachPam) {
  struct Fall {
    const char* name;
    const char* dienst;
    std::vector<std::optional<std::string>> eingaben;  // nullopt: "Abbrechen"
    bool bestaetigt;
    const char* hinweis = "";  // in the dialog at the first question
  };
  const Fall faelle[] = {
      {"richtig", "taler-wacht", {"geheim"}, true},
      {"falsch, dann richtig", "taler-wacht", {"falsch", "geheim"}, true},
      {"dreimal falsch", "taler-wacht", {"eins", "zwei", "drei"}, false},
      {"abgebrochen", "taler-wacht", {std::nullopt}, false},
      {"Hinweis, während PAM wartet", "gespraechig", {"geheim"}, true, "Authentication succeeded"},
      {"Konto gesperrt", "gesperrt", {"geheim"}, false},
      {"PAM lehnt ab, ohne zu fragen", "unbekannt", {}, false},
  };
  for (const Fall& fall : faelle) {
    SCOPED_TRACE(fall.name);
    dialogeGezeigt_ = 0;
    ProtokollMitschnitt protokoll;
    Lauf lauf;
    std::optional<PamBestaetigung> pam(std::in_place, schleife_, fall.dienst);
    starten(*pam, lauf);
    GtkWidget* ersterDialog = nullptr;
    for (std::size_t i = 0; i < fall.eingaben.size(); ++i) {
      GtkWidget* feld = nullptr;
      ASSERT_TRUE(bisDann([&] { return (feld = namens("Password")) && gtk_widget_is_sensitive(feld); }));
      GtkWidget* dialog = offenerDialog();
      if (!ersterDialog) {
        // One at a time: a second request meanwhile is declined, and this dialog stays.
        ersterDialog = dialog;
        Lauf zweite;
        starten(*pam, zweite);
        ASSERT_TRUE(bisDann([&] { return !zweite.antworten.empty(); }));
        EXPECT_EQ(zweite.antworten, std::vector{false});
        EXPECT_FALSE(zweite.regelwidrig);
      }
      EXPECT_EQ(dialog, ersterDialog);
      EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), "Taler Wacht");
      const std::string text = texte(dialog);
      EXPECT_NE(text.find(bestaetigungsSatz(grund)), std::string::npos) << text;
      EXPECT_NE(text.find(i == 0 ? fall.hinweis : "Authentication failed\nDas Passwort war nicht richtig."),
                std::string::npos)
          << text;
      GtkWidget* knopf = namens("Bestätigen");
      ASSERT_TRUE(knopf && namens("Abbrechen"));
      EXPECT_FALSE(gtk_widget_is_sensitive(knopf));  // nothing typed yet
      if (!fall.eingaben[i]) {
        gtk_button_clicked(GTK_BUTTON(namens("Abbrechen")));
        continue;
      }
      gtk_entry_set_text(GTK_ENTRY(feld), fall.eingaben[i]->c_str());
      // Return in the field and the button both confirm; the answer leaves the field.
      i % 2 == 0 ? (void)gtk_widget_activate(feld) : gtk_button_clicked(GTK_BUTTON(knopf));
      ASSERT_TRUE(
          bisDann([&] { return offenerDialog() != dialog || !gtk_entry_get_text_length(GTK_ENTRY(feld)); }));
    }
    ASSERT_TRUE(bisDann([&] { return !lauf.antworten.empty(); }));
    EXPECT_EQ(offenerDialog(), nullptr);
    pam.reset();  // waits for the PAM thread, whose late answer must change nothing
    abarbeiten();
    EXPECT_EQ(lauf.antworten, std::vector{fall.bestaetigt});
    EXPECT_FALSE(lauf.regelwidrig);
    EXPECT_EQ(dialogeGezeigt_, fall.eingaben.empty() ? 0 : 1);
    for (const std::string& zeile : protokoll.zeilen()) {
      EXPECT_EQ(zeile.find("antwortet nicht"), std::string::npos) << zeile;  // the PAM thread ended
      for (const auto& eingabe : fall.eingaben)
        EXPECT_TRUE(!eingabe || zeile.find(*eingabe) == std::string::npos);
    }
  }
}

}  // namespace
}  // namespace tw
