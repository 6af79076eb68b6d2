#pragma once
// The keyring on the Secret Service (gnome-keyring, KeePassXC, KWallet's
// bridge) through libsecret. The login place is the default collection;
// there is no protected place on Linux.

#include <chrono>
#include <memory>

#include "platform/schluesselbund.h"

namespace tw {

class LibsecretSchluesselbund final : public Schluesselbund {
 public:
  // `grenze` bounds every call that may not ask the user; `nachfrageGrenze`
  // the others, which may wait for a person answering the service's prompt.
  explicit LibsecretSchluesselbund(std::chrono::milliseconds grenze = std::chrono::milliseconds(250),
                                   std::chrono::milliseconds nachfrageGrenze = std::chrono::minutes(2));
  bool zugriffsregelErstellen(std::optional<std::string>& fehler) override;
  int hinzufuegen(const Schluesselbundabfrage& abfrage, std::string_view label,
                  const Geheimnis& daten) override;
  int suchen(const Schluesselbundabfrage& abfrage, const Suche& suche, Geheimnis* daten) override;
  int aktualisieren(const Schluesselbundabfrage& abfrage, const Geheimnis& daten) override;
  int loeschen(const Schluesselbundabfrage& abfrage) override;
  void abbrechen() override;

 private:
  // The thread that owns the bus connection and the Secret Service proxy;
  // every call runs there and the caller waits for it, bounded.
  struct Faden;
  std::shared_ptr<Faden> faden_;
};

}  // namespace tw
