#include "platform/linux/gtk/pam_bestaetigung.h"

#define GCR_API_SUBJECT_TO_CHANGE
#include <gcr/gcr.h>
#include <gtk/gtk.h>
#include <pwd.h>
#include <security/pam_appl.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "app/protokoll.h"
#include "platform/dialoge.h"
#include "platform/linux/gtk/gtk_dialoge.h"
#include "vault/geheimnis.h"

namespace tw {
namespace {

// Long enough for pam_unix's delay after a wrong password.
constexpr auto wartezeitAmEnde = std::chrono::seconds(3);
constexpr const char* bestaetigen = "Bestätigen";
constexpr const char* abbrechenText = "Abbrechen";
constexpr const char* schliessenText = "Schließen";

// PAM's codes as the core's rules read them.
PamErgebnis ergebnis(int status) {
  return status == PAM_SUCCESS    ? PamErgebnis::erfolg
         : status == PAM_AUTH_ERR ? PamErgebnis::falsch
                                  : PamErgebnis::anderes;
}

PamNachricht nachrichtArt(const pam_message* nachricht) {
  switch (nachricht ? nachricht->msg_style : -1) {
    case PAM_PROMPT_ECHO_OFF:
      return PamNachricht::frageVerdeckt;
    case PAM_PROMPT_ECHO_ON:
      return PamNachricht::frageSichtbar;
    case PAM_TEXT_INFO:
    case PAM_ERROR_MSG:
      return PamNachricht::notiz;
    default:
      return PamNachricht::unbekannt;
  }
}

std::shared_ptr<Besitzerkontext> kontextFuer(bool bestaetigt) {
  auto kontext = std::make_shared<Besitzerkontext>();
  kontext->bestaetigt = bestaetigt;
  return kontext;
}

void barrierefreiNennen(GtkWidget* widget, const std::string& name) {
  atk_object_set_name(gtk_widget_get_accessible(widget), name.c_str());
}

std::optional<std::string> benutzername() {
  const long vorschlag = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> puffer(vorschlag > 0 ? static_cast<std::size_t>(vorschlag) : 16384);
  passwd eintrag{};
  passwd* gefunden = nullptr;
  if (::getpwuid_r(::getuid(), &eintrag, puffer.data(), puffer.size(), &gefunden) != 0 || !gefunden)
    return std::nullopt;
  return std::string(gefunden->pw_name);
}

// Frees replies PAM will not get, wiping the answers in them.
void antwortenVerwerfen(pam_response* liste, int anzahl) {
  if (!liste) return;
  for (int i = 0; i < anzahl; ++i) {
    if (!liste[i].resp) continue;
    ::explicit_bzero(liste[i].resp, ::strlen(liste[i].resp));
    std::free(liste[i].resp);
  }
  std::free(liste);
}

}  // namespace

// The way back to the main loop; cut when the PamBestaetigung goes away.
struct PamBestaetigung::Bote {
  explicit Bote(Ereignisschleife& s) : schleife(&s) {}

  void posten(Aufgabe aufgabe) {
    std::lock_guard sperre(schloss);
    if (schleife) schleife->posten(std::move(aufgabe));
  }

  std::mutex schloss;
  std::condition_variable fertig;
  Ereignisschleife* schleife;
  int laufend = 0;  // PAM threads not yet finished
};

// One confirmation, shared by the main thread (dialog) and its PAM thread.
struct PamBestaetigung::Sitzung : std::enable_shared_from_this<Sitzung> {
  Sitzung(std::shared_ptr<Bote> b, std::string s, Bestaetigt d)
      : bote(std::move(b)), satz(std::move(s)), dann(std::move(d)) {}

  // PAM thread.
  BesitzerAusgang pruefen(const std::string& dienst);
  static int gespraech(int anzahl, const pam_message** nachrichten, pam_response** antworten, void* daten);
  std::optional<Geheimnis> fragen(const std::string& frage, bool echo);
  bool abgebrochen() {
    std::lock_guard sperre(schloss);
    return abbruch;
  }

  // Main thread.
  void dialogOeffnen();
  void frageZeigen(const std::string& frage, bool echo);
  void meldungZeigen(const std::string& text);
  void knopfPruefen();
  void antworten();
  void abbrechen();
  void beenden(const BesitzerAusgang& ausgang);
  void abschliessen(bool bestaetigt);

  const std::shared_ptr<Bote> bote;
  const std::string satz;

  // Shared with the PAM thread, under schloss.
  std::mutex schloss;
  std::condition_variable geantwortet;
  bool abbruch = false;
  std::optional<Geheimnis> antwort;

  // PAM thread only: whether this attempt asked the owner anything.
  bool gefragt = false;

  // Main thread only.
  Bestaetigt dann;
  bool erledigt = false;
  bool frageOffen = false;
  GtkWidget* dialog = nullptr;
  GtkWidget* meldungen = nullptr;
  GtkWidget* frageText = nullptr;
  GtkWidget* feld = nullptr;
  GtkWidget* knopf = nullptr;
  std::string meldungsZeilen;
};

BesitzerAusgang PamBestaetigung::Sitzung::pruefen(const std::string& dienst) {
  const auto name = benutzername();
  if (!name) {
    protokollieren("Besitzerbestätigung nicht möglich: kein Benutzer zur Kennung " +
                   std::to_string(::getuid()));
    return nichtMoeglich();
  }
  const pam_conv weg{&Sitzung::gespraech, this};
  pam_handle_t* pam = nullptr;
  int status = ::pam_start(dienst.c_str(), name->c_str(), &weg, &pam);
  if (status != PAM_SUCCESS) {
    protokollieren("Besitzerbestätigung nicht möglich: PAM startet nicht (" +
                   std::string(::pam_strerror(pam, status)) + ")");
    return nichtMoeglich();
  }
  int versuch = 1;
  for (;; ++versuch) {
    gefragt = false;
    status = ::pam_authenticate(pam, PAM_DISALLOW_NULL_AUTHTOK);
    if (!nochEinVersuch(ergebnis(status), gefragt, versuch, abgebrochen())) break;
    bote->posten([s = shared_from_this()] {
      if (!s->erledigt) s->meldungZeigen(passwortFalsch);
    });
  }
  const int ende = status == PAM_SUCCESS ? ::pam_acct_mgmt(pam, PAM_DISALLOW_NULL_AUTHTOK) : status;
  const bool abbruchJetzt = abgebrochen();
  if (ende != PAM_SUCCESS && !abbruchJetzt)
    protokollieren("Besitzer nicht bestätigt (" + std::string(::pam_strerror(pam, ende)) + ")");
  ::pam_end(pam, ende);
  return besitzerAusgang(ergebnis(status), ergebnis(ende), gefragt, versuch, abbruchJetzt);
}

int PamBestaetigung::Sitzung::gespraech(int anzahl, const pam_message** nachrichten, pam_response** antworten,
                                        void* daten) {
  auto* sitzung = static_cast<Sitzung*>(daten);
  if (anzahl <= 0 || anzahl > PAM_MAX_NUM_MSG || !nachrichten) return PAM_CONV_ERR;
  // Some modules send notes without a place for replies.
  auto* liste = antworten ? static_cast<pam_response*>(std::calloc(anzahl, sizeof(pam_response))) : nullptr;
  if (antworten && !liste) return PAM_BUF_ERR;
  int status = PAM_SUCCESS;
  for (int i = 0; i < anzahl && status == PAM_SUCCESS; ++i) {
    const pam_message* nachricht = nachrichten[i];
    const std::string text = nachricht && nachricht->msg ? nachricht->msg : "";
    const PamNachricht art = nachrichtArt(nachricht);
    const bool abbruch = sitzung->abgebrochen();
    switch (umgangMit(art, liste != nullptr, abbruch)) {
      case PamUmgang::fragen: {
        std::optional<Geheimnis> eingabe = sitzung->fragen(text, art == PamNachricht::frageSichtbar);
        if (!eingabe) {
          status = PAM_CONV_ERR;
          break;
        }
        // PAM frees the reply itself, so it comes from malloc.
        auto* kopie = static_cast<char*>(std::malloc(eingabe->size() + 1));
        if (!kopie) {
          status = PAM_BUF_ERR;
          break;
        }
        std::memcpy(kopie, eingabe->c_str(), eingabe->size() + 1);
        liste[i].resp = kopie;
        break;
      }
      case PamUmgang::zeigen:
        // Notes do not wait for the owner: a fingerprint reader keeps waiting for the finger meanwhile.
        sitzung->bote->posten([s = sitzung->shared_from_this(), text] {
          if (!s->erledigt) s->meldungZeigen(text);
        });
        break;
      case PamUmgang::ablehnen:
        if (!abbruch)
          protokollieren("PAM fragt etwas, das der Dialog nicht kann (Art " +
                         std::to_string(nachricht ? nachricht->msg_style : -1) + ")");
        status = PAM_CONV_ERR;
        break;
    }
  }
  if (status != PAM_SUCCESS) {
    antwortenVerwerfen(liste, anzahl);
    liste = nullptr;
  }
  if (antworten) *antworten = liste;
  return status;
}

std::optional<Geheimnis> PamBestaetigung::Sitzung::fragen(const std::string& frage, bool echo) {
  bote->posten([s = shared_from_this(), frage, echo] { s->frageZeigen(frage, echo); });
  std::unique_lock sperre(schloss);
  geantwortet.wait(sperre, [this] { return abbruch || antwort.has_value(); });
  std::optional<Geheimnis> ergebnis;
  if (!abbruch) {
    ergebnis = std::move(antwort);
    gefragt = true;
  }
  antwort.reset();
  return ergebnis;
}

void PamBestaetigung::Sitzung::dialogOeffnen() {
  if (dialog) return;
  GtkDialog* d =
      dialogBauen(Hinweis{.nachricht = satz, .knoepfe = {bestaetigen, abbrechenText}, .tresorBild = true});
  dialog = GTK_WIDGET(d);
  // Bold with or without the notes below it.
  char* fett = g_markup_printf_escaped("<b>%s</b>", satz.c_str());
  gtk_message_dialog_set_markup(GTK_MESSAGE_DIALOG(d), fett);
  g_free(fett);

  GtkBox* bereich = GTK_BOX(gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(d)));
  meldungen = gtk_label_new(nullptr);
  gtk_label_set_line_wrap(GTK_LABEL(meldungen), TRUE);
  gtk_label_set_max_width_chars(GTK_LABEL(meldungen), 50);
  gtk_label_set_xalign(GTK_LABEL(meldungen), 0);
  gtk_box_pack_start(bereich, meldungen, FALSE, FALSE, 0);

  frageText = gtk_label_new(nullptr);
  gtk_label_set_xalign(GTK_LABEL(frageText), 0);
  gtk_box_pack_start(bereich, frageText, FALSE, FALSE, 0);
  // The typed characters live in memory that is never swapped and is wiped when freed.
  GtkEntryBuffer* puffer = gcr_secure_entry_buffer_new();
  feld = gtk_entry_new_with_buffer(puffer);
  g_object_unref(puffer);
  gtk_entry_set_activates_default(GTK_ENTRY(feld), TRUE);
  gtk_entry_set_width_chars(GTK_ENTRY(feld), 30);
  // Typing is taken only while PAM asks; before (a fingerprint wait) it would be lost.
  gtk_widget_set_sensitive(feld, FALSE);
  gtk_label_set_mnemonic_widget(GTK_LABEL(frageText), feld);
  gtk_box_pack_start(bereich, feld, FALSE, FALSE, 0);
  g_signal_connect_swapped(feld, "changed", G_CALLBACK(+[](Sitzung* s) { s->knopfPruefen(); }), this);

  knopf = gtk_dialog_get_widget_for_response(d, ersterKnopf);
  barrierefreiNennen(knopf, bestaetigen);
  barrierefreiNennen(gtk_dialog_get_widget_for_response(d, ersterKnopf + 1), abbrechenText);

  // The dialog holds the confirmation until it is destroyed.
  g_signal_connect_data(
      d, "response", G_CALLBACK(+[](GtkDialog*, int antwort, gpointer daten) {
        const auto s = *static_cast<std::shared_ptr<Sitzung>*>(daten);
        if (antwort == ersterKnopf)
          s->antworten();
        else
          s->abbrechen();
      }),
      new std::shared_ptr<Sitzung>(shared_from_this()),
      +[](gpointer daten, GClosure*) { delete static_cast<std::shared_ptr<Sitzung>*>(daten); },
      GConnectFlags{});
  knopfPruefen();
  gtk_widget_show(dialog);
  gtk_window_present(GTK_WINDOW(dialog));
}

void PamBestaetigung::Sitzung::frageZeigen(const std::string& frage, bool echo) {
  if (erledigt) return;
  dialogOeffnen();
  gtk_label_set_text(GTK_LABEL(frageText), frage.c_str());
  barrierefreiNennen(feld, feldName(frage));
  gtk_entry_set_visibility(GTK_ENTRY(feld), echo);
  gtk_entry_set_input_purpose(GTK_ENTRY(feld),
                              echo ? GTK_INPUT_PURPOSE_FREE_FORM : GTK_INPUT_PURPOSE_PASSWORD);
  gtk_widget_set_visible(frageText, !frage.empty());
  gtk_widget_show(feld);
  gtk_widget_set_sensitive(feld, TRUE);
  gtk_widget_grab_focus(feld);
  frageOffen = true;
  knopfPruefen();
}

void PamBestaetigung::Sitzung::meldungZeigen(const std::string& text) {
  dialogOeffnen();
  if (!meldungsZeilen.empty()) meldungsZeilen += '\n';
  meldungsZeilen += text;
  gtk_label_set_text(GTK_LABEL(meldungen), meldungsZeilen.c_str());
  gtk_widget_show(meldungen);
}

// Nothing to confirm before PAM asks, nor with an empty field (PAM refuses empty passwords anyway).
void PamBestaetigung::Sitzung::knopfPruefen() {
  if (!knopf) return;
  gtk_widget_set_sensitive(knopf, frageOffen && gtk_entry_get_text_length(GTK_ENTRY(feld)) > 0);
}

void PamBestaetigung::Sitzung::antworten() {
  if (!frageOffen || gtk_entry_get_text_length(GTK_ENTRY(feld)) == 0) return;
  Geheimnis eingabe(gtk_entry_get_text(GTK_ENTRY(feld)));
  gtk_entry_buffer_delete_text(gtk_entry_get_buffer(GTK_ENTRY(feld)), 0, -1);
  frageOffen = false;
  gtk_widget_set_sensitive(feld, FALSE);
  // The notes so far belong to the question just answered.
  meldungsZeilen.clear();
  gtk_label_set_text(GTK_LABEL(meldungen), "");
  gtk_widget_hide(meldungen);
  knopfPruefen();
  {
    std::lock_guard sperre(schloss);
    antwort = std::move(eingabe);
  }
  geantwortet.notify_all();
}

void PamBestaetigung::Sitzung::abbrechen() {
  {
    std::lock_guard sperre(schloss);
    abbruch = true;
    antwort.reset();
  }
  geantwortet.notify_all();
  abschliessen(false);
}

// The owner who clicked learns why it failed; `dann` waits until the dialog is closed.
void PamBestaetigung::Sitzung::beenden(const BesitzerAusgang& ausgang) {
  if (erledigt) return;
  if (ausgang.warum.empty()) return abschliessen(ausgang.bestaetigt);
  dialogOeffnen();
  frageOffen = false;
  gtk_widget_hide(frageText);
  gtk_widget_hide(feld);
  gtk_widget_hide(knopf);
  meldungZeigen(ausgang.warum);
  // Its response, Escape and closing the window all end in abbrechen().
  GtkWidget* schliessen = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), ersterKnopf + 1);
  gtk_button_set_label(GTK_BUTTON(schliessen), schliessenText);
  barrierefreiNennen(schliessen, schliessenText);
  gtk_widget_grab_focus(schliessen);
  gtk_window_present(GTK_WINDOW(dialog));
}

void PamBestaetigung::Sitzung::abschliessen(bool bestaetigt) {
  if (erledigt) return;
  erledigt = true;
  frageOffen = false;
  if (GtkWidget* d = std::exchange(dialog, nullptr)) {
    meldungen = frageText = feld = knopf = nullptr;
    gtk_widget_destroy(d);
  }
  bote->posten([dann = std::move(dann), bestaetigt] { dann(bestaetigt, kontextFuer(bestaetigt)); });
}

PamBestaetigung::PamBestaetigung(Ereignisschleife& schleife, std::string dienst)
    : schleife_(schleife), dienst_(std::move(dienst)), bote_(std::make_shared<Bote>(schleife)) {}

PamBestaetigung::~PamBestaetigung() {
  if (offen_) offen_->abbrechen();
  std::unique_lock sperre(bote_->schloss);
  if (!bote_->fertig.wait_for(sperre, wartezeitAmEnde, [this] { return bote_->laufend == 0; }))
    protokollieren("PAM antwortet nicht — die Besitzerbestätigung endet ohne seine Antwort");
  bote_->schleife = nullptr;
}

void PamBestaetigung::besitzerBestaetigen(const std::string& grund, Bestaetigt dann) {
  if (offen_ && !offen_->erledigt) {
    // One confirmation at a time: the open dialog comes to the front, the new request is declined.
    if (offen_->dialog) gtk_window_present(GTK_WINDOW(offen_->dialog));
    protokollieren("Besitzerbestätigung läuft schon — weitere Anfrage abgelehnt");
    schleife_.posten([dann = std::move(dann)] { dann(false, kontextFuer(false)); });
    return;
  }
  auto sitzung = std::make_shared<Sitzung>(bote_, bestaetigungsSatz(grund), std::move(dann));
  offen_ = sitzung;
  {
    std::lock_guard sperre(bote_->schloss);
    ++bote_->laufend;
  }
  try {
    std::thread([sitzung, dienst = dienst_] {
      const BesitzerAusgang ausgang = sitzung->pruefen(dienst);
      sitzung->bote->posten([sitzung, ausgang] { sitzung->beenden(ausgang); });
      std::lock_guard sperre(sitzung->bote->schloss);
      --sitzung->bote->laufend;
      sitzung->bote->fertig.notify_all();
    }).detach();
  } catch (const std::system_error& fehler) {
    {
      std::lock_guard sperre(bote_->schloss);
      --bote_->laufend;
    }
    protokollieren(std::string("Besitzerbestätigung nicht möglich: kein Thread für PAM (") + fehler.what() +
                   ")");
    sitzung->beenden(nichtMoeglich());
  }
}

}  // namespace tw
