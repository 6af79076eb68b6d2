#pragma once
// Dialoge as modal GTK message dialogs. The first button is the default and
// stands rightmost.

#include <gtk/gtk.h>

#include <vector>

#include "platform/dialoge.h"

namespace tw {

class GtkDialoge final : public Dialoge {
 public:
  Wahl zeigen(const Hinweis& hinweis) override;
  Eingabe passphraseFragen(const Hinweis& hinweis) override;
  void nachVorne() override;
  void alleSchliessen() override;
};

// Answers every alert built by dialogBauen that is still open as if it was
// closed without a button.
void alleDialogeSchliessen();

// The alert for `hinweis`, built but not shown; the caller destroys it with
// gtk_widget_destroy. Button i answers ersterKnopf + i. Until then it counts
// among the app's open dialogs.
GtkDialog* dialogBauen(const Hinweis& hinweis);

// The alerts built by dialogBauen that are on screen now, the newest last.
std::vector<GtkWidget*> sichtbareDialoge();

// The alert's check box, or null when it has none.
GtkToggleButton* dialogKaestchen(GtkDialog* dialog);

}  // namespace tw
