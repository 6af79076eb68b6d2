// The whole app from its bundle while the world turns hostile under it:
// local pages that hang, trickle, flood, nest, lie or redirect, and state
// files that are FIFOs, links to /dev/zero, folders, unreadable or garbage.
// Its pace is read from outside, at an honest page that every refresh asks.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <mutex>
#include <random>
#include <thread>

#include "helfer/appwelt.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Uhr = std::chrono::steady_clock;

const std::string passphrase = "feind-welt-geheim-7";
const std::string zu = R"({"fassung":"1.7.2_demo","tresor":"zu"})";

std::string json(std::string_view koerper) { return httpAntwort(200, "application/json", koerper); }
// A shell named after the server counts as one of the product's own processes.
Start unserer() { return {{"/bin/sh", "-c", "sleep 900; :", "geld-bote"}}; }

// "VmRSS" now, or "VmHWM", the peak since the last reset.
long speicherMb(pid_t pid, std::string_view feld) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string zeile; std::getline(status, zeile);)
    if (zeile.starts_with(feld)) return std::stol(zeile.substr(feld.size() + 1)) / 1024;
  return -1;
}
void spitzeZuruecksetzen(pid_t pid) { std::ofstream("/proc/" + std::to_string(pid) + "/clear_refs") << "5"; }

// When the honest page was asked for the state: one arrival per refresh.
struct Takt {
  explicit Takt(RohServer& s) : seite(s) {}
  RohServer& seite;
  std::mutex schloss;
  std::vector<Uhr::time_point> ankuenfte;
  std::jthread faden{[this](std::stop_token halt) {
    for (std::size_t n = 0; !halt.stop_requested(); std::this_thread::sleep_for(5ms))
      for (const auto anfragen = seite.anfragen(); n < anfragen.size(); ++n)
        if (anfragen[n].starts_with("GET ")) {
          std::scoped_lock l(schloss);
          ankuenfte.push_back(Uhr::now());
        }
  }};
  std::size_t anzahl() {
    std::scoped_lock l(schloss);
    return ankuenfte.size();
  }
  // The longest pause between refreshes that ended after `seit`, up to now.
  Uhr::duration laengstePause(Uhr::time_point seit) {
    std::scoped_lock l(schloss);
    Uhr::duration laengste = Uhr::now() - ankuenfte.back();
    for (std::size_t i = 1; i < ankuenfte.size(); ++i)
      if (ankuenfte[i] > seit) laengste = std::max(laengste, ankuenfte[i] - ankuenfte[i - 1]);
    return laengste;
  }
};

struct Feindwelt : Schluesselbundort, Schale {};

TEST_F(Feindwelt, BleibtImTaktHeilUndVerschwiegen) {
  const fs::path konfig = heim / ".config/geld-bote-demo";
  fs::create_directories(zustand / "instanzen");
  fs::create_directories(konfig);

  RohServer ehrlich(json(zu)), programmseite(json(zu));
  // Named only by a redirect or by a file of a process that is not ours: never to be asked anything.
  RohServer ziel(json(zu)), koeder(json(zu));
  Kindprozess tunnel(unserer()), zeuge(unserer()), feind(unserer()), feind2(unserer());
  Kindprozess fremd({{"/bin/sleep", "900"}});
  const auto portDatei = [&](const Kindprozess& p) {
    return zustand / "instanzen" / (std::to_string(p.pid()) + ".port");
  };
  const auto ablegen = [](const fs::path& datei, std::string_view text) {
    fs::remove_all(datei);
    dateiSchreiben(datei, text);
  };
  const auto ordnen = [&] {
    ablegen(zustand / "tunnel.pid", std::to_string(tunnel.pid()));
    ablegen(konfig / "token", "t0ken");
    ablegen(zustand / "seite.schluessel", "s3ite");
    fs::remove_all(zustand / "tunnel.adresse");
    ablegen(portDatei(zeuge), std::to_string(ehrlich.port()));
    ablegen(portDatei(fremd), std::to_string(koeder.port()));
    for (const auto* p : {&feind, &feind2}) fs::remove_all(portDatei(*p));
  };
  ordnen();

  std::vector<std::unique_ptr<RohServer>> seiten;
  const auto feindseiten = [&](std::vector<std::pair<std::string, RohServer::Art>> arten) {
    return [&, arten] {
      const Kindprozess* besitzer[] = {&feind, &feind2};
      for (std::size_t i = 0; i < arten.size(); ++i) {
        seiten.push_back(std::make_unique<RohServer>(arten[i].first, arten[i].second));
        ablegen(portDatei(*besitzer[i]), std::to_string(seiten.back()->port()));
      }
    };
  };
  const auto antworten = [](std::string text) {
    return std::pair(std::move(text), RohServer::Art::antworten);
  };
  const auto umleitung = [&](int status, std::string host) {
    return antworten(httpAntwort(status, "text/plain", "",
                                 "Location: http://" + host + ":" + std::to_string(ziel.port()) + "/\r\n"));
  };
  const auto alleDateien = [&](std::function<void(const fs::path&)> machen) {
    return [&, machen] {
      for (const fs::path& d : {zustand / "tunnel.pid", zustand / "tunnel.adresse",
                                zustand / "seite.schluessel", konfig / "token", portDatei(feind)}) {
        fs::remove_all(d);
        machen(d);
      }
    };
  };
  std::string muell(1 << 20, '\0');
  std::generate(muell.begin(), muell.end(), std::mt19937(7));
  std::string tief;
  for (int i = 0; i < 100000; ++i) tief += R"({"a":)";
  tief += "1" + std::string(100000, '}');

  struct Phase {
    std::string name;
    std::function<void()> an;
    bool speicher = false;  // the app's peak memory is checked
  };
  const std::vector<Phase> phasen = {
      {"ruhig", [] {}},
      {"schweigt", feindseiten({{"", RohServer::Art::schweigen}})},
      {"tröpfelt", feindseiten({{"", RohServer::Art::troepfeln}})},
      {"50 MB", feindseiten({antworten(json(std::string(50 << 20, ' ') + zu))}), true},
      {"tief verschachtelt", feindseiten({antworten(json(tief)), antworten(json(std::string(400000, '[')))})},
      {"falsche Typen",
       feindseiten(
           {antworten(json(R"({"fassung":5,"tresor":["offen"],"restminuten":"30"})")),
            antworten(
                json(R"({"fassung":"1.7.2_demo","tresor":"offen","restminuten":-9223372036854775808})"))})},
      {"kein UTF-8",
       feindseiten({antworten(json("{\"fassung\":\"1.7.2_demo\",\"tresor\":\"\xff\xfe\"}")),
                    antworten("HTTP/1.1 200 \xc3\x28\r\nContent-Length: 3\r\n\r\n\xed\xa0\x80")})},
      {"Umleitung", feindseiten({umleitung(307, "localhost"), umleitung(302, "127.0.0.1")})},
      {"FIFOs", alleDateien([](const fs::path& d) { ::mkfifo(d.c_str(), 0600); })},
      {"Verweise auf /dev/zero", alleDateien([](const fs::path& d) { fs::create_symlink("/dev/zero", d); })},
      {"Ordner", alleDateien([](const fs::path& d) { fs::create_directory(d); })},
      {"unlesbar", alleDateien([](const fs::path& d) {
         dateiSchreiben(d, "");
         ::chmod(d.c_str(), 0);
       })},
      {"1 MB Müll", alleDateien([&](const fs::path& d) { dateiSchreiben(d, muell); }), true},
  };

  port = std::to_string(programmseite.port());
  Start start = app();
  // Memory the sanitizer keeps back after freeing would hide what the app holds.
  start.umgebung["ASAN_OPTIONS"] = std::string(getenv("ASAN_OPTIONS") ?: "") + ":quarantine_size_mb=1";
  Takt takt(ehrlich);
  starten(start);
  Kindprozess& app = *programm;
  ASSERT_TRUE(leiste::kontextLaufen(20s, [&] { return takt.anzahl() >= 3; })) << app.fehler();
  const long grundRss = speicherMb(app.pid(), "VmRSS");

  for (const Phase& phase : phasen) {
    const auto beginn = Uhr::now();
    const std::size_t vorher = takt.anzahl();
    spitzeZuruecksetzen(app.pid());
    phase.an();
    leiste::kontextLaufen(20s, [&] { return takt.anzahl() >= vorher + 3 || !app.laeuft(); });
    const auto pause = takt.laengstePause(beginn);
    const long spitze = speicherMb(app.pid(), "VmHWM");
    std::cout << phase.name << ": längste Pause " << pause / 1ms << " ms, Spitze " << spitze << " MB\n";
    ASSERT_TRUE(app.laeuft()) << phase.name << "\n" << app.fehler();
    EXPECT_LE(pause, 5500ms) << phase.name;
    if (phase.speicher) {
      EXPECT_LT(spitze, grundRss + 48) << phase.name;
    }
    seiten.clear();
    ordnen();
  }

  // Unlocked through the menu and the dialog while a redirecting and a trickling page are known.
  feindseiten({umleitung(307, "localhost"), {"", RohServer::Art::troepfeln}})();
  // The passphrase goes to the pages of the last refresh.
  const std::size_t vorher = takt.anzahl();
  leiste::kontextLaufen(20s, [&] { return takt.anzahl() >= vorher + 2; });
  klicken("Tresor entsperren …");
  // "type" takes every argument after it as text, so the Return goes separately.
  tippen({"type", passphrase});
  tippen({"key", "Return"});
  const auto erhalten = [&](const RohServer& s) {
    for (const auto& a : s.anfragen())
      if (a.find("passphrase=" + passphrase) != std::string::npos) return true;
    return false;
  };
  EXPECT_TRUE(bisZu(30s, [&] { return erhalten(ehrlich) && erhalten(programmseite); })) << app.fehler();
  EXPECT_LE(takt.laengstePause(Uhr::now() - 30s), 5500ms);
  EXPECT_EQ(ziel.anfragen().size(), 0u) << ziel.anfragen().front();
  EXPECT_EQ(koeder.anfragen().size(), 0u) << koeder.anfragen().front();

  // A quit against a page that reports "offen" and never answers its lock says so, before the app ends.
  seiten.clear();
  ordnen();
  feindseiten({{json(R"({"fassung":"1.7.2_demo","tresor":"offen"})"), RohServer::Art::postSchweigt}})();
  bisZeile("Tresor sperren");
  klicken("Taler Wacht beenden");
  tippen({"key", "Return"});
  EXPECT_TRUE(
      bisZu(20s, [&] { return app.fehler().find("beim Beenden nicht gesperrt") != std::string::npos; }));
  EXPECT_TRUE(app.laeuft());
  tippen({"key", "Return"});
  EXPECT_TRUE(endeteMit(app.warten(10s), 0)) << app.fehler();
  EXPECT_EQ(app.fehler().find("Sanitizer"), std::string::npos) << app.fehler();
  EXPECT_EQ(app.fehler().find(passphrase), std::string::npos);
}

}  // namespace
}  // namespace tw
