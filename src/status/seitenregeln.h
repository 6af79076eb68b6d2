#pragma once
// Which addresses belong to this computer's local servers.

#include <vector>

#include "status/url.h"

namespace tw {

// http or https to one of the loopback hosts, compared exactly.
bool loopback(const Url& url);

// A loopback address whose port (80 when none is written) is the explicit
// port of one of the allowed page addresses.
bool lokaleSeite(const Url& url, const std::vector<Url>& erlaubte);

}  // namespace tw
