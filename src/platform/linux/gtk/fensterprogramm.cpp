#include "platform/linux/gtk/fensterprogramm.h"

#include <glib-unix.h>
#include <gtk/gtk.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "app/protokoll.h"
#include "platform/linux/gtk/gtk_dialoge.h"
#include "setupwindow/fensterregeln.h"

namespace tw {

namespace {

// After its channel has closed, a program gets this long to end on its own.
constexpr guint nachfrist = 2000;

}  // namespace

// A started program, watched through a pidfd until it has been reaped.
struct Fensterprogramm::Kind {
  Fensterprogramm* eltern;
  pid_t pid;
  int pidfd = -1;
  guint quelle = 0, frist = 0;
  // Its end was asked for (closed, replaced, quitting): not a failure.
  bool erwartet = false;
  // Why it was ended, when this side ended it.
  std::string grund{};

  ~Kind() {
    if (quelle) g_source_remove(quelle);
    if (frist) g_source_remove(frist);
    if (pidfd >= 0) ::close(pidfd);
  }
  void toeten(std::string warum) {
    if (grund.empty()) grund = std::move(warum);
    ::kill(pid, SIGKILL);
  }
  // Without its channel it should end by itself; one that does not is ended.
  void nachfristSetzen() {
    if (frist) return;
    frist = g_timeout_add(
        nachfrist,
        +[](gpointer daten) -> gboolean {
          auto* k = static_cast<Kind*>(daten);
          k->frist = 0;
          k->toeten("das Fensterprogramm schloss den Kanal und lief weiter");
          return G_SOURCE_REMOVE;
        },
        this);
  }
  // Reaps it once it has ended; false while it runs.
  bool ernten(int& status) const { return ::waitpid(pid, &status, WNOHANG) == pid; }
};

Fensterprogramm::Starter Fensterprogramm::programm(std::filesystem::path ausfuehrbar) {
  return [ausfuehrbar = std::move(ausfuehrbar)](int ende, std::string& fehler) -> pid_t {
    const std::string pfad = ausfuehrbar.string(), kanal = "--kanal=3";
    const char* argv[] = {pfad.c_str(), kanal.c_str(), nullptr};
    const gint quelle[] = {ende}, ziel[] = {3};
    GPid pid = 0;
    GError* f = nullptr;
    const bool ok =
        g_spawn_async_with_pipes_and_fds(nullptr, argv, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr,
                                         -1, -1, -1, quelle, ziel, 1, &pid, nullptr, nullptr, nullptr, &f);
    ::close(ende);
    if (ok) return pid;
    fehler = f->message;
    g_error_free(f);
    return -1;
  };
}

Fensterprogramm::Fensterprogramm(Starter starter, std::filesystem::path rahmenDatei, Dauer startfrist)
    : starter_(std::move(starter)), rahmenDatei_(std::move(rahmenDatei)), startfrist_(startfrist) {}

Fensterprogramm::~Fensterprogramm() {
  beenden();
  if (meldeQuelle_) g_source_remove(meldeQuelle_);
}

void Fensterprogramm::aufbauen(const Fensterbauplan& plan, Webdelegat& delegat) {
  plan_ = plan;
  delegat_ = &delegat;
}

void Fensterprogramm::seiteLaden(const std::string& adresse, Dauer frist) {
  senden({"laden", {adresse, std::to_string(frist.count())}});
}

void Fensterprogramm::htmlLaden(const std::string& html) { senden({"html", {html}}); }

void Fensterprogramm::nachVorne() {
  // Behind an open alert (someone may be typing a passphrase into it), which
  // keeps the focus and is raised once the window is up.
  if (!sichtbareDialoge().empty()) {
    senden({"vorne", {"hinten", "0"}});
    return;
  }
  senden({"vorne", {"fokus", std::to_string(gtk_get_current_event_time())}});
}

void Fensterprogramm::schliessen() {
  if (stand_ == Stand::offen) kanal_->senden({"schliessen"});
}

bool Fensterprogramm::senden(Nachricht nachricht) {
  if (stand_ != Stand::offen && !starten()) return false;
  // A channel that has ended is reported with the program's exit status.
  if (!kanal_->offen()) return false;
  if (kanal_->senden(nachricht)) return true;
  ausgefallen("das Fensterprogramm nimmt keine Nachrichten mehr an");
  return false;
}

bool Fensterprogramm::starten() {
  if (meldet_ || !plan_) return false;
  // One that is still closing ends by itself once its channel is gone.
  loslassen();
  int enden[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, enden) != 0) {
    ausgefallen(std::string("kein Kanal: ") + std::strerror(errno));
    return false;
  }
  std::string fehler;
  const pid_t pid = starter_(enden[1], fehler);
  if (pid < 0) {
    ::close(enden[0]);
    ausgefallen("das Fensterprogramm ließ sich nicht starten: " + fehler);
    return false;
  }
  kanal_ = std::make_unique<Fensterkanal>(
      enden[0], [this](Nachricht n) { empfangen(std::move(n)); }, [this] { kanalZu(); });
  stand_ = Stand::offen;
  if (pid > 0) {
    auto kind = std::make_unique<Kind>(Kind{.eltern = this, .pid = pid});
    kind->pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (kind->pidfd >= 0)
      kind->quelle = g_unix_fd_add(
          kind->pidfd, G_IO_IN,
          +[](gint, GIOCondition, gpointer daten) -> gboolean {
            auto* k = static_cast<Kind*>(daten);
            int status = 0;
            if (!k->ernten(status)) return G_SOURCE_CONTINUE;
            k->quelle = 0;
            k->eltern->kindEndete(*k, wieBeendet(status));
            return G_SOURCE_REMOVE;
          },
          kind.get());
    aktuell_ = kind.get();
    kinder_.push_back(std::move(kind));
  }
  startQuelle_ = g_timeout_add(
      static_cast<guint>(startfrist_.count()),
      +[](gpointer selbst) -> gboolean {
        auto* p = static_cast<Fensterprogramm*>(selbst);
        p->startQuelle_ = 0;
        p->ausgefallen("keine Antwort auf den Start");
        return G_SOURCE_REMOVE;
      },
      this);
  kanal_->senden(
      {"aufbauen", {plan_->titel, plan_->benutzerAgent, rahmenDatei_.string(), plan_->rahmenName}});
  if (!kekse_.empty()) kanal_->senden({"kekse", kekse_});
  return true;
}

void Fensterprogramm::empfangen(Nachricht n) {
  const auto& t = n.teile;
  if (n.art == "bereit") {
    if (startQuelle_) g_source_remove(startQuelle_);
    startQuelle_ = 0;
  } else if (n.art == "frage" && t.size() == 2) {
    // The delegate may load another page or close the window from here; those
    // messages go out before the answer.
    const bool ja = delegat_->navigationErlauben(t[1]);
    if (kanal_) kanal_->senden({"antwort", {t[0], ja ? "1" : "0"}});
  } else if (n.art == "schliessfrage" && t.size() == 1) {
    // May show the closing notice, with the main loop running meanwhile.
    const bool ja = delegat_->sollSchliessen();
    if (!kanal_) return;
    if (ja) stand_ = Stand::schliessend;
    kanal_->senden({"antwort", {t[0], ja ? "1" : "0"}});
  } else if (n.art == "geladen" && t.size() == 1) {
    adresse_ = t[0];
    delegat_->geladen();
  } else if (n.art == "fehlgeschlagen" && t.size() == 1) {
    delegat_->ladenFehlgeschlagen(t[0]);
  } else if (n.art == "gezeigt") {
    for (GtkWidget* hinweis : sichtbareDialoge())
      if (gtk_widget_get_realized(hinweis)) gdk_window_raise(gtk_widget_get_window(hinweis));
  } else if (n.art == "kekse") {
    kekse_ = t;
  } else if (n.art == "ausgefallen" && t.size() == 1) {
    ausgefallen(t[0]);
  } else if (n.art != "zu") {
    protokollieren("Fensterprogramm: unbekannte Nachricht \"" + n.art.substr(0, 40) + "\"");
  }
}

void Fensterprogramm::kanalZu() {
  if (stand_ == Stand::schliessend) return loslassen();
  if (!aktuell_) return ausgefallen("der Kanal zum Fensterprogramm ist zu");
  // Its exit status says more than the channel: it is reported once reaped.
  aktuell_->nachfristSetzen();
}

void Fensterprogramm::kindEndete(Kind& kind, const std::string& wie) {
  const bool unerwartet = &kind == aktuell_ && !kind.erwartet && stand_ == Stand::offen;
  const std::string grund = kind.grund.empty() ? "das Fensterprogramm " + wie : kind.grund;
  if (&kind == aktuell_) aktuell_ = nullptr;
  kinder_.remove_if([&kind](const auto& p) { return p.get() == &kind; });
  if (unerwartet) ausgefallen(grund);
}

void Fensterprogramm::loslassen() {
  kanal_.reset();
  if (startQuelle_) g_source_remove(startQuelle_);
  startQuelle_ = 0;
  if (aktuell_) {
    aktuell_->nachfristSetzen();
    aktuell_->erwartet = true;
  }
  aktuell_ = nullptr;
  stand_ = Stand::aus;
}

void Fensterprogramm::ausgefallen(const std::string& grund) {
  if (meldet_) return;
  protokollieren("Einrichtungsfenster ausgefallen: " + grund);
  if (aktuell_) aktuell_->toeten(grund);
  loslassen();
  meldet_ = true;
  // Told from the main loop, not from inside a call of the window's owner.
  meldeQuelle_ = g_idle_add(
      +[](gpointer selbst) -> gboolean {
        auto* p = static_cast<Fensterprogramm*>(selbst);
        p->meldeQuelle_ = 0;
        if (p->delegat_) p->delegat_->fensterAusgefallen();
        p->meldet_ = false;
        return G_SOURCE_REMOVE;
      },
      this);
}

void Fensterprogramm::beenden() {
  // Its channel's end tells the program to save the frame and end.
  loslassen();
  const gint64 bis = g_get_monotonic_time() + gint64{nachfrist} * 1000;
  for (auto& kind : kinder_) {
    int status = 0;
    while (!kind->ernten(status)) {
      const gint64 rest = (bis - g_get_monotonic_time()) / 1000;
      pollfd p{.fd = kind->pidfd, .events = POLLIN, .revents = 0};
      if (rest <= 0 || kind->pidfd < 0 || ::poll(&p, 1, static_cast<int>(rest)) == 0) {
        ::kill(kind->pid, SIGKILL);
        ::waitpid(kind->pid, &status, 0);
        break;
      }
    }
  }
  kinder_.clear();
}

}  // namespace tw
