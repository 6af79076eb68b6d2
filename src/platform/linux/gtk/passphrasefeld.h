#pragma once
// The vault passphrase input: an entry whose characters live in gcr's
// non-swappable memory (wiped when freed), with an eye button at its right
// end that shows or hides them.

#include <gtk/gtk.h>

#include "vault/geheimnis.h"

namespace tw {

class PassphraseFeld {
 public:
  PassphraseFeld();
  ~PassphraseFeld();
  PassphraseFeld(const PassphraseFeld&) = delete;
  PassphraseFeld& operator=(const PassphraseFeld&) = delete;

  // The eye's action: shows or hides the text and hands the focus back to the
  // entry, caret at the end, so that typing goes on.
  void umschalten();

  // A copy of the text, straight from the secure buffer.
  Geheimnis passphrase() const;

  GtkEntry* eingabe() const { return eingabe_; }
  GtkWidget* auge() const { return auge_; }
  // The field as a whole, for packing into a container.
  GtkWidget* widget() const { return box_; }

 private:
  void symbolSetzen();
  static void geklickt(GtkButton*, gpointer selbst);

  GtkWidget* box_;  // we hold references of our own to it and its parts
  GtkEntry* eingabe_;
  GtkWidget* auge_;
  GtkWidget* bild_;
  bool sichtbar = false;
};

}  // namespace tw
