#pragma once
// Which addresses belong to this computer's local servers.

#include <string_view>
#include <vector>

#include "status/url.h"

namespace tw {

// http or https to one of the loopback hosts, compared exactly.
bool loopback(const Url& url);

// A loopback address whose port (80 when none is written) is the explicit
// port of one of the allowed page addresses.
bool lokaleSeite(const Url& url, const std::vector<Url>& erlaubte);

// A page key that the servers and the app both accept: not empty, and only
// characters a URL path carries unescaped, "/" excepted, and not "." or "..",
// so that the key stays one path segment.
bool seitenSchluessel(std::string_view schluessel);

}  // namespace tw
