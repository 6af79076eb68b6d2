#include "platform/linux/fensterkanal.h"

#include <glib-unix.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tw {
namespace {

// Pages and the app's own HTML are a few kilobytes; anything near this is not ours.
constexpr std::uint32_t groessteNachricht = 8u << 20;
constexpr std::size_t groessterStau = 16u << 20;

void zahlAnhaengen(std::string& ziel, std::uint32_t zahl) {
  for (int i = 0; i < 4; ++i) ziel.push_back(static_cast<char>((zahl >> (8 * i)) & 0xff));
}

std::uint32_t zahlLesen(const std::string& text, std::size_t ab) {
  std::uint32_t zahl = 0;
  for (int i = 0; i < 4; ++i)
    zahl |= static_cast<std::uint32_t>(static_cast<unsigned char>(text[ab + i])) << (8 * i);
  return zahl;
}

}  // namespace

std::string verpacken(const Nachricht& nachricht) {
  std::string koerper;
  zahlAnhaengen(koerper, static_cast<std::uint32_t>(nachricht.teile.size() + 1));
  auto feld = [&](const std::string& text) {
    zahlAnhaengen(koerper, static_cast<std::uint32_t>(text.size()));
    koerper += text;
  };
  feld(nachricht.art);
  for (const auto& teil : nachricht.teile) feld(teil);
  std::string rahmen;
  zahlAnhaengen(rahmen, static_cast<std::uint32_t>(koerper.size()));
  return rahmen + koerper;
}

std::optional<Nachricht> entpacken(std::string& puffer, bool& kaputt) {
  if (puffer.size() < 4) return std::nullopt;
  const std::uint32_t laenge = zahlLesen(puffer, 0);
  if (laenge > groessteNachricht || laenge < 4) {
    kaputt = true;
    return std::nullopt;
  }
  if (puffer.size() < 4 + std::size_t{laenge}) return std::nullopt;
  std::size_t pos = 4;
  const std::size_t ende = 4 + std::size_t{laenge};
  const std::uint32_t anzahl = zahlLesen(puffer, pos);
  pos += 4;
  std::vector<std::string> felder;
  for (std::uint32_t i = 0; i < anzahl; ++i) {
    if (ende - pos < 4) break;
    const std::uint32_t n = zahlLesen(puffer, pos);
    pos += 4;
    if (n > ende - pos) break;
    felder.emplace_back(puffer, pos, n);
    pos += n;
  }
  if (felder.size() != anzahl || anzahl == 0 || pos != ende) {
    kaputt = true;
    return std::nullopt;
  }
  puffer.erase(0, ende);
  Nachricht nachricht{std::move(felder.front())};
  nachricht.teile.assign(std::make_move_iterator(felder.begin() + 1), std::make_move_iterator(felder.end()));
  return nachricht;
}

Fensterkanal::Fensterkanal(int fd, std::function<void(Nachricht)> empfangen, std::function<void()> ende)
    : fd_(fd), empfangen_(std::move(empfangen)), ende_(std::move(ende)) {
  g_unix_set_fd_nonblocking(fd_, TRUE, nullptr);
  quelle_ = g_unix_fd_add(fd_, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), bereit, this);
}

Fensterkanal::~Fensterkanal() {
  if (zerstoert_) *zerstoert_ = true;
  if (quelle_) g_source_remove(quelle_);
  if (fd_ >= 0) ::close(fd_);
}

bool Fensterkanal::senden(const Nachricht& nachricht) {
  if (fd_ < 0 || ausgang_.size() > groessterStau) return false;
  ausgang_ += verpacken(nachricht);
  schreiben();
  return fd_ >= 0;
}

void Fensterkanal::schreiben() {
  while (fd_ >= 0 && !ausgang_.empty()) {
    const ssize_t n = ::send(fd_, ausgang_.data(), ausgang_.size(), MSG_NOSIGNAL);
    if (n > 0) {
      ausgang_.erase(0, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    // The other side has gone; its end is reported by the reading side.
    ausgang_.clear();
    break;
  }
  // Waits for room only while something is left to write.
  const bool warten = fd_ >= 0 && !ausgang_.empty();
  if (warten != schreibtGerade_ && quelle_) {
    schreibtGerade_ = warten;
    g_source_remove(quelle_);
    const auto bedingung = static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR | (warten ? G_IO_OUT : 0));
    quelle_ = g_unix_fd_add(fd_, bedingung, bereit, this);
  }
}

void Fensterkanal::leeren(int frist_ms) {
  const gint64 bis = g_get_monotonic_time() + gint64{frist_ms} * 1000;
  while (fd_ >= 0 && !ausgang_.empty()) {
    const gint64 rest = (bis - g_get_monotonic_time()) / 1000;
    if (rest <= 0) break;
    pollfd p{.fd = fd_, .events = POLLOUT, .revents = 0};
    if (::poll(&p, 1, static_cast<int>(rest)) < 0 && errno != EINTR) break;
    schreiben();
  }
}

gboolean Fensterkanal::bereit(gint, GIOCondition bedingung, gpointer selbst) {
  auto* k = static_cast<Fensterkanal*>(selbst);
  if (bedingung & G_IO_OUT) k->schreiben();
  if (!(bedingung & (G_IO_IN | G_IO_HUP | G_IO_ERR))) return G_SOURCE_CONTINUE;
  char stueck[65536];
  bool zuEnde = false;
  for (;;) {
    const ssize_t n = ::recv(k->fd_, stueck, sizeof stueck, 0);
    if (n > 0) {
      k->eingang_.append(stueck, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    zuEnde = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
    break;
  }
  bool zerstoert = false;
  k->zerstoert_ = &zerstoert;
  bool kaputt = false;
  // Each message may run a nested main loop (a dialog); the channel may be gone after it.
  while (!zerstoert && k->fd_ >= 0) {
    auto nachricht = entpacken(k->eingang_, kaputt);
    if (!nachricht) break;
    k->empfangen_(std::move(*nachricht));
  }
  if (zerstoert) return G_SOURCE_REMOVE;
  k->zerstoert_ = nullptr;
  if (kaputt || zuEnde) {
    k->beenden();
    return G_SOURCE_REMOVE;
  }
  return G_SOURCE_CONTINUE;
}

void Fensterkanal::beenden() {
  if (quelle_) g_source_remove(quelle_);
  quelle_ = 0;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  ausgang_.clear();
  if (auto ende = std::move(ende_)) ende();
}

}  // namespace tw
