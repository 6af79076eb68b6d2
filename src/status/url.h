#pragma once
// An absolute URL as libcurl's RFC 3986 parser reads it. A plain value: the
// parts are copied out when it is made, so copies share nothing.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

class Url {
 public:
  // A valid absolute URL (with a scheme), or nothing.
  static std::optional<Url> aus(std::string_view text);

  const std::string& schema() const { return schema_; }       // as written
  const std::string& host() const { return host_; }           // IPv6 without brackets, case kept
  std::optional<std::int64_t> port() const { return port_; }  // only when written out
  const std::string& pfad() const { return pfad_; }
  std::string letzteKomponente() const;
  const std::string& text() const { return text_; }
  // No user, password, query or fragment: nothing beside scheme, host, port and path.
  bool schlicht() const { return schlicht_; }

  // The path with one more component (percent-encoded as needed), query kept.
  Url mitKomponente(std::string_view name) const;
  Url mitFragment(std::string_view fragment) const;

  bool operator==(const Url& andere) const { return text_ == andere.text_; }

 private:
  Url() = default;
  // A copy with one part replaced (a libcurl URL part and its flags).
  Url mitTeil(int welcher, const std::string& wert, unsigned int schalter) const;

  std::string text_;
  std::string schema_;
  std::string host_;
  std::optional<std::int64_t> port_;
  std::string pfad_;
  bool schlicht_ = true;
};

// What a log line may tell of an outside address: scheme and host, no path
// or query that could carry a token; "?" when it does not parse.
std::string schemaUndHost(std::string_view adresse);

}  // namespace tw
