// taler-wacht-signieren: the maker's tool to seal and sign a bundle, and to
// check one the way the menu app does.
//
//   taler-wacht-signieren signieren <bundle> --schluessel <key.pem> --zertifikat <cert.pem>
//                         [--kette <intermediates.pem>] [--kennung <identifier>]
//   taler-wacht-signieren pruefen <bundle> [--anker <root.pem>] [--anforderung <text>]
//
// The key must be an unencrypted PEM file. Exit status: 0 signed or valid,
// 1 failed or refused, 2 wrong use.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "lifecycle/signaturtor.h"
#include "platform/linux/linux_buendel.h"
#include "platform/linux/signatur/openssl_codesignatur.h"

namespace {

constexpr const char* gebrauch =
    "Aufruf: taler-wacht-signieren signieren <Bündel> --schluessel <PEM> --zertifikat <PEM> [--kette <PEM>] "
    "[--kennung <Kennung>]\n"
    "        taler-wacht-signieren pruefen <Bündel> [--anker <PEM>] [--anforderung <Text>]\n";

int falscherAufruf() {
  std::cerr << gebrauch;
  return 2;
}

std::optional<std::string> dateiLesen(const std::string& pfad) {
  std::ifstream ein(pfad, std::ios::binary);
  if (!ein) return std::nullopt;
  std::ostringstream text;
  text << ein.rdbuf();
  return text.str();
}

int signieren(const std::string& buendel, std::map<std::string, std::string>& optionen) {
  if (!optionen.count("--schluessel") || !optionen.count("--zertifikat")) return falscherAufruf();
  const auto schluessel = dateiLesen(optionen["--schluessel"]);
  const auto zertifikat = dateiLesen(optionen["--zertifikat"]);
  const auto kette = optionen.count("--kette") ? dateiLesen(optionen["--kette"]) : std::string();
  if (!schluessel || !zertifikat || !kette) {
    std::cerr << "Schlüssel, Zertifikat oder Kette nicht lesbar.\n";
    return 1;
  }
  std::string kennung;
  if (optionen.count("--kennung")) {
    kennung = optionen["--kennung"];
  } else {
    const auto info = tw::infoListeLesen(std::filesystem::path(buendel) / "Contents" / "Info.plist");
    const auto gefunden = info.find("CFBundleIdentifier");
    if (gefunden == info.end()) {
      std::cerr << "Keine Kennung: weder --kennung noch CFBundleIdentifier in Contents/Info.plist.\n";
      return 1;
    }
    kennung = gefunden->second;
  }
  if (const auto fehler = tw::buendelSignieren(buendel, kennung, *schluessel, *zertifikat, *kette)) {
    std::cerr << "Nicht signiert: " << *fehler << "\n";
    return 1;
  }
  std::cout << "signiert: " << buendel << " (Kennung " << kennung << ")\n";
  return 0;
}

int pruefen(const std::string& buendel, std::map<std::string, std::string>& optionen) {
  std::string anker(tw::herstellerAnker());
  if (optionen.count("--anker")) {
    const auto gelesen = dateiLesen(optionen["--anker"]);
    if (!gelesen || !tw::zertifikatLesen(*gelesen)) {
      std::cerr << "Stammzertifikat nicht lesbar.\n";
      return 1;
    }
    anker = *gelesen;
  }
  const std::string anforderung =
      optionen.count("--anforderung") ? optionen["--anforderung"] : tw::buendelAnforderung();
  const auto befund = tw::OpenSSLCodesignatur(anker, std::nullopt).buendelPruefen(buendel, anforderung);
  switch (befund.art) {
    case tw::SignaturBefund::Art::gueltig:
      std::cout << "gültig\n";
      return 0;
    case tw::SignaturBefund::Art::keinCode:
      std::cout << "ungültig: Kein Bündel unter " << buendel << ".\n";
      return 1;
    case tw::SignaturBefund::Art::keineAnforderung:
      std::cerr << "Die Anforderung ist nicht lesbar: " << anforderung << "\n";
      return 2;
    case tw::SignaturBefund::Art::ungueltig:
      break;
  }
  std::cout << "ungültig: " << befund.grund.value_or("unbekannt") << "\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return falscherAufruf();
  const std::string befehl = argv[1];
  const std::string buendel = argv[2];
  std::map<std::string, std::string> optionen;
  for (int i = 3; i < argc; i += 2) {
    const std::string name = argv[i];
    const bool bekannt = name == "--schluessel" || name == "--zertifikat" || name == "--kette" ||
                         name == "--kennung" || name == "--anker" || name == "--anforderung";
    if (!bekannt || i + 1 >= argc) return falscherAufruf();
    optionen[name] = argv[i + 1];
  }
  if (befehl == "signieren") return signieren(buendel, optionen);
  if (befehl == "pruefen") return pruefen(buendel, optionen);
  return falscherAufruf();
}
