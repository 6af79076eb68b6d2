#include "status/seitenregeln.h"

#include <algorithm>

#include "app/konstanten.h"
#include "app/text.h"

namespace tw {

bool loopback(const Url& url) {
  std::string schema = url.schema();
  std::transform(schema.begin(), schema.end(), schema.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  if (schema != "http" && schema != "https") return false;
  return std::find(loopbackHosts.begin(), loopbackHosts.end(), url.host()) != loopbackHosts.end();
}

bool lokaleSeite(const Url& url, const std::vector<Url>& erlaubte) {
  if (!loopback(url)) return false;
  const std::int64_t port = url.port().value_or(80);
  return std::any_of(erlaubte.begin(), erlaubte.end(), [port](const Url& e) { return e.port() == port; });
}

bool seitenSchluessel(std::string_view schluessel) {
  // "." and ".." are dot segments: "/t/../" is "/" by the time it reaches the server.
  if (schluessel == "." || schluessel == "..") return false;
  return !schluessel.empty() && std::all_of(schluessel.begin(), schluessel.end(), [](unsigned char c) {
    return unreserviert(c) ||
           std::string_view("!$&'()*+,:=@").find(static_cast<char>(c)) != std::string_view::npos;
  });
}

}  // namespace tw
