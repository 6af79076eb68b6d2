#pragma once
// The program's only HTTP client: synchronous requests to local server pages.
// Each call blocks for at most about five seconds; never call it on the main loop.
// Addresses that are not on a loopback host are refused with a log line.

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "status/url.h"
#include "vault/geheimnis.h"

namespace tw {

using Felder = std::map<std::string, std::string>;

struct Antwort {
  std::int64_t status = 0;             // 0 when no HTTP answer came
  std::optional<nlohmann::json> json;  // only a JSON object, whatever the status
};

// Bodies larger than this are dropped unread and count as no JSON object.
inline constexpr std::size_t groessteAntwort = 256 << 10;

Antwort abrufen(const Url& url, std::string_view methode = "GET", const Felder& felder = {});
// A POST whose form body is already encoded, kept as a secret (the passphrase).
Antwort abrufen(const Url& url, const Geheimnis& formular);
// The form body "name=value", encoded, for the call above.
Geheimnis formular(std::string_view name, const Geheimnis& wert);

// Requests (without a form body) to all `urls` at once, the answers in list
// order: as long as one request, however many pages hang.
std::vector<Antwort> alleAbrufen(const std::vector<Url>& urls, std::string_view methode = "GET");

// Form encoding of one value: ASCII letters, digits and "-._~" stay, every
// other byte becomes an upper-case percent-escape.
std::string formKodiert(std::string_view wert);

}  // namespace tw
