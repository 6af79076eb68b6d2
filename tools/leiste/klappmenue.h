#pragma once
// The item's menu as a GtkMenu under the panel; clicking a row sends the
// click on to the item.

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "menue.h"

namespace tw::leiste {

class Klappmenue {
 public:
  explicit Klappmenue(std::function<void(std::int32_t id)> klick);
  ~Klappmenue();
  Klappmenue(const Klappmenue&) = delete;
  Klappmenue& operator=(const Klappmenue&) = delete;

  // Rebuilds the rows when they changed; an open menu shows them at once.
  void setzen(const std::vector<Zeile>& zeilen);
  // Opens the menu under `anker`; `gezeichnet` runs once when it is on screen.
  void aufklappen(GtkWidget* anker, const GdkEvent* ausloeser, std::function<void()> gezeichnet = {});

 private:
  static void aktiviert(GtkMenuItem* eintrag, gpointer daten);
  static gboolean gemalt(GtkWidget*, cairo_t*, gpointer daten);
  void fertig();

  GtkWidget* menue_;
  std::vector<Zeile> zeilen_;
  std::function<void(std::int32_t)> klick_;
  std::function<void()> gezeichnet_;
  unsigned wecker_ = 0;   // gives up waiting for the menu to appear
  unsigned nachdem_ = 0;  // runs after the frame the menu was drawn in
};

}  // namespace tw::leiste
