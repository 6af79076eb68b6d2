#include "lifecycle/signaturtor.h"

#include "app/konstanten.h"
#include "app/protokoll.h"

namespace tw {
namespace {

std::string letzteKomponente(const std::filesystem::path& pfad) {
  const auto ohneSchraegstrich = pfad.has_filename() ? pfad : pfad.parent_path();
  return ohneSchraegstrich.filename().string();
}

Signaturtor& programmTor() {
  static Signaturtor tor(codesignatur());
  return tor;
}

}  // namespace

std::string buendelAnforderung() {
  std::string text = "anchor apple generic and certificate leaf[subject.OU] = \"";
  text += teamKennung;
  text += "\" and identifier \"";
  text += programmKennung;
  text += '"';
  return text;
}

bool Signaturtor::selbstSigniert() {
  std::call_once(einmal_, [this] {
    const auto befund = codesignatur_.eigenenCodePruefen("anchor apple generic");
    selbstSigniert_ = befund.art == SignaturBefund::Art::gueltig;
    if (befund.art == SignaturBefund::Art::ungueltig)
      protokollieren("läuft unsigniert — Signaturprüfung der Bündel entfällt (Entwicklung)");
  });
  return selbstSigniert_;
}

bool Signaturtor::buendelVertrauenswuerdig(const std::filesystem::path& buendel) {
  if (!selbstSigniert()) return true;
  std::lock_guard lock(signaturSchloss_);
  const std::string schluessel = buendel.string();
  if (const auto alt = signaturUrteile_.find(schluessel);
      alt != signaturUrteile_.end() && alt->second.stand && alt->second.stand->unveraendert())
    return alt->second.ok;

  // Taken before the check: a change while it runs shows at the next call.
  // A walk that missed an entry keeps no reusable verdict.
  auto stand = Buendelstand::erfassen(buendel);
  const auto befund = codesignatur_.buendelPruefen(buendel, buendelAnforderung());
  const bool ok = befund.art == SignaturBefund::Art::gueltig;
  if (befund.art == SignaturBefund::Art::ungueltig)
    protokollieren("Bündel " + letzteKomponente(buendel) + " nicht mit unserer Signatur — nicht gestartet (" +
                   befund.grund.value_or("unbekannt") + ")");
  signaturUrteile_.insert_or_assign(schluessel, Urteil{std::move(stand), ok});
  return ok;
}

bool selbstSigniert() { return programmTor().selbstSigniert(); }

bool buendelVertrauenswuerdig(const std::filesystem::path& buendel) {
  return programmTor().buendelVertrauenswuerdig(buendel);
}

}  // namespace tw
