#include "platform/besitzerbestaetigung.h"

#include "test.h"

namespace tw {
namespace {

TEST(Besitzerbestaetigung, PamErgebnisseEntscheidenUeberVersuchUndAusgang) {
  using E = PamErgebnis;
  const BesitzerAusgang ja{.bestaetigt = true}, zu{},
      nicht = nichtMoeglich(),
      dreimal{.warum = "Das Passwort war dreimal nicht richtig. Der Tresor bleibt gesperrt."};
  // anmeldung, konto, gefragt, versuch, abgebrochen: another try, or how it ends
  const std::tuple<E, E, bool, int, bool, bool, BesitzerAusgang> faelle[] = {
      {E::erfolg, E::erfolg, true, 1, false, false, ja},
      {E::falsch, E::falsch, true, 2, false, true, nicht},
      {E::falsch, E::falsch, true, 3, false, false, dreimal},
      {E::falsch, E::falsch, false, 1, false, false, nicht},  // refused unasked: no repeat
      {E::falsch, E::falsch, false, 3, false, false, nicht},
      {E::falsch, E::falsch, true, 1, true, false, zu},  // cancelled: closes at once
      {E::erfolg, E::erfolg, true, 1, true, false, zu},
      {E::erfolg, E::falsch, true, 3, false, false, nicht},  // the account check refused
      {E::anderes, E::anderes, true, 1, false, false, nicht},
  };
  for (const auto& [anmeldung, konto, gefragt, versuch, abgebrochen, nochmal, ausgang] : faelle) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(anmeldung) << " im Versuch " << versuch);
    EXPECT_EQ(nochEinVersuch(anmeldung, gefragt, versuch, abgebrochen), nochmal);
    EXPECT_EQ(besitzerAusgang(anmeldung, konto, gefragt, versuch, abgebrochen), ausgang);
  }
}

TEST(Besitzerbestaetigung, PamNachrichtenUndFeldname) {
  using N = PamNachricht;
  using U = PamUmgang;
  // art, a place for the reply, cancelled
  const std::tuple<N, bool, bool, U> faelle[] = {
      {N::frageVerdeckt, true, false, U::fragen},    {N::frageSichtbar, true, false, U::fragen},
      {N::frageVerdeckt, false, false, U::ablehnen}, {N::notiz, false, false, U::zeigen},
      {N::unbekannt, true, false, U::ablehnen},      {N::notiz, true, true, U::ablehnen}};
  for (const auto& [art, platz, abgebrochen, umgang] : faelle)
    EXPECT_EQ(umgangMit(art, platz, abgebrochen), umgang) << static_cast<int>(art);
  EXPECT_EQ(feldName("Password: "), "Password");
}

}  // namespace
}  // namespace tw
