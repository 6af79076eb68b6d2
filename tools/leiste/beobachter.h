#pragma once
// The StatusNotifierWatcher of a tray host: tray items register here, and
// the host learns where to read their icon, label and menu.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

typedef struct _GDBusConnection GDBusConnection;

namespace tw::leiste {

struct Eintrag {
  std::string bus;   // the item's bus name, usually its unique one (":1.42")
  std::string pfad;  // its object path

  bool operator==(const Eintrag&) const = default;
};

class Beobachter {
 public:
  // Owns org.kde.StatusNotifierWatcher on the session bus; fehler() says why not.
  Beobachter();
  ~Beobachter();
  Beobachter(const Beobachter&) = delete;
  Beobachter& operator=(const Beobachter&) = delete;

  bool bereit() const { return fehler_.empty(); }
  const std::string& fehler() const { return fehler_; }
  // The registered items whose bus name is still there, oldest first.
  const std::vector<Eintrag>& eintraege() const { return eintraege_; }
  // Runs on the main loop for every newly registered item.
  void beiEintrag(std::function<void(const Eintrag&)> rueckruf) { rueckruf_ = std::move(rueckruf); }
  // Forgets every item, as a watcher that lost them, and says a host registered.
  void vergessen();

 private:
  struct Rufe;
  void aufnehmen(const Eintrag& eintrag);
  void namensende(const std::string& bus);
  void melden(const char* signal, const std::string& dienst);

  GDBusConnection* bus_ = nullptr;
  unsigned objekt_ = 0;
  unsigned namenswache_ = 0;
  bool besitzt_ = false;
  std::vector<Eintrag> eintraege_;
  std::function<void(const Eintrag&)> rueckruf_;
  std::string fehler_;
};

// Runs the default main context until `bedingung` holds (checked at least
// every 10 ms) or `frist` passes; says whether it holds.
bool kontextLaufen(std::chrono::milliseconds frist, const std::function<bool()>& bedingung);

}  // namespace tw::leiste
