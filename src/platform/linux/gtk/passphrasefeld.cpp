#include "platform/linux/gtk/passphrasefeld.h"

#define GCR_API_SUBJECT_TO_CHANGE
#include <gcr/gcr.h>

#include <string_view>

namespace tw {
namespace {

constexpr int breite = 320;
constexpr int augeGroesse = 24;

void beschreiben(GtkWidget* widget, const char* name, const char* beschreibung) {
  AtkObject* zugang = gtk_widget_get_accessible(widget);
  if (name) atk_object_set_name(zugang, name);
  if (beschreibung) atk_object_set_description(zugang, beschreibung);
}

}  // namespace

PassphraseFeld::PassphraseFeld()
    : box_(gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4)),
      eingabe_(GTK_ENTRY(gtk_entry_new_with_buffer(gcr_secure_entry_buffer_new()))),
      auge_(gtk_button_new()),
      bild_(gtk_image_new()) {
  g_object_ref_sink(box_);
  // The entry took its own reference to the buffer.
  g_object_unref(gtk_entry_get_buffer(eingabe_));
  gtk_widget_set_size_request(box_, breite, -1);

  gtk_entry_set_placeholder_text(eingabe_, "Passphrase");
  gtk_entry_set_visibility(eingabe_, FALSE);
  gtk_entry_set_input_purpose(eingabe_, GTK_INPUT_PURPOSE_PASSWORD);
  gtk_widget_set_hexpand(GTK_WIDGET(eingabe_), TRUE);
  beschreiben(GTK_WIDGET(eingabe_), "Passphrase", nullptr);
  gtk_box_pack_start(GTK_BOX(box_), GTK_WIDGET(eingabe_), TRUE, TRUE, 0);

  // A click must leave the focus, and the caret, in the entry.
  gtk_widget_set_can_focus(auge_, FALSE);
  gtk_widget_set_focus_on_click(auge_, FALSE);
  gtk_button_set_relief(GTK_BUTTON(auge_), GTK_RELIEF_NONE);
  gtk_widget_set_size_request(auge_, augeGroesse, augeGroesse);
  gtk_widget_set_valign(auge_, GTK_ALIGN_CENTER);
  gtk_button_set_image(GTK_BUTTON(auge_), bild_);
  beschreiben(auge_, "Passphrase anzeigen", nullptr);
  g_signal_connect(auge_, "clicked", G_CALLBACK(geklickt), this);
  gtk_box_pack_start(GTK_BOX(box_), auge_, FALSE, FALSE, 0);

  symbolSetzen();
  gtk_widget_show_all(box_);
  // The dialog may destroy its children before this field ends.
  for (GObject* teil : {G_OBJECT(eingabe_), G_OBJECT(auge_), G_OBJECT(bild_)}) g_object_ref(teil);
}

PassphraseFeld::~PassphraseFeld() {
  g_signal_handlers_disconnect_by_data(auge_, this);
  for (GObject* teil : {G_OBJECT(bild_), G_OBJECT(auge_), G_OBJECT(eingabe_), G_OBJECT(box_)})
    g_object_unref(teil);
}

void PassphraseFeld::geklickt(GtkButton*, gpointer selbst) {
  static_cast<PassphraseFeld*>(selbst)->umschalten();
}

void PassphraseFeld::umschalten() {
  sichtbar = !sichtbar;
  gtk_entry_set_visibility(eingabe_, sichtbar);
  symbolSetzen();
  gtk_entry_grab_focus_without_selecting(eingabe_);
  gtk_editable_set_position(GTK_EDITABLE(eingabe_), -1);
}

void PassphraseFeld::symbolSetzen() {
  gtk_image_set_from_icon_name(GTK_IMAGE(bild_), sichtbar ? "view-conceal-symbolic" : "view-reveal-symbolic",
                               GTK_ICON_SIZE_BUTTON);
  // The name says what the button is for; the description what a click does now.
  beschreiben(auge_, nullptr, sichtbar ? "Passphrase verbergen" : "Passphrase anzeigen");
}

Geheimnis PassphraseFeld::passphrase() const {
  GtkEntryBuffer* puffer = gtk_entry_get_buffer(eingabe_);
  return Geheimnis(std::string_view(gtk_entry_buffer_get_text(puffer), gtk_entry_buffer_get_bytes(puffer)));
}

}  // namespace tw
