#include "helfer/roh_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace tw {
namespace {

int gebunden(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in adr{.sin_family = AF_INET, .sin_addr = {htonl(INADDR_LOOPBACK)}};
  socklen_t laenge = sizeof adr;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&adr), sizeof adr) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&adr), &laenge) != 0)
    throw std::runtime_error("socket");
  port = ntohs(adr.sin_port);
  return fd;
}

// Waits for the socket or the stop pipe; true when the socket is ready.
bool bereit(int fd, int halt, short was) {
  pollfd p[2] = {{fd, was, 0}, {halt, POLLIN, 0}};
  return ::poll(p, 2, -1) > 0 && !(p[1].revents & POLLIN) && (p[0].revents & (was | POLLHUP | POLLERR));
}

}  // namespace

RohServer::RohServer(std::string antwort, Art art) : antwort_(std::move(antwort)), art_(art) {
  horcher_ = gebunden(port_);
  if (::listen(horcher_, 16) != 0 || ::pipe2(halt_, O_CLOEXEC) != 0) throw std::runtime_error("listen");
  annehmer_ = std::thread([this] {
    while (bereit(horcher_, halt_[0], POLLIN))
      if (const int v = ::accept4(horcher_, nullptr, nullptr, SOCK_CLOEXEC); v >= 0)
        verbindungen_.emplace_back([this, v] { bedienen(v); });
  });
}

RohServer::~RohServer() {
  (void)!::write(halt_[1], "x", 1);
  annehmer_.join();
  for (auto& t : verbindungen_) t.join();
  for (const int fd : {horcher_, halt_[0], halt_[1]}) ::close(fd);
}

std::vector<std::string> RohServer::anfragen() const {
  std::lock_guard lock(mutex_);
  return anfragen_;
}

void RohServer::bedienen(int verbindung) {
  std::string anfrage;
  char puffer[4096];
  while (bereit(verbindung, halt_[0], POLLIN)) {
    const ssize_t n = ::read(verbindung, puffer, sizeof puffer);
    if (n <= 0) break;
    anfrage.append(puffer, n);
    const auto kopfEnde = anfrage.find("\r\n\r\n");
    const char* laenge = ::strcasestr(anfrage.c_str(), "\r\ncontent-length:");
    if (kopfEnde != std::string::npos &&
        anfrage.size() >=
            kopfEnde + 4 + (laenge && laenge < anfrage.c_str() + kopfEnde ? std::atoi(laenge + 17) : 0))
      break;
  }
  {
    std::lock_guard lock(mutex_);
    anfragen_.push_back(anfrage);
  }
  std::string_view rest = antwort_;
  if (art_ == Art::troepfeln) rest = "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n";
  while (art_ != Art::schweigen && !rest.empty() && bereit(verbindung, halt_[0], POLLOUT)) {
    const ssize_t n = ::send(verbindung, rest.data(), rest.size(), MSG_NOSIGNAL);
    if (n <= 0) break;
    rest.remove_prefix(n);
  }
  // Silent: held open until the end; trickling: one byte every 100 ms.
  pollfd halt{halt_[0], POLLIN, 0};
  while (art_ != Art::antworten && ::poll(&halt, 1, art_ == Art::troepfeln ? 100 : -1) == 0 &&
         ::send(verbindung, " ", 1, MSG_NOSIGNAL) == 1) {
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
  int port = 0;
  ::close(gebunden(port));
  return port;
}

}  // namespace tw
