#pragma once
// Statusanzeige as a StatusNotifierItem through libayatana-appindicator: the
// icon, the title as its label, and the menu exported over D-Bus.

#include <filesystem>
#include <string>

#include "platform/linux/gtk/zeilenmenue.h"
#include "platform/statusanzeige.h"

typedef struct _AppIndicator AppIndicator;

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

  // The one menu, kept for the whole life of the indicator.
  GtkMenu* menue() const { return menue_.menue(); }

 private:
  void anlegen();
  static void verbindungGeaendert(AppIndicator*, int verbunden, void* selbst);
  static int nachpruefen(void* selbst);

  Zeilenmenue menue_;
  std::filesystem::path symbole_;
  AppIndicator* indikator_ = nullptr;
  std::string symbol_;  // icon name as shown
  std::string titel_;
  bool verbunden_ = false;     // registered with the desktop's tray
  unsigned nachpruefung_ = 0;  // GLib source of the one check after the start
};

}  // namespace tw
