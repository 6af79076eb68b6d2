#pragma once
// A snapshot as one JSON object: every field, plus "aktiv".

#include <nlohmann/json.hpp>

#include "status/zustand.h"

namespace tw {

nlohmann::ordered_json zustandAlsJson(const Zustand& z);

}  // namespace tw
