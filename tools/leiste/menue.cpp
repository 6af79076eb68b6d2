#include "menue.h"

#include <ctime>

#include "dbus_ruf.h"

namespace tw::leiste {
namespace {

constexpr const char* dbusmenu = "com.canonical.dbusmenu";
constexpr const char* knotentyp = "(ia{sv}av)";

Variante wert(GVariant* eigenschaften, const char* name, const char* typ) {
  return Variante(g_variant_lookup_value(eigenschaften, name, G_VARIANT_TYPE(typ)));
}

std::string text(GVariant* eigenschaften, const char* name) {
  const auto w = wert(eigenschaften, name, "s");
  return w ? g_variant_get_string(w.get(), nullptr) : "";
}

bool wahr(GVariant* eigenschaften, const char* name) {
  const auto w = wert(eigenschaften, name, "b");
  return !w || g_variant_get_boolean(w.get());  // absent means true
}

// The first key combination, e.g. [["Control", "q"]] -> "Control+q".
std::string kuerzel(GVariant* eigenschaften) {
  const auto w = wert(eigenschaften, "shortcut", "aas");
  if (!w || g_variant_n_children(w.get()) == 0) return "";
  const Variante erstes(g_variant_get_child_value(w.get(), 0));
  std::string ergebnis;
  const gchar** teile = g_variant_get_strv(erstes.get(), nullptr);
  for (const gchar** t = teile; *t; ++t) ergebnis += (ergebnis.empty() ? "" : "+") + std::string(*t);
  g_free(teile);
  return ergebnis;
}

Zeile zeileAus(GVariant* knoten) {
  Zeile z;
  g_variant_get_child(knoten, 0, "i", &z.id);
  const Variante e(g_variant_get_child_value(knoten, 1));
  z.trenner = text(e.get(), "type") == "separator";
  z.titel = ohneMnemonik(text(e.get(), "label"));
  z.aktiv = wahr(e.get(), "enabled");
  z.sichtbar = wahr(e.get(), "visible");
  if (const auto art = text(e.get(), "toggle-type"); art == "checkmark" || art == "radio") {
    const auto zustand = wert(e.get(), "toggle-state", "i");
    z.haken = zustand && g_variant_get_int32(zustand.get()) == 1 ? Haken::an : Haken::aus;
  }
  z.kuerzel = kuerzel(e.get());
  return z;
}

}  // namespace

std::string ohneMnemonik(std::string_view titel) {
  std::string ergebnis;
  for (std::size_t i = 0; i < titel.size(); ++i) {
    if (titel[i] != '_') {
      ergebnis += titel[i];
    } else if (i + 1 < titel.size() && titel[i + 1] == '_') {
      ergebnis += '_';
      ++i;
    }
  }
  return ergebnis;
}

Menue menueLesen(const std::string& bus, const std::string& menuePfad) {
  Menue menue;
  const auto antwort =
      rufen(bus, menuePfad, dbusmenu, "GetLayout",
            g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)), "(u(ia{sv}av))", menue.fehler);
  if (!antwort) return menue;
  const Variante wurzel(g_variant_get_child_value(antwort.get(), 1));
  const Variante kinder(g_variant_get_child_value(wurzel.get(), 2));
  for (gsize i = 0; i < g_variant_n_children(kinder.get()); ++i) {
    const Variante huelle(g_variant_get_child_value(kinder.get(), i));
    const Variante knoten(g_variant_get_variant(huelle.get()));
    if (!g_variant_is_of_type(knoten.get(), G_VARIANT_TYPE(knotentyp))) {
      menue.fehler = "GetLayout bei " + bus + menuePfad + ": Zeile " + std::to_string(i) + " hat den Typ " +
                     g_variant_get_type_string(knoten.get()) + " statt " + knotentyp;
      menue.zeilen.clear();
      return menue;
    }
    menue.zeilen.push_back(zeileAus(knoten.get()));
  }
  return menue;
}

std::string klicken(const std::string& bus, const std::string& menuePfad, std::int32_t id) {
  std::string fehler;
  const auto zeit = static_cast<guint32>(std::time(nullptr));
  rufen(bus, menuePfad, dbusmenu, "Event",
        g_variant_new("(isvu)", id, "clicked", g_variant_new_int32(0), zeit), "()", fehler);
  return fehler;
}

std::string zeilenAlsText(const std::vector<Zeile>& zeilen) {
  std::string text;
  for (const auto& z : zeilen) {
    if (!z.sichtbar) continue;
    if (z.trenner) {
      text += "---\n";
      continue;
    }
    if (!z.aktiv) text += "(aus) ";
    if (z.haken != Haken::keiner) text += z.haken == Haken::an ? "[x] " : "[ ] ";
    text += z.titel;
    if (!z.kuerzel.empty()) text += " <" + z.kuerzel + ">";
    text += '\n';
  }
  return text;
}

}  // namespace tw::leiste
