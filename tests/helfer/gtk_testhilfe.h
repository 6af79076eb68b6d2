#pragma once
// For tests of the GTK parts: GTK on the test's display, the main context run
// dry, the app's open dialog, and keys and clicks as the display delivers them.

#include <gtk/gtk.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string_view>
#include <vector>

#include "helfer/eigener_bus.h"
#include "platform/linux/gtk/gtk_dialoge.h"

namespace tw {

// GTK is set up on first use, not while the cases are listed.
inline bool gtkBereit() {
  // Without the accessibility bridge, which would start a bus of its own.
  static const bool bereit = (g_setenv("NO_AT_BRIDGE", "1", TRUE), gtk_init_check(nullptr, nullptr));
  return bereit;
}

// Dispatches everything that is ready now, such as posted clicks.
inline void abarbeiten() {
  while (g_main_context_iteration(nullptr, FALSE)) continue;
}

// Dispatches until `bedingung` holds, for at most 20 s.
inline bool bisAbgearbeitet(const std::function<bool()>& bedingung) {
  return bisZu(std::chrono::seconds(20), [&] { return abarbeiten(), bedingung(); });
}

inline std::vector<GtkWidget*> kinder(GtkWidget* behaelter) {
  GList* liste = gtk_container_get_children(GTK_CONTAINER(behaelter));
  std::vector<GtkWidget*> widgets;
  for (GList* l = liste; l; l = l->next) widgets.push_back(GTK_WIDGET(l->data));
  g_list_free(liste);
  return widgets;
}

// The newest of the app's dialogs on screen, or null.
inline GtkDialog* offenerDialog() {
  const auto offen = sichtbareDialoge();
  return offen.empty() ? nullptr : GTK_DIALOG(offen.back());
}

inline void senden(GdkEvent* ereignis, GdkWindow* fenster) {
  GdkSeat* sitz = gdk_display_get_default_seat(gdk_display_get_default());
  ereignis->any.window = GDK_WINDOW(g_object_ref(fenster));
  gdk_event_set_device(
      ereignis, ereignis->type == GDK_KEY_PRESS ? gdk_seat_get_keyboard(sitz) : gdk_seat_get_pointer(sitz));
  gtk_main_do_event(ereignis);
  gdk_event_free(ereignis);
}

// A key press in the window of `fenster`. GTK's key bindings, such as Return
// and Escape, go by the key's code.
inline void taste(GtkWidget* fenster, guint wert, GdkModifierType zusatz = {}) {
  GdkEvent* ereignis = gdk_event_new(GDK_KEY_PRESS);
  ereignis->key.keyval = wert;
  ereignis->key.state = zusatz;
  GdkKeymapKey* tasten = nullptr;
  gint anzahl = 0;
  gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()), wert, &tasten,
                                    &anzahl);
  ereignis->key.hardware_keycode = anzahl > 0 ? static_cast<guint16>(tasten[0].keycode) : 0;
  g_free(tasten);
  senden(ereignis, gtk_widget_get_window(fenster));
}

inline void tippen(GtkWidget* fenster, const char* text) {
  for (const char* c = text; *c; c = g_utf8_next_char(c))
    taste(fenster, gdk_unicode_to_keyval(g_utf8_get_char(c)));
}

// A left click (press, release); returns the window's focus widget while the button is down.
inline GtkWidget* klicken(GtkWidget* knopf) {
  GtkWidget* waehrenddessen = nullptr;
  for (const GdkEventType art : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) {
    GdkEvent* ereignis = gdk_event_new(art);
    ereignis->button.button = 1;
    ereignis->button.x = ereignis->button.y = 5;
    senden(ereignis, gtk_button_get_event_window(GTK_BUTTON(knopf)));
    if (art == GDK_BUTTON_PRESS)
      waehrenddessen = gtk_window_get_focus(GTK_WINDOW(gtk_widget_get_toplevel(knopf)));
  }
  return waehrenddessen;
}

// Runs `aufruf`, which runs a modal dialog; once that is up, `handlung` acts on
// it from the main loop. A dialog still open after 10 s is closed, so that the
// case fails instead of hanging.
template <class Aufruf>
auto imDialog(std::function<void(GtkDialog*)> handlung, Aufruf aufruf) {
  using Handlung = decltype(handlung);
  g_idle_add(
      +[](gpointer h) { return (*static_cast<Handlung*>(h))(offenerDialog()), G_SOURCE_REMOVE; }, &handlung);
  const auto schliessen =
      +[](gpointer) { return gtk_dialog_response(offenerDialog(), GTK_RESPONSE_NONE), G_SOURCE_REMOVE; };
  const guint frist = g_timeout_add_seconds(10, schliessen, nullptr);
  auto ergebnis = aufruf();
  g_source_remove(frist);
  return ergebnis;
}

// Descendants of this process whose name starts with `name` (names are cut at 15 characters).
inline std::vector<pid_t> nachkommen(std::string_view name) {
  std::map<pid_t, pid_t> eltern;
  std::vector<pid_t> treffer;
  for (const auto& eintrag : std::filesystem::directory_iterator("/proc")) {
    std::string zeile;
    std::getline(std::ifstream(eintrag.path() / "stat"), zeile);
    const auto auf = zeile.find('('), zu = zeile.rfind(')');
    if (zu == std::string::npos) continue;
    const pid_t pid = std::stoi(zeile);
    eltern[pid] = std::stoi(zeile.substr(zu + 4));
    if (zeile.compare(auf + 1, name.size(), name) == 0 && zeile[zu + 2] != 'Z') treffer.push_back(pid);
  }
  std::erase_if(treffer, [&](pid_t p) {
    while (p > 1 && p != ::getpid()) p = eltern[p];
    return p != ::getpid();
  });
  return treffer;
}

}  // namespace tw
