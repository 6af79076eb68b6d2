#pragma once
// A bare HTTP peer on 127.0.0.1: records every request as raw bytes and
// answers as told — at once, never, or one byte at a time without end.

#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tw {

class RohServer {
 public:
  enum class Art { antworten, schweigen, troepfeln };

  explicit RohServer(std::string antwort, Art art = Art::antworten);
  ~RohServer();

  int port() const { return port_; }
  std::string adresse(std::string_view pfad = "/") const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(pfad);
  }
  std::vector<std::string> anfragen() const;

 private:
  void bedienen(int verbindung);

  const std::string antwort_;
  const Art art_;
  int horcher_ = -1;
  int port_ = 0;
  int halt_[2] = {-1, -1};
  mutable std::mutex mutex_;
  std::vector<std::string> anfragen_;
  std::vector<std::thread> verbindungen_;
  std::thread annehmer_;
};

// A complete HTTP/1.1 answer that closes the connection.
std::string httpAntwort(int status, std::string_view typ, std::string_view koerper,
                        std::string_view weitereKopfzeilen = "");

// A port on 127.0.0.1 where nothing listens (refused at once).
int freierPort();

}  // namespace tw
