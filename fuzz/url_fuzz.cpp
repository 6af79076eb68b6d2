// Addresses from outside: navigations in the setup window, the "seite.oeffnen"
// request file, addresses built from server files. Input: the address, then
// optionally a line end and a path component / fragment to add.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "pruefen.h"
#include "status/seitenregeln.h"
#include "status/url.h"

namespace {

using namespace tw;

bool gleicherServer(const Url& a, const Url& b) {
  return a.schema() == b.schema() && a.host() == b.host() && a.port() == b.port();
}

// What another URL parser (the web view's) sees as the host and port: the
// text between "://" and the first "/", "?", "#" or "\", after the last "@".
std::string_view autoritaet(std::string_view text) {
  const auto anfang = text.find("://");
  if (anfang == std::string_view::npos) return {};
  text.remove_prefix(anfang + 3);
  text = text.substr(0, text.find_first_of("/?#\\"));
  const auto at = text.rfind('@');
  return at == std::string_view::npos ? text : text.substr(at + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
  std::string_view text(reinterpret_cast<const char*>(daten), groesse);
  std::string_view zusatz;
  if (const auto zeilenende = text.find('\n'); zeilenende != std::string_view::npos) {
    zusatz = text.substr(zeilenende + 1);
    text = text.substr(0, zeilenende);
  }
  const auto url = Url::aus(text);
  if (!url) return 0;
  (void)url->letzteKomponente();
  if (!loopback(*url)) return 0;
  // Adding a part, and every request, parses the text again: a local
  // address must read back as itself.
  const auto wieder = Url::aus(url->text());
  TW_PRUEFEN(wieder && wieder->text() == url->text());

  // Requests go to a component of a local page: same server, one more segment.
  const Url zustand = url->mitKomponente("zustand");
  TW_PRUEFEN(gleicherServer(zustand, *url) && zustand.letzteKomponente() == "zustand");
  TW_PRUEFEN(gleicherServer(url->mitKomponente(zusatz), *url));
  const Url mitFragment = url->mitFragment(zusatz);
  TW_PRUEFEN(gleicherServer(mitFragment, *url) && mitFragment.pfad() == url->pfad());

  // A page let into the window must name that host and port to any reader.
  static const std::vector<Url> erlaubte = {*Url::aus("http://127.0.0.1:5500/t/k/"),
                                            *Url::aus("http://localhost:8123/")};
  if (lokaleSeite(*url, erlaubte)) {
    const std::string host =
        url->host().find(':') == std::string::npos ? url->host() : "[" + url->host() + "]";
    const std::string port = url->port() ? ":" + std::to_string(*url->port()) : "";
    TW_PRUEFEN(autoritaet(url->text()) == host + port);
    TW_PRUEFEN(url->port().value_or(80) == 5500 || url->port().value_or(80) == 8123);
  }
  return 0;
}
