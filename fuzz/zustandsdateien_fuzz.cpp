// The servers' small state files as the status collection takes them: read
// with lesen(), then used as pid, port, page key, token, address and as the
// port from the environment, each the way the collection builds on it.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/dateien.h"
#include "app/text.h"
#include "pruefen.h"
#include "status/seitenregeln.h"
#include "status/url.h"
#include "status/zustand_json.h"
#include "tempdatei.h"

namespace {

using namespace tw;

// A second reading of "optional sign, then ASCII digits, no overflow" to hold
// the parser against.
template <typename T>
std::optional<T> zahlNachgerechnet(std::string_view text) {
  const bool minus = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  __int128 wert = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    wert = wert * 10 + (c - '0');
    if (wert > (static_cast<__int128>(1) << 64)) return std::nullopt;
  }
  if (minus) wert = -wert;
  if (wert < std::numeric_limits<T>::min() || wert > std::numeric_limits<T>::max()) return std::nullopt;
  return static_cast<T>(wert);
}

bool schlichtLokal(const Url& url) { return loopback(url) && url.schlicht(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
  static const Tempdatei datei("zustand");
  const std::string_view roh(reinterpret_cast<const char*>(daten), groesse);
  const auto text = lesen(datei.schreiben(roh));
  // Inputs stay below the size bound, so exactly the valid UTF-8 files are read.
  TW_PRUEFEN(text.has_value() == gueltigesUtf8(roh));
  if (!text) return 0;
  TW_PRUEFEN(getrimmt(*text) == *text);

  // tunnel.pid, and the pid in an instance's file name.
  TW_PRUEFEN(ganzzahl32(*text) == zahlNachgerechnet<std::int32_t>(*text));

  // instanzen/<pid>.port: the page address is built from the number.
  const auto port = ganzzahl64(*text);
  TW_PRUEFEN(port == zahlNachgerechnet<std::int64_t>(*text));
  if (port) {
    const auto url = Url::aus("http://127.0.0.1:" + std::to_string(*port) + "/t/k/");
    if (url && schlichtLokal(*url)) TW_PRUEFEN(url->host() == "127.0.0.1" && url->port() == *port);
  }

  // seite.schluessel: an accepted key stays one path segment of a local page.
  if (seitenSchluessel(*text)) {
    const std::string pfad = "/t/" + *text + "/";
    const auto url = Url::aus("http://127.0.0.1:5500" + pfad);
    TW_PRUEFEN(url && schlichtLokal(*url) && url->pfad() == pfad);
    TW_PRUEFEN(url->mitKomponente("zustand").pfad() == pfad + "zustand");
  }

  // token, and GELD_BOTE_PORT verbatim: whatever they hold, a page that
  // passes the check is on 127.0.0.1.
  for (const std::string& adresse :
       {"http://127.0.0.1:5500/t/" + *text + "/", "http://127.0.0.1:" + *text + "/t/k/"}) {
    const auto url = Url::aus(adresse);
    if (url && schlichtLokal(*url)) TW_PRUEFEN(url->host() == "127.0.0.1");
  }

  // tunnel.adresse goes out as it is in the status command's JSON; the
  // strict dump throws on anything that is not UTF-8.
  Zustand z;
  z.adresse = *text;
  TW_PRUEFEN(nlohmann::json::parse(zustandAlsJson(z).dump())["adresse"] == *text);
  return 0;
}
