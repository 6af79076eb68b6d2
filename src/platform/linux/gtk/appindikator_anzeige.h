#pragma once
// Statusanzeige as a StatusNotifierItem through libayatana-appindicator: the
// icon, the title as its label, and the menu exported over D-Bus. It keeps an
// eye on the desktop's tray: registers again when a tray host starts, and
// while no tray shows the icon, a desktop notification stands in for it.

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/leistenhinweis.h"
#include "platform/linux/gtk/mitteilung.h"
#include "platform/linux/gtk/zeilenmenue.h"
#include "platform/statusanzeige.h"

typedef struct _AppIndicator AppIndicator;
typedef struct _GCancellable GCancellable;
typedef struct _GDBusConnection GDBusConnection;

namespace tw {

class AppindikatorAnzeige final : public Statusanzeige {
 public:
  // Main thread, after GTK is initialised. `symbole` is the folder with the
  // tray icons (taler-wacht-frage-symbolic.svg and ...-voll-symbolic.svg).
  explicit AppindikatorAnzeige(const std::filesystem::path& symbole);
  ~AppindikatorAnzeige() override;
  AppindikatorAnzeige(const AppindikatorAnzeige&) = delete;
  AppindikatorAnzeige& operator=(const AppindikatorAnzeige&) = delete;

  void zeigen(const Anzeige& anzeige) override;
  void beiKlick(std::function<void(Aktion)> klick) override;
  // At the program's end: a notification standing in for the icon goes with it.
  void beenden() { mitteilung_.beenden(); }

  // The one menu, kept for the whole life of the indicator.
  GtkMenu* menue() const { return menue_.menue(); }

 private:
  struct Rufe;
  void anlegen();
  void anmelden();
  void spaeterPruefen(unsigned ms, bool neuesEreignis);
  void pruefen();
  void geprueft(bool host, bool eingetragen);
  void ausfuehren(Hinweislage::Schritt schritt);

  Zeilenmenue menue_;
  std::filesystem::path symbole_;
  AppIndicator* indikator_ = nullptr;
  std::string symbol_;  // icon name as shown
  std::string titel_;
  std::function<void(Aktion)> klick_;
  Hinweislage lage_;
  Mitteilung mitteilung_;
  GDBusConnection* bus_;        // the session bus, shared with the library
  unsigned waechterwache_ = 0;  // the watcher's name on the bus
  unsigned hostsignale_ = 0;    // hosts registering with it
  unsigned pruefung_ = 0;       // GLib source of the next look at the tray
  GCancellable* abbruch_ = nullptr;
  bool neuAngemeldet_ = false;  // once per tray event, so that a watcher that ignores us is no loop
  bool verbunden_ = false;      // the library registered with a watcher
  std::int64_t beginn_ = 0;     // monotonic time of the start
};

}  // namespace tw
