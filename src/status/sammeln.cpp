#include "status/sammeln.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <vector>

#include "app/dateien.h"
#include "app/konstanten.h"
#include "app/protokoll.h"
#include "app/text.h"
#include "lifecycle/fassung.h"
#include "status/abrufen.h"
#include "status/seitenregeln.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

std::optional<std::int32_t> programmPid(const Sammelquellen& q) {
  const auto text = lesen(q.zustandOrdner / "tunnel.pid");
  if (!text) return std::nullopt;
  const auto pid = ganzzahl32(*text);
  if (!pid || *pid < 1 || !q.lebt(*pid)) return std::nullopt;
  return pid;
}

// Only plain addresses on this computer are asked: a port or token that
// smuggles "@", "?" or "#" into the text would point the request, and with
// it the passphrase, somewhere else.
bool schlichtLokal(const Url& url) { return loopback(url) && url.schlicht(); }

std::optional<Url> programmSeite(const Sammelquellen& q) {
  const auto token = lesen(q.konfigOrdner / "token");
  if (!token || token->empty()) return std::nullopt;
  const std::string port = q.port.value_or(std::string(vorgabePort));
  auto seite = Url::aus("http://127.0.0.1:" + port + "/t/" + *token + "/");
  if (!seite || schlichtLokal(*seite)) return seite;
  static std::atomic_flag gemeldet;
  if (!gemeldet.test_and_set())
    protokollieren(
        "die Adresse der Programmseite führt nicht zu einer Seite auf diesem Rechner — übergangen "
        "(GELD_BOTE_PORT und token prüfen)");
  return std::nullopt;
}

std::string instanzPfad(const Sammelquellen& q) {
  const auto schluessel = lesen(q.zustandOrdner / "seite.schluessel");
  if (!schluessel || !seitenSchluessel(*schluessel)) return "/";
  return "/t/" + *schluessel + "/";
}

std::vector<std::string> instanzNamen(const fs::path& ordner) {
  std::vector<std::string> namen;
  std::error_code fehler;
  for (fs::directory_iterator it(ordner, fehler), ende; !fehler && it != ende; it.increment(fehler))
    namen.push_back(it->path().filename().string());
  std::sort(namen.begin(), namen.end());
  return namen;
}

void instanzenSammeln(const Sammelquellen& q, Zustand& z) {
  const std::string pfad = instanzPfad(q);
  const fs::path ordner = q.zustandOrdner / "instanzen";
  constexpr std::string_view endung = ".port";
  for (const std::string& name : instanzNamen(ordner)) {
    if (!name.ends_with(endung)) continue;
    const auto pid = ganzzahl32(std::string_view(name).substr(0, name.size() - endung.size()));
    if (!pid) continue;
    if (*pid < 1 || !q.lebt(*pid)) {
      std::error_code egal;
      fs::remove(ordner / name, egal);
      continue;
    }
    if (!q.istUnser(*pid)) continue;
    const auto text = lesen(ordner / name);
    const auto port = text ? ganzzahl64(*text) : std::nullopt;
    if (!port) continue;
    const auto url = Url::aus("http://127.0.0.1:" + std::to_string(*port) + pfad);
    if (!url || !schlichtLokal(*url)) continue;
    z.claudePorts.push_back(*port);
    z.seiten.push_back(*url);
  }
}

std::optional<std::int64_t> ganzeZahl(const nlohmann::json& wert) {
  if (wert.is_number_unsigned()) {
    const auto zahl = wert.get<std::uint64_t>();
    if (zahl > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
    return static_cast<std::int64_t>(zahl);
  }
  if (wert.is_number_integer()) return wert.get<std::int64_t>();
  return std::nullopt;
}

struct Tresorlage {
  bool offen = false, zu = false, leer = false;
  std::optional<std::int64_t> minuten;

  void melden(const nlohmann::json& antwort) {
    const auto it = antwort.find("tresor");
    if (it == antwort.end() || !it->is_string()) return;
    const auto& tresor = it->get_ref<const std::string&>();
    if (tresor == "offen") {
      offen = true;
      const auto rest = antwort.find("restminuten");
      if (rest == antwort.end()) return;
      if (const auto zahl = ganzeZahl(*rest)) minuten = minuten ? std::min(*minuten, *zahl) : *zahl;
    } else if (tresor == "zu") {
      zu = true;
    } else if (tresor == "leer") {
      leer = true;
    }
  }

  void eintragen(Zustand& z) const {
    if (offen) {
      z.tresor = "offen";
      z.restminuten = minuten;
    } else if (zu) {
      z.tresor = "zu";
    } else if (leer) {
      z.tresor = "leer";
    } else {
      z.tresor = "unbekannt";
    }
  }
};

void seitenFragen(const Sammelquellen& q, Zustand& z) {
  std::vector<Url> fragen;
  for (const Url& seite : z.seiten) fragen.push_back(seite.mitKomponente("zustand"));
  const std::vector<Antwort> antworten = alleAbrufen(fragen);
  Tresorlage lage;
  for (std::size_t i = 0; i < z.seiten.size(); ++i) {
    const Url& seite = z.seiten[i];
    // The program's page is the first one whenever the program runs.
    const bool istProgramm = i == 0 && z.programmLaeuft;
    const auto& json = antworten[i].json;
    if (!json) {
      if (!istProgramm && z.fremdeFassung.empty()) z.fremdeFassung = "älter";
      continue;
    }
    const auto it = json->find("fassung");
    const std::string fassung = it != json->end() && it->is_string() ? it->get<std::string>() : "";
    if (!q.eigeneFassung.empty() && fassung != q.eigeneFassung) {
      if (istProgramm) {
        (fassungNiedriger(q.eigeneFassung, fassung) ? z.selbstVeraltet : z.programmVeraltet) = true;
      } else {
        z.fremdeFassung = fassung.empty() ? "älter" : fassung;
      }
      continue;
    }
    z.eigeneSeiten.push_back(seite);
    lage.melden(*json);
  }
  lage.eintragen(z);
}

}  // namespace

Sammelquellen programmQuellen() {
  Sammelquellen q;
  q.zustandOrdner = zustandOrdner();
  q.konfigOrdner = konfigOrdner();
  if (const auto it = umgebung().find("GELD_BOTE_PORT"); it != umgebung().end()) q.port = it->second;
  q.eigeneFassung = eigeneFassung();
  return q;
}

Zustand sammeln(const Sammelquellen& q) {
  Zustand z;
  if (const auto pid = programmPid(q)) {
    z.programmLaeuft = true;
    z.programmPid = *pid;
  }
  z.adresse = lesen(q.zustandOrdner / "tunnel.adresse").value_or("");
  if (z.programmLaeuft)
    if (auto seite = programmSeite(q)) z.seiten.push_back(std::move(*seite));
  instanzenSammeln(q, z);
  seitenFragen(q, z);
  return z;
}

Zustand sammeln() { return sammeln(programmQuellen()); }

}  // namespace tw
