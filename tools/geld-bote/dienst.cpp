#include "dienst.h"

#include <fcntl.h>
#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <optional>
#include <thread>

#include "app/dateien.h"
#include "melden.h"
#include "schluessel.h"
#include "seiten.h"
#include "tresor.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

// httplib's default adds SO_REUSEPORT, which would let a second server share
// a port in use; the stand-in must fail then instead.
void nurAdresseWiederverwenden(int sock) {
  int ja = 1;
  ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &ja, sizeof ja);
}

// schreibenPrivat is silent, so the text is read back.
bool ablegen(std::string_view text, const fs::path& datei) {
  schreibenPrivat(text, datei);
  if (lesen(datei) == text) return true;
  melden("kann " + datei.string() + " nicht schreiben");
  return false;
}

bool vorhanden(const fs::path& datei) {
  std::error_code fehler;
  return fs::exists(fs::symlink_status(datei, fehler));
}

// Leaves a fresh key in the file unless there is one. The file appears whole
// or not at all (a link to a finished file, which fails when the name is
// taken), so servers starting together all take the one key it then holds.
bool schluesselAnlegen(const fs::path& datei) {
  const std::string neu = zufallsHex(16);
  std::string entwurf = (datei.parent_path() / ("." + datei.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkostemp(entwurf.data(), O_CLOEXEC);
  if (fd >= 0) {
    const bool geschrieben =
        ::fchmod(fd, 0600) == 0 && ::write(fd, neu.data(), neu.size()) == static_cast<ssize_t>(neu.size());
    if (::close(fd) == 0 && geschrieben) ::link(entwurf.c_str(), datei.c_str());
    ::unlink(entwurf.c_str());
  }
  if (vorhanden(datei)) return true;
  melden("kann " + datei.string() + " nicht schreiben");
  return false;
}

// The program's page key lives in the config folder and outlasts restarts.
std::optional<std::string> programmPraefix() {
  const fs::path datei = konfigOrdner() / "token";
  if (!vorhanden(datei) && !schluesselAnlegen(datei)) return std::nullopt;
  auto schluessel = lesen(datei);
  if (!schluessel || !brauchbarerSchluessel(*schluessel, 128)) {
    melden("token ist kein brauchbarer Schlüssel; ein neuer wird angelegt");
    schluessel = zufallsHex(16);
    if (!ablegen(*schluessel, datei)) return std::nullopt;
  }
  return "/t/" + *schluessel + "/";
}

// An instance serves below its key, or at the root when the file holds
// something the menu app would not take as a key either.
std::optional<std::string> instanzPraefix() {
  const fs::path datei = zustandOrdner() / "seite.schluessel";
  if (!vorhanden(datei) && !schluesselAnlegen(datei)) return std::nullopt;
  const auto schluessel = lesen(datei);
  if (schluessel && brauchbarerSchluessel(*schluessel)) return "/t/" + *schluessel + "/";
  melden("seite.schluessel ist kein brauchbarer Schlüssel; die Seiten liegen unter /");
  return "/";
}

// Files that announce this process to the menu app; written once it listens.
// The program also leaves its version, so that the start script can tell
// whether the program that runs is the bundle's own.
bool ankuendigen(const Aufruf& aufruf, int port) {
  const std::string pid = std::to_string(::getpid());
  if (aufruf.rolle == Rolle::instanz) {
    privatenOrdnerAnlegen(zustandOrdner() / "instanzen");
    return ablegen(std::to_string(port), zustandOrdner() / "instanzen" / (pid + ".port"));
  }
  const std::string adresse = "https://" + zufallsHex(6) + ".tunnel.geld-bote.example";
  schreibenPrivat(aufruf.fassung, zustandOrdner() / "tunnel.fassung");
  return ablegen(adresse, zustandOrdner() / "tunnel.adresse") && ablegen(pid, zustandOrdner() / "tunnel.pid");
}

void abmelden(Rolle rolle) {
  const std::string pid = std::to_string(::getpid());
  std::error_code fehler;
  if (rolle == Rolle::instanz) {
    fs::remove(zustandOrdner() / "instanzen" / (pid + ".port"), fehler);
  } else if (lesen(zustandOrdner() / "tunnel.pid") == pid) {
    // A newer program may have taken over the files meanwhile.
    fs::remove(zustandOrdner() / "tunnel.pid", fehler);
    fs::remove(zustandOrdner() / "tunnel.fassung", fehler);
  }
}

}  // namespace

int dienstAusfuehren(const Aufruf& aufruf) {
  // Blocked in every thread, so that only the waiting thread below takes them.
  sigset_t stopSignale;
  ::sigemptyset(&stopSignale);
  ::sigaddset(&stopSignale, SIGTERM);
  ::sigaddset(&stopSignale, SIGINT);
  ::pthread_sigmask(SIG_BLOCK, &stopSignale, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  httplib::Server server;
  server.set_socket_options(nurAdresseWiederverwenden);
  const int port = aufruf.port == 0 ? server.bind_to_any_port("127.0.0.1")
                                    : (server.bind_to_port("127.0.0.1", aufruf.port) ? aufruf.port : -1);
  if (port <= 0) {
    melden(aufruf.port == 0 ? std::string("kein freier Port auf 127.0.0.1")
                            : "Port " + std::to_string(aufruf.port) + " auf 127.0.0.1 ist nicht frei");
    return 1;
  }

  privatenOrdnerAnlegen(zustandOrdner());
  if (aufruf.rolle == Rolle::programm) privatenOrdnerAnlegen(konfigOrdner());
  const auto praefix = aufruf.rolle == Rolle::programm ? programmPraefix() : instanzPraefix();
  if (!praefix) return 1;
  Tresor tresor(konfigOrdner() / "zugaenge.enc", aufruf.minuten, aufruf.minutenlaenge);
  seitenAnmelden(server, {*praefix, port, aufruf.fassung, zustandOrdner() / "tunnel.adresse"}, tresor);
  if (!ankuendigen(aufruf, port)) {
    abmelden(aufruf.rolle);
    return 1;
  }
  melden(std::string(aufruf.rolle == Rolle::programm ? "Programm" : "Instanz") +
         " hört auf 127.0.0.1:" + std::to_string(port));
  std::cout << "bereit " << port << std::endl;

  std::atomic<bool> fertig{false};
  std::atomic<bool> signalErhalten{false};
  std::thread wache([&] {
    int signal = 0;
    ::sigwait(&stopSignale, &signal);
    if (fertig) return;
    signalErhalten = true;
    melden(signal == SIGINT ? "SIGINT: beende" : "SIGTERM: beende");
    // stop() has no effect before the server loop runs.
    while (!fertig && !server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds{5});
    server.stop();
  });
  server.listen_after_bind();
  fertig = true;
  ::pthread_kill(wache.native_handle(), SIGTERM);
  wache.join();

  abmelden(aufruf.rolle);
  if (!signalErhalten) {
    melden("der Server ist unerwartet beendet");
    return 1;
  }
  return 0;
}

}  // namespace tw
