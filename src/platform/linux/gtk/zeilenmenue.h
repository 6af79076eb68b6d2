#pragma once
// One GtkMenu kept in step with the menu rows. Rows that stay keep their
// GtkMenuItem, so an open menu stays live and the item ids the tray host
// sees over D-Bus stay the same.

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <vector>

#include "platform/statusanzeige.h"

namespace tw {

class Zeilenmenue {
 public:
  Zeilenmenue();
  ~Zeilenmenue();
  Zeilenmenue(const Zeilenmenue&) = delete;
  Zeilenmenue& operator=(const Zeilenmenue&) = delete;

  // Main thread only. Updates the menu in place: rows that stay are changed,
  // new rows inserted at their place, rows that went removed.
  void abgleichen(const std::vector<Menuezeile>& zeilen);
  // Main thread only. The callback runs from the main loop after GTK has
  // handled the click.
  void beiKlick(std::function<void(Aktion)> klick);

  GtkMenu* menue() const { return menue_; }

 private:
  // What makes a row "the same row" from one update to the next.
  struct Schluessel {
    enum class Art { trenner, zeile, haken } art;
    Aktion aktion;
    int stelle;  // place among rows of its kind since the last action row
    bool operator==(const Schluessel&) const = default;
  };
  struct Eintrag {
    Schluessel schluessel;
    GtkWidget* widget;  // owned by the menu
    Menuezeile zeile;   // as the widget shows it
  };

  static std::vector<Schluessel> schluesselFuer(const std::vector<Menuezeile>& zeilen);
  Eintrag bauen(const Schluessel& schluessel, const Menuezeile& zeile);
  void auffrischen(Eintrag& eintrag, const Menuezeile& zeile, bool alles);
  static void tasteSetzen(GtkWidget* widget, const std::string& taste);
  static void aktiviert(GtkMenuItem* item, gpointer selbst);

  GtkMenu* menue_;
  std::vector<Eintrag> eintraege_;
  std::vector<Menuezeile> gezeigt_;
  bool gueltig_ = false;  // the widgets show exactly gezeigt_
  bool stumm_ = false;    // set while we change a check box ourselves
  // Shared with posted clicks, which do nothing once the menu is gone.
  std::shared_ptr<std::function<void(Aktion)>> klick_;
};

}  // namespace tw
