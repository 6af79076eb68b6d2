#pragma once
// Recorders and scripted answers for the desktop seams.

#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/anwendung.h"
#include "platform/besitzerbestaetigung.h"
#include "platform/browser.h"
#include "platform/dialoge.h"
#include "platform/ereignisschleife.h"
#include "platform/schluesselbund.h"
#include "platform/statusanzeige.h"
#include "platform/webfenster.h"
#include "platform/zwischenablage.h"

namespace tw {

// Readable failure messages for compared alerts.
inline void PrintTo(const Hinweis& h, std::ostream* o) { *o << h.nachricht << " / " << h.text; }

// The next scripted answer, or `sonst` once the script has run out.
template <class T>
T naechste(std::deque<T>& plan, T sonst) {
  if (plan.empty()) return sonst;
  T t = std::move(plan.front());
  plan.pop_front();
  return t;
}

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
    if (auto w = std::exchange(waehrend, nullptr)) w();
    return naechste(antworten, Wahl{ersterKnopf + 1, false});
  }
  Eingabe passphraseFragen(const Hinweis& h) override {
    gefragt.push_back(h);
    if (auto w = std::exchange(waehrend, nullptr)) w();
    auto [knopf, kaestchen, text] = naechste(eingaben, {ersterKnopf + 1, false, ""});
    return {knopf, kaestchen, Geheimnis(text)};
  }
  void nachVorne() override { ++vorgeholt; }
  void alleSchliessen() override { ++geschlossen; }
  std::function<void()> waehrend;  // runs while the next alert is open, as under a nested loop
  int vorgeholt = 0, geschlossen = 0;
  std::deque<Wahl> antworten;  // answered in order; then the second button
  std::vector<Hinweis> hinweise;
  std::deque<std::tuple<int, bool, std::string>> eingaben;  // then "Abbrechen"
  std::vector<Hinweis> gefragt;
};

struct AblageMitschnitt final : Zwischenablage {
  void setzen(std::string_view text) override { texte.emplace_back(text); }
  std::vector<std::string> texte;
};

// The setup window as a list of what it was asked to do: "aufbauen",
// "seite <address>", "html", "vorne", "zu" (closed) or "bleibt" (close refused).
struct WebfensterMitschnitt final : Webfenster {
  void aufbauen(const Fensterbauplan& p, Webdelegat& d) override {
    plan = p;
    delegat = &d;
    schritte.push_back("aufbauen");
  }
  void seiteLaden(const std::string& a, Dauer f) override {
    schritte.push_back("seite " + a);
    aktuell = a;
    frist = f;
  }
  void htmlLaden(const std::string& h) override {
    schritte.push_back("html");
    html = h;
    aktuell = "about:blank";
  }
  void nachVorne() override { schritte.push_back("vorne"); }
  void schliessen() override { schritte.push_back(delegat->sollSchliessen() ? "zu" : "bleibt"); }
  std::string adresse() const override { return aktuell; }

  Fensterbauplan plan;
  Webdelegat* delegat = nullptr;
  std::vector<std::string> schritte;
  std::string html, aktuell;
  Dauer frist{};
};

struct BrowserMitschnitt final : Browser {
  bool oeffnen(const std::string& a) override { return adressen.push_back(a), gelingt; }
  std::vector<std::string> adressen;
  bool gelingt = true;
};

struct AnwendungMitschnitt final : Anwendung {
  void beendenAnfragen() override { ++anfragen; }
  int anfragen = 0;
};

// An in-memory keyring with both places; each call can be made to answer a
// fixed status instead. Records the calls as "<call> <place>".
struct SchluesselbundAttrappe final : Schluesselbund {
  bool zugriffsregelErstellen(std::optional<std::string>& fehler) override {
    fehler = regelFehler;
    return regel;
  }
  int hinzufuegen(const Schluesselbundabfrage& a, std::string_view label, const Geheimnis& d) override {
    notieren("hinzufuegen", a);
    if (auto s = hinzufuegenStatus[a.geschuetzt]) return *s;
    if (ort(a)) return errSecDuplicateItem;
    ort(a) = std::string(d.text());
    bezeichnung = label;
    return errSecSuccess;
  }
  int suchen(const Schluesselbundabfrage& a, const Suche& suche, Geheimnis* d) override {
    notieren(suche.mitDaten ? "lesen" : "suchen", a);
    kontexte.push_back(suche.kontext ? std::optional(*suche.kontext) : std::nullopt);
    if (auto s = suchenStatus[a.geschuetzt]) return *s;
    if (!ort(a)) return errSecItemNotFound;
    if (suche.mitDaten && d) *d = Geheimnis(*ort(a));
    return errSecSuccess;
  }
  int aktualisieren(const Schluesselbundabfrage& a, const Geheimnis& d) override {
    notieren("aktualisieren", a);
    if (ort(a)) ort(a) = std::string(d.text());
    return ort(a) ? errSecSuccess : errSecItemNotFound;
  }
  int loeschen(const Schluesselbundabfrage& a) override {
    notieren("loeschen", a);
    if (beimLoeschen) beimLoeschen();
    if (loeschenStatus && !a.geschuetzt) return *loeschenStatus;
    if (!ort(a)) return errSecItemNotFound;
    ort(a).reset();
    return errSecSuccess;
  }
  bool gemerkt() const { return geschuetzt || login; }

  std::optional<std::string> geschuetzt, login;                           // the items' secrets
  std::array<std::optional<int>, 2> hinzufuegenStatus{}, suchenStatus{};  // [login, protected]
  bool regel = true;
  std::optional<std::string> regelFehler;
  std::string bezeichnung;
  std::vector<std::string> aufrufe;
  std::vector<std::optional<Besitzerkontext>> kontexte;
  std::function<void()> beimLoeschen;
  std::optional<int> loeschenStatus;  // forced for the login place

 private:
  std::optional<std::string>& ort(const Schluesselbundabfrage& a) {
    return a.geschuetzt ? geschuetzt : login;
  }
  void notieren(const char* was, const Schluesselbundabfrage& a) {
    aufrufe.push_back(std::string(was) + (a.geschuetzt ? " geschuetzt" : " login"));
  }
};

// Owner confirmation with scripted outcomes, answered on the loop.
struct BesitzerNachPlan final : Besitzerbestaetigung {
  explicit BesitzerNachPlan(Ereignisschleife& s) : schleife(s) {}
  void besitzerBestaetigen(const std::string& grund, Bestaetigt dann) override {
    gruende.push_back(grund);
    const bool ja = naechste(antworten, false);
    auto kontext = std::make_shared<Besitzerkontext>(Besitzerkontext{.bestaetigt = ja});
    schleife.posten([dann = std::move(dann), ja, kontext] { dann(ja, kontext); });
  }
  Ereignisschleife& schleife;
  std::deque<bool> antworten;  // then refused
  std::vector<std::string> gruende;
};

}  // namespace tw
