#include "helfer/roh_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace tw {
namespace {

int gebunden(sockaddr_in& adr) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  adr = {};
  adr.sin_family = AF_INET;
  adr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t laenge = sizeof adr;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&adr), sizeof adr) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&adr), &laenge) != 0)
    throw std::runtime_error("socket");
  return fd;
}

// Waits for the socket or the stop pipe; true when the socket is ready.
bool bereit(int fd, int halt, short was) {
  pollfd p[2] = {{fd, was, 0}, {halt, POLLIN, 0}};
  return ::poll(p, 2, -1) > 0 && !(p[1].revents & POLLIN) && (p[0].revents & (was | POLLHUP | POLLERR));
}

std::size_t inhaltsLaenge(const std::string& kopf) {
  std::string klein = kopf;
  std::transform(klein.begin(), klein.end(), klein.begin(), ::tolower);
  const auto pos = klein.find("\r\ncontent-length:");
  return pos == std::string::npos ? 0 : std::stoul(klein.substr(pos + 17));
}

}  // namespace

RohServer::RohServer(std::string antwort, Art art) : antwort_(std::move(antwort)), art_(art) {
  sockaddr_in adr;
  horcher_ = gebunden(adr);
  port_ = ntohs(adr.sin_port);
  if (::listen(horcher_, 16) != 0 || ::pipe2(halt_, O_CLOEXEC) != 0) throw std::runtime_error("listen");
  annehmer_ = std::thread([this] { annehmen(); });
}

RohServer::~RohServer() {
  (void)!::write(halt_[1], "x", 1);
  annehmer_.join();
  for (auto& t : verbindungen_) t.join();
  ::close(horcher_);
  ::close(halt_[0]);
  ::close(halt_[1]);
}

std::string RohServer::adresse(std::string_view pfad) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(pfad);
}

std::vector<std::string> RohServer::anfragen() const {
  std::lock_guard lock(mutex_);
  return anfragen_;
}

void RohServer::annehmen() {
  while (bereit(horcher_, halt_[0], POLLIN)) {
    const int verbindung = ::accept4(horcher_, nullptr, nullptr, SOCK_CLOEXEC);
    if (verbindung >= 0) verbindungen_.emplace_back([this, verbindung] { bedienen(verbindung); });
  }
}

void RohServer::bedienen(int verbindung) {
  std::string anfrage;
  char puffer[4096];
  std::size_t kopfEnde = std::string::npos;
  while (bereit(verbindung, halt_[0], POLLIN)) {
    const ssize_t n = ::read(verbindung, puffer, sizeof puffer);
    if (n <= 0) break;
    anfrage.append(puffer, n);
    if (kopfEnde == std::string::npos) kopfEnde = anfrage.find("\r\n\r\n");
    if (kopfEnde != std::string::npos &&
        anfrage.size() >= kopfEnde + 4 + inhaltsLaenge(anfrage.substr(0, kopfEnde)))
      break;
  }
  {
    std::lock_guard lock(mutex_);
    anfragen_.push_back(anfrage);
  }
  if (art_ == Art::antworten) {
    std::string_view rest = antwort_;
    while (!rest.empty() && bereit(verbindung, halt_[0], POLLOUT)) {
      const ssize_t n = ::send(verbindung, rest.data(), rest.size(), MSG_NOSIGNAL);
      if (n <= 0) break;
      rest.remove_prefix(n);
    }
  } else if (art_ == Art::troepfeln) {
    const std::string kopf = "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n";
    (void)!::send(verbindung, kopf.data(), kopf.size(), MSG_NOSIGNAL);
    pollfd p{halt_[0], POLLIN, 0};
    while (::poll(&p, 1, 100) == 0 && ::send(verbindung, " ", 1, MSG_NOSIGNAL) == 1) {
    }
  } else {
    pollfd p{halt_[0], POLLIN, 0};
    ::poll(&p, 1, -1);
  }
  ::close(verbindung);
}

std::string httpAntwort(int status, std::string_view typ, std::string_view koerper,
                        std::string_view weitereKopfzeilen) {
  return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Type: " + std::string(typ) +
         "\r\nContent-Length: " + std::to_string(koerper.size()) + "\r\nConnection: close\r\n" +
         std::string(weitereKopfzeilen) + "\r\n" + std::string(koerper);
}

int freierPort() {
  sockaddr_in adr;
  const int fd = gebunden(adr);
  ::close(fd);
  return ntohs(adr.sin_port);
}

}  // namespace tw
