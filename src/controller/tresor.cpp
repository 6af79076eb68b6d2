// The vault actions of the menu: unlock (with the remembered passphrase
// behind the owner's confirmation, or typed), lock and forget.

#include <functional>
#include <memory>

#include "controller/steuerung.h"
#include "status/abrufen.h"
#include "vault/passphrase.h"

namespace tw {
namespace {

constexpr std::string_view bestaetigungsGrund = "den Tresor von Taler Wacht zu entsperren";
constexpr std::string_view ersterHinweis = "Die Passphrase geht nur an das Programm auf diesem Rechner.";
constexpr std::string_view falscherHinweis = "Die Passphrase war nicht richtig. Noch einmal?";
constexpr std::string_view stummerHinweis =
    "Das Programm auf diesem Rechner hat nicht geantwortet. Noch einmal?";
constexpr std::string_view unlesbarHinweis =
    "Die gemerkte Passphrase ließ sich nicht lesen — bitte eingeben.";

// The keyring kept the passphrase it was asked to forget.
Hinweis nochGemerkt(bool beimEntfernen) {
  return {.nachricht = "Die gemerkte Passphrase ist noch im Schlüsselbund",
          .text = std::string("Der Schlüsselbund hat sie nicht gelöscht: er blieb gesperrt, hat nicht "
                              "geantwortet oder das Entsperren wurde abgebrochen. Den Eintrag „Taler Wacht — "
                              "Tresor“ kannst Du auch in Deiner Passwortverwaltung löschen.") +
                  (beimEntfernen ? "\n\nAlles andere wird jetzt entfernt." : ""),
          .knoepfe = {"OK"}};
}

struct Ergebnis {
  bool ok = false;
  bool beantwortet = false;  // some page gave an HTTP answer
};

// Every page gets the passphrase, also after one has taken it.
Ergebnis senden(const std::vector<Url>& seiten, const Geheimnis& passphrase) {
  Ergebnis e;
  const Geheimnis koerper = formular("passphrase", passphrase);
  for (const auto& seite : seiten) {
    const auto status = abrufen(seite.mitKomponente("entsperren"), koerper).status;
    e.ok = e.ok || status == 200;
    e.beantwortet = e.beantwortet || status != 0;
  }
  return e;
}

}  // namespace

void Steuerung::tresorEntsperren() {
  // As the menu showed it: a passphrase it could not see is typed.
  if (!merkstand_.gemerkt()) {
    passphraseErfragen(std::nullopt);
    return;
  }
  // The confirmation is a dialog too: one at a time.
  if (!wache_.frei()) return;
  wache_.belegen();
  o_.besitzer.besitzerBestaetigen(
      std::string(bestaetigungsGrund), [this](bool bestaetigt, std::shared_ptr<Besitzerkontext> kontext) {
        wache_.freigeben();
        if (!bestaetigt || endet_) return;
        // The read may show the keyring's own prompts and wait for them: off the main loop.
        o_.schleife.imHintergrund(
            Dringlichkeit::nutzer,
            [this, kontext, seiten = zustand_.seiten, &bund = o_.schluesselbund, &schleife = o_.schleife] {
              auto passphrase = passphraseLesen(bund, kontext.get());
              if (!passphrase) {
                schleife.posten([this] {
                  if (endet_) return;
                  merkstand_.neu();
                  passphraseErfragen(std::string(unlesbarHinweis));
                });
                return;
              }
              const Ergebnis e = senden(seiten, *passphrase);
              schleife.posten([this, e] { entsperrenBeantwortet(e.ok, e.beantwortet, true); });
            });
      });
}

void Steuerung::passphraseErfragen(std::optional<std::string> hinweis) {
  Hinweis dialog{.nachricht = "Tresor entsperren",
                 .text = hinweis.value_or(std::string(ersterHinweis)),
                 .knoepfe = {"Entsperren", "Abbrechen"},
                 .tresorBild = true,
                 .kaestchen = "Im Schlüsselbund merken — künftig Fingerabdruck oder Anmeldepasswort"};
  Eingabe eingabe = wache_.passphraseFragen(dialog);
  if (eingabe.knopf != ersterKnopf || eingabe.passphrase.empty()) return;
  entsperrenMit(std::move(eingabe.passphrase), eingabe.kaestchen);
}

void Steuerung::entsperrenMit(Geheimnis passphrase, bool merken) {
  // The pages of the moment of the answer, not of the moment the dialog opened.
  o_.schleife.imHintergrund(
      Dringlichkeit::nutzer, [this, seiten = zustand_.seiten, merken,
                              passphrase = std::make_shared<Geheimnis>(std::move(passphrase)),
                              &bund = o_.schluesselbund, &schleife = o_.schleife] {
        const Ergebnis e = senden(seiten, *passphrase);
        // Stored here rather than on the main loop: the keyring may ask to be unlocked
        // first.
        const bool gemerkt = e.ok && merken && passphraseMerken(bund, *passphrase);
        schleife.posten([this, e, merken, gemerkt] {
          if (e.ok && merken) {
            merkstand_.neu(gemerkt ? std::optional(true) : std::nullopt);
            if (!gemerkt && !endet_)
              wache_.zeigen(Hinweis{.nachricht = "Die Passphrase ließ sich nicht im Schlüsselbund merken.",
                                    .text = "Der Tresor ist entsperrt. Beim nächsten Entsperren fragt Taler "
                                            "Wacht wieder nach der Passphrase.",
                                    .knoepfe = {"OK"}});
          }
          entsperrenBeantwortet(e.ok, e.beantwortet, false);
        });
      });
}

void Steuerung::entsperrenBeantwortet(bool ok, bool beantwortet, bool gemerkte) {
  if (endet_) return;
  if (ok) {
    aktualisieren();
    return;
  }
  // Opened some other way meanwhile: there is nothing to ask again.
  if (zustand_.tresor == "offen") {
    aktualisieren();
    return;
  }
  // Only a page that answered can have refused the passphrase; silence says nothing about it.
  if (!beantwortet) {
    passphraseErfragen(std::string(stummerHinweis));
    return;
  }
  // Only the passphrase that was tried and refused is forgotten, never one remembered meanwhile.
  if (!gemerkte) return passphraseErfragen(std::string(falscherHinweis));
  vergessen(false, [this] { passphraseErfragen(std::string(falscherHinweis)); });
}

void Steuerung::tresorSperren() {
  o_.schleife.imHintergrund(Dringlichkeit::hilfsarbeit,
                            [this, seiten = zustand_.seiten, &schleife = o_.schleife] {
                              for (const auto& seite : seiten)
                                abrufen(seite.mitKomponente("sperren"), "POST");
                              schleife.posten([this] { aktualisieren(); });
                            });
}

void Steuerung::vergessen(bool beimEntfernen, std::function<void()> danach) {
  merkstand_.neu();
  // The keyring may ask to be unlocked first, and wait for the answer.
  o_.schleife.imHintergrund(Dringlichkeit::nutzer, [this, beimEntfernen, danach = std::move(danach),
                                                    &bund = o_.schluesselbund, &schleife = o_.schleife] {
    const bool weg = passphraseVergessen(bund);
    schleife.posten([this, weg, beimEntfernen, danach] {
      if (endet_) return;
      merkstand_.neu(weg ? std::optional(false) : std::nullopt);
      zeichnen();
      if (!weg) wache_.zeigen(nochGemerkt(beimEntfernen));
      if (danach) danach();
    });
  });
}

}  // namespace tw
