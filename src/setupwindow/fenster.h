#pragma once
// The setup window: shows the local server's pages or one of its own waiting
// pages, keeps the view on those pages and warns once, on closing, that the
// vault stays open. Built on first use and kept; main thread only.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/browser.h"
#include "platform/dialoge.h"
#include "platform/ereignisschleife.h"
#include "platform/webfenster.h"
#include "status/url.h"

namespace tw {

struct Fensterorte {
  std::filesystem::path konfigOrdner;
  std::filesystem::path zustandOrdner;
  std::string titel;             // the bundle's name
  bool seiteModus = false;       // "--seite": finished loads are written down
  std::filesystem::path heim{};  // written as "~" in the texts
};

class Fenster final : public Webdelegat {
 public:
  Fenster(Webfenster& web, Dialoge& dialoge, Browser& browser, const Uhr& uhr, Fensterorte orte);
  Fenster(const Fenster&) = delete;
  Fenster& operator=(const Fenster&) = delete;

  void warten();
  void warteHinweisVerlaengert();
  // Loads the page and brings the window to the front. While the closing
  // notice is open, the page waits for its answer; `gezeigt` runs once the
  // page was really shown (not when a later page took its place).
  void zeigen(const Url& url, std::function<void()> gezeigt = {});
  void laden(const std::string& html);
  void hinweisGesehen();

  bool navigationErlauben(std::string_view adresse) override;
  void geladen() override;
  void ladenFehlgeschlagen(std::string_view beschreibung) override;
  bool sollSchliessen() override;
  void fensterAusgefallen() override;

  static const std::string warteStil;

  bool gebaut() const { return gebaut_; }
  const std::filesystem::path& hinweisDatei() const { return hinweisDatei_; }

  std::vector<Url> erlaubteSeiten;
  // Whether the vault is open, and for how many minutes more (none: no limit).
  std::function<std::pair<bool, std::optional<std::int64_t>>()> tresorOffen = [] {
    return std::pair<bool, std::optional<std::int64_t>>{false, std::nullopt};
  };
  std::function<void()> sperren = [] {};
  std::function<void()> neuStarten = [] {};
  bool bewusstGeschlossen = false;
  std::optional<Zeitpunkt> wartetSeit;
  bool langeGewartet = false;

 private:
  void aufbauen();
  void wartendZeigen();
  // Hands the address to the browser; says so when none took it.
  void imBrowser(const std::string& adresse);

  Webfenster& web_;
  Dialoge& dialoge_;
  Browser& browser_;
  const Uhr& uhr_;
  Fensterorte orte_;
  std::filesystem::path hinweisDatei_;
  bool gebaut_ = false;
  bool hinweisOffen_ = false;
  std::optional<std::pair<Url, std::function<void()>>> wartend_;
  // The page the window showed last; after a failure it may go to the browser.
  std::optional<Url> letzteSeite_;
  // The user chose the browser before there was a page: the next one goes there.
  bool imBrowser_ = false;
};

// The information text of the closing notice for the vault's remaining minutes.
std::string schliessHinweisText(std::optional<std::int64_t> restminuten);

}  // namespace tw
