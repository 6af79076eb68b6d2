#pragma once
// The host's panel: a small undecorated window in the screen's top-right
// corner with the item's icon and the label beside it.

#include <gtk/gtk.h>

#include <functional>
#include <string>

#include "eintrag.h"

namespace tw::leiste {

class Tafel {
 public:
  Tafel();
  ~Tafel();
  Tafel(const Tafel&) = delete;
  Tafel& operator=(const Tafel&) = delete;

  void zeigen(const Eintragsdaten& daten);
  GtkWidget* fenster() const { return fenster_; }
  // Runs with the button press on the panel.
  void beiKlick(std::function<void(const GdkEvent*)> klick) { klick_ = std::move(klick); }

 private:
  static void rechtsObenHalten(GtkWidget* fenster, GdkRectangle* groesse, gpointer);
  static gboolean gedrueckt(GtkWidget*, GdkEvent* ereignis, gpointer daten);

  GtkWidget* fenster_;
  GtkWidget* bild_;
  GtkWidget* text_;
  std::string symbol_;  // IconName + IconThemePath last loaded, to load only changes
  std::function<void(const GdkEvent*)> klick_;
};

}  // namespace tw::leiste
