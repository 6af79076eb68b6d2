#pragma once
// Recorders and scripted answers for the desktop seams.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/anwendung.h"
#include "platform/dialoge.h"
#include "platform/statusanzeige.h"
#include "platform/zwischenablage.h"
#include "vault/passphrasenspeicher.h"

namespace tw {

struct AnzeigeMitschnitt final : Statusanzeige {
  void zeigen(const Anzeige& a) override { gezeigt.push_back(a); }
  void beiKlick(std::function<void(Aktion)> k) override { klick = std::move(k); }
  const Anzeige& letzte() const { return gezeigt.back(); }
  std::vector<Anzeige> gezeigt;
  std::function<void(Aktion)> klick;
};

struct DialogeNachPlan final : Dialoge {
  Wahl zeigen(const Hinweis& h) override {
    hinweise.push_back(h);
    if (antworten.empty()) return Wahl{ersterKnopf + 1, false};
    Wahl w = antworten.front();
    antworten.pop_front();
    return w;
  }
  std::deque<Wahl> antworten;  // answered in order; then the second button
  std::vector<Hinweis> hinweise;
};

struct AblageMitschnitt final : Zwischenablage {
  void setzen(std::string_view text) override { texte.emplace_back(text); }
  std::vector<std::string> texte;
};

struct AnwendungMitschnitt final : Anwendung {
  void beendenAnfragen() override { ++anfragen; }
  int anfragen = 0;
};

struct SpeicherAttrappe final : Passphrasenspeicher {
  bool passphraseGemerkt() override { return gemerkt; }
  void passphraseLoeschen() override {
    if (beimLoeschen) beimLoeschen();
    gemerkt = false;
    ++geloescht;
  }
  bool gemerkt = false;
  int geloescht = 0;
  std::function<void()> beimLoeschen;
};

}  // namespace tw
