#include "gastgeber.h"

#include <cstdio>

#include "aufnahme.h"

namespace tw::leiste {
namespace {

// Re-reading is simpler than following the item's signals, and quick enough for a check.
constexpr guint auffrischenMs = 1000;

}  // namespace

Gastgeber::Gastgeber(Eintrag eintrag, Auftrag auftrag)
    : eintrag_(std::move(eintrag)), auftrag_(std::move(auftrag)), menue_([this](std::int32_t id) {
        if (const auto fehler = klicken(eintrag_.bus, daten_.menuePfad, id); !fehler.empty()) melden(fehler);
      }) {
  tafel_.beiKlick([this](const GdkEvent* e) { menue_.aufklappen(tafel_.fenster(), e); });
  wecker_ = g_timeout_add(
      auffrischenMs,
      +[](gpointer g) -> gboolean {
        static_cast<Gastgeber*>(g)->auffrischen();
        return G_SOURCE_CONTINUE;
      },
      this);
  auffrischen();
}

Gastgeber::~Gastgeber() { g_source_remove(wecker_); }

void Gastgeber::auffrischen() {
  daten_ = eintragLesen(eintrag_);
  Menue menue;
  if (!daten_.fehler.empty())
    menue.fehler = daten_.fehler;
  else if (!daten_.menuePfad.empty())
    menue = menueLesen(eintrag_.bus, daten_.menuePfad);
  melden(menue.fehler);
  tafel_.zeigen(daten_);
  zeilen_ = std::move(menue.zeilen);
  menue_.setzen(zeilen_);
  if (auftrag_.gesetzt() && !aufgeklappt_ && soweit()) {
    aufgeklappt_ = true;
    menue_.aufklappen(tafel_.fenster(), nullptr, [this] { aufnehmen(); });
  }
  if (aufgenommen_) nachklicken();
}

void Gastgeber::nachklicken() {
  if (geklickt_ || auftrag_.klicken.empty()) return;
  for (const auto& z : zeilen_) {
    if (!z.sichtbar || !z.aktiv || z.titel != auftrag_.klicken) continue;
    geklickt_ = true;
    // The open menu would cover what the click brings up.
    if (GtkWidget* offen = gtk_grab_get_current()) gtk_menu_shell_cancel(GTK_MENU_SHELL(offen));
    melden(klicken(eintrag_.bus, daten_.menuePfad, z.id));
    g_timeout_add(
        2000,
        +[](gpointer g) -> gboolean {
          auto* selbst = static_cast<Gastgeber*>(g);
          if (const auto fehler = bildschirmSpeichern(selbst->auftrag_.klickBild); !fehler.empty()) {
            selbst->melden(fehler);
          } else {
            std::printf("bild: %s\n", selbst->auftrag_.klickBild.c_str());
            std::fflush(stdout);
          }
          return G_SOURCE_REMOVE;
        },
        this);
    return;
  }
}

bool Gastgeber::soweit() const {
  for (const auto& z : zeilen_)
    if (z.sichtbar && !z.trenner && z.titel.find(auftrag_.wartenAuf) != std::string::npos) return true;
  return false;
}

void Gastgeber::aufnehmen() {
  aufgenommen_ = true;
  if (!auftrag_.text.empty()) melden(textSchreiben(auftrag_.text, zeilenAlsText(zeilen_)));
  if (auftrag_.bild.empty()) return;
  if (const auto fehler = bildschirmSpeichern(auftrag_.bild); !fehler.empty()) return melden(fehler);
  std::printf("bild: %s\n", auftrag_.bild.c_str());
  std::fflush(stdout);
}

void Gastgeber::melden(const std::string& fehler) {
  if (!fehler.empty() && fehler != gemeldet_) g_printerr("taler-wacht-leiste: %s\n", fehler.c_str());
  gemeldet_ = fehler;
}

}  // namespace tw::leiste
