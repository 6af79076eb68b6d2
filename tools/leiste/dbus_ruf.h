#pragma once
// Bounded method calls on the session bus, with owned replies.

#include <gio/gio.h>

#include <memory>
#include <string>

namespace tw::leiste {

struct VarianteFreigeben {
  void operator()(GVariant* wert) const { g_variant_unref(wert); }
};
using Variante = std::unique_ptr<GVariant, VarianteFreigeben>;

// Long enough for a busy program, short enough that a hung one cannot stall the host.
constexpr int rufFristMs = 3000;

// Calls the method and returns the reply if it has the type `antworttyp`;
// otherwise null and `fehler` says why. A floating `parameter` is consumed.
Variante rufen(const std::string& bus, const std::string& pfad, const char* schnittstelle,
               const char* methode, GVariant* parameter, const char* antworttyp, std::string& fehler);

}  // namespace tw::leiste
