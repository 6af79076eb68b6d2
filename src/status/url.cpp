#include "status/url.h"

#include <curl/curl.h>

#include <charconv>
#include <memory>

#include "app/text.h"

namespace tw {
namespace {

struct HandleLoeschen {
  void operator()(CURLU* h) const { curl_url_cleanup(h); }
};
using Handle = std::unique_ptr<CURLU, HandleLoeschen>;

std::optional<std::string> teil(CURLU* h, CURLUPart welcher) {
  char* wert = nullptr;
  if (curl_url_get(h, welcher, &wert, 0) != CURLUE_OK || wert == nullptr) return std::nullopt;
  std::string ergebnis(wert);
  curl_free(wert);
  return ergebnis;
}

// Everything a path segment may hold unescaped; "/" is not among it, so a
// name always stays one component.
bool segmentZeichen(unsigned char c) {
  return unreserviert(c) ||
         std::string_view("!$&'()*+,;=:@").find(static_cast<char>(c)) != std::string_view::npos;
}

Handle handleFuer(const std::string& text) {
  Handle h(curl_url());
  if (h && curl_url_set(h.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
    h.reset();
  return h;
}

}  // namespace

std::optional<Url> Url::aus(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  Handle h = handleFuer(std::string(text));
  if (!h) return std::nullopt;
  Url url;
  auto ganz = teil(h.get(), CURLUPART_URL);
  auto schema = teil(h.get(), CURLUPART_SCHEME);
  if (!ganz || !schema) return std::nullopt;
  url.text_ = *ganz;
  url.schema_ = *schema;
  url.host_ = teil(h.get(), CURLUPART_HOST).value_or("");
  if (url.host_.size() >= 2 && url.host_.front() == '[' && url.host_.back() == ']')
    url.host_ = url.host_.substr(1, url.host_.size() - 2);
  if (auto port = teil(h.get(), CURLUPART_PORT)) {
    std::int64_t zahl = 0;
    auto [ende, fehler] = std::from_chars(port->data(), port->data() + port->size(), zahl);
    if (fehler == std::errc() && ende == port->data() + port->size()) url.port_ = zahl;
  }
  url.pfad_ = teil(h.get(), CURLUPART_PATH).value_or("");
  // A browser ends the host at a backslash and keeps an IPv6 zone that curl drops: such an address
  // would name a different server to the web view than to us.
  for (const auto nutzer : {CURLUPART_USER, CURLUPART_PASSWORD})
    if (teil(h.get(), nutzer).value_or("").find('\\') != std::string::npos) return std::nullopt;
  if (teil(h.get(), CURLUPART_ZONEID)) return std::nullopt;
  for (const auto zusatz :
       {CURLUPART_USER, CURLUPART_PASSWORD, CURLUPART_OPTIONS, CURLUPART_QUERY, CURLUPART_FRAGMENT})
    if (teil(h.get(), zusatz)) url.schlicht_ = false;
  return url;
}

std::string Url::letzteKomponente() const {
  std::string_view p = pfad_;
  while (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
  const auto schnitt = p.rfind('/');
  return std::string(schnitt == std::string_view::npos ? p : p.substr(schnitt + 1));
}

Url Url::mitTeil(int welcher, const std::string& wert, unsigned int schalter) const {
  Handle h = handleFuer(text_);
  if (!h || curl_url_set(h.get(), static_cast<CURLUPart>(welcher), wert.c_str(), schalter) != CURLUE_OK)
    return *this;
  auto ganz = teil(h.get(), CURLUPART_URL);
  return ganz ? aus(*ganz).value_or(*this) : *this;
}

Url Url::mitKomponente(std::string_view name) const {
  std::string pfad = pfad_.empty() ? "/" : pfad_;
  if (pfad.back() != '/') pfad += '/';
  return mitTeil(CURLUPART_PATH, pfad + prozentKodiert(name, segmentZeichen), 0);
}

Url Url::mitFragment(std::string_view fragment) const {
  return mitTeil(CURLUPART_FRAGMENT, std::string(fragment), CURLU_URLENCODE);
}

std::string schemaUndHost(std::string_view adresse) {
  const auto url = Url::aus(adresse);
  if (!url) return "?";
  return url->schema() + "://" + url->host();
}

}  // namespace tw
