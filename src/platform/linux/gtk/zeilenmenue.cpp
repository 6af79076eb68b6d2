#include "platform/linux/gtk/zeilenmenue.h"

#include <algorithm>

namespace tw {
namespace {

constexpr auto strg = GDK_CONTROL_MASK;

// The key of a key equivalent such as "q" or ","; 0 for none or nonsense.
guint tastenwert(const std::string& taste) {
  if (taste.empty() || !g_utf8_validate(taste.data(), static_cast<gssize>(taste.size()), nullptr)) return 0;
  const guint wert = g_utf8_strlen(taste.c_str(), -1) == 1
                         ? gdk_unicode_to_keyval(g_utf8_get_char(taste.c_str()))
                         : gdk_keyval_from_name(taste.c_str());
  const guint klein = gdk_keyval_to_lower(wert);
  return gtk_accelerator_valid(klein, strg) ? klein : 0;
}

struct Klick {
  std::weak_ptr<std::function<void(Aktion)>> ziel;
  Aktion aktion;
};

gboolean klickMelden(gpointer daten) {
  const auto* klick = static_cast<Klick*>(daten);
  if (const auto ziel = klick->ziel.lock(); ziel && *ziel) (*ziel)(klick->aktion);
  return G_SOURCE_REMOVE;
}

}  // namespace

Zeilenmenue::Zeilenmenue()
    : menue_(GTK_MENU(g_object_ref_sink(gtk_menu_new()))),
      klick_(std::make_shared<std::function<void(Aktion)>>()) {}

Zeilenmenue::~Zeilenmenue() {
  gtk_widget_destroy(GTK_WIDGET(menue_));
  g_object_unref(menue_);
}

void Zeilenmenue::beiKlick(std::function<void(Aktion)> klick) { *klick_ = std::move(klick); }

std::vector<Zeilenmenue::Schluessel> Zeilenmenue::schluesselFuer(const std::vector<Menuezeile>& zeilen) {
  std::vector<Schluessel> schluessel;
  schluessel.reserve(zeilen.size());
  int zaehler[3] = {};
  for (const Menuezeile& z : zeilen) {
    const auto art = z.trenner                  ? Schluessel::Art::trenner
                     : z.haken != Haken::keiner ? Schluessel::Art::haken
                                                : Schluessel::Art::zeile;
    if (z.trenner || z.aktion == Aktion::keine) {
      schluessel.push_back({art, Aktion::keine, zaehler[static_cast<int>(art)]++});
    } else {
      schluessel.push_back({art, z.aktion, 0});
      std::fill(std::begin(zaehler), std::end(zaehler), 0);
    }
  }
  return schluessel;
}

void Zeilenmenue::abgleichen(const std::vector<Menuezeile>& zeilen) {
  if (gueltig_ && zeilen == gezeigt_) return;
  const auto schluessel = schluesselFuer(zeilen);
  // Greedy and in order: reuse the next old item with the same key, drop the
  // old ones passed over, build the missing ones. The menu's children are
  // always neu followed by eintraege_[alt...].
  std::vector<Eintrag> neu;
  neu.reserve(zeilen.size());
  std::size_t alt = 0;
  for (std::size_t i = 0; i < zeilen.size(); ++i) {
    const auto treffer = std::find_if(eintraege_.begin() + static_cast<std::ptrdiff_t>(alt), eintraege_.end(),
                                      [&](const Eintrag& e) { return e.schluessel == schluessel[i]; });
    if (treffer == eintraege_.end()) {
      neu.push_back(bauen(schluessel[i], zeilen[i]));
      gtk_menu_shell_insert(GTK_MENU_SHELL(menue_), neu.back().widget, static_cast<gint>(i));
      continue;
    }
    const auto stelle = static_cast<std::size_t>(treffer - eintraege_.begin());
    for (; alt < stelle; ++alt) gtk_widget_destroy(eintraege_[alt].widget);
    auffrischen(*treffer, zeilen[i], false);
    neu.push_back(*treffer);
    alt = stelle + 1;
  }
  for (; alt < eintraege_.size(); ++alt) gtk_widget_destroy(eintraege_[alt].widget);
  eintraege_ = std::move(neu);
  gezeigt_ = zeilen;
  gueltig_ = true;
}

Zeilenmenue::Eintrag Zeilenmenue::bauen(const Schluessel& schluessel, const Menuezeile& zeile) {
  GtkWidget* widget = schluessel.art == Schluessel::Art::trenner ? gtk_separator_menu_item_new()
                      : schluessel.art == Schluessel::Art::haken ? gtk_check_menu_item_new()
                                                                 : gtk_menu_item_new();
  if (!zeile.trenner) g_signal_connect(widget, "activate", G_CALLBACK(aktiviert), this);
  Eintrag eintrag{schluessel, widget, {}};
  // Complete before it is inserted, so the tray host gets the whole row at once.
  auffrischen(eintrag, zeile, true);
  gtk_widget_show(widget);
  return eintrag;
}

void Zeilenmenue::auffrischen(Eintrag& eintrag, const Menuezeile& zeile, bool alles) {
  GtkWidget* widget = eintrag.widget;
  const Menuezeile& vorher = eintrag.zeile;
  if (!zeile.trenner) {
    if (alles || zeile.titel != vorher.titel)
      gtk_menu_item_set_label(GTK_MENU_ITEM(widget), zeile.titel.c_str());
    if (alles || zeile.aktiv != vorher.aktiv) gtk_widget_set_sensitive(widget, zeile.aktiv);
    if (alles || zeile.taste != vorher.taste) tasteSetzen(widget, zeile.taste);
    if (GTK_IS_CHECK_MENU_ITEM(widget) && (alles || zeile.haken != vorher.haken)) {
      // Setting the state activates the item; that is no click.
      stumm_ = true;
      gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(widget), zeile.haken == Haken::an);
      stumm_ = false;
    }
  }
  eintrag.zeile = zeile;
}

void Zeilenmenue::tasteSetzen(GtkWidget* widget, const std::string& taste) {
  // On the label only. An accelerator in an accel group would also reach the
  // tray host, but libdbusmenu-gtk leaks a reference to its closure on every read.
  GtkWidget* beschriftung = gtk_bin_get_child(GTK_BIN(widget));
  if (!GTK_IS_ACCEL_LABEL(beschriftung)) return;
  const guint wert = tastenwert(taste);
  gtk_accel_label_set_accel(GTK_ACCEL_LABEL(beschriftung), wert, wert ? strg : GdkModifierType{});
}

void Zeilenmenue::aktiviert(GtkMenuItem* item, gpointer daten) {
  auto* selbst = static_cast<Zeilenmenue*>(daten);
  if (selbst->stumm_) return;
  const auto eintrag = std::find_if(selbst->eintraege_.begin(), selbst->eintraege_.end(),
                                    [&](const Eintrag& e) { return e.widget == GTK_WIDGET(item); });
  if (eintrag == selbst->eintraege_.end()) return;
  if (GTK_IS_CHECK_MENU_ITEM(item)) {
    // GTK has flipped the check mark; the next update puts the state the
    // controller decides, even when the rows are the same as before.
    eintrag->zeile.haken = gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item)) ? Haken::an : Haken::aus;
    selbst->gueltig_ = false;
  }
  if (eintrag->zeile.aktion == Aktion::keine) return;
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, klickMelden, new Klick{selbst->klick_, eintrag->zeile.aktion},
                  [](gpointer daten) { delete static_cast<Klick*>(daten); });
}

}  // namespace tw
