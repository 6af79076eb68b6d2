#pragma once
// Webfenster that loads WebKit only when the window is first built: the
// setup window lives in a module beside the executable
// (taler-wacht-webfenster.so), so that an app whose window was never opened
// carries none of WebKit's libraries.

#include <filesystem>
#include <memory>
#include <string>

#include "platform/webfenster.h"

namespace tw {

class NachgeladenesWebfenster final : public Webfenster {
 public:
  NachgeladenesWebfenster(std::filesystem::path modul, std::filesystem::path rahmenDatei);

  void aufbauen(const Fensterbauplan& plan, Webdelegat& delegat) override;
  void seiteLaden(const std::string& adresse, Dauer frist) override;
  void htmlLaden(const std::string& html) override;
  void nachVorne() override;
  void schliessen() override;
  std::string adresse() const override;
  // Saves the window's frame now; nothing before the window was built.
  void rahmenSichern();

 private:
  std::filesystem::path modul_;
  std::filesystem::path rahmenDatei_;
  // Without its module the app runs on without a window; the log says why.
  std::unique_ptr<Webfenster> echt_;
  void (*rahmenSichern_)(Webfenster*) = nullptr;
};

// What the module exports: a new window that keeps its frame in `rahmenDatei`.
using WebfensterErzeugen = Webfenster* (*)(const char* rahmenDatei);
inline constexpr const char* webfensterErzeugenName = "tw_webfenster_erzeugen";
// And the one that saves the frame of a window it made.
using RahmenSichern = void (*)(Webfenster* fenster);
inline constexpr const char* rahmenSichernName = "tw_webfenster_rahmen_sichern";

}  // namespace tw
