#pragma once
// The server's addresses below the page prefix: the vault's JSON interface
// for the menu app and the web pages.

#include <filesystem>
#include <string>

#include "tresor.h"

namespace httplib {
class Server;
}

namespace tw {

struct Seitenrahmen {
  std::string praefix;                 // "/t/<key>/", or "/"
  int port = 0;                        // the port the server listens on
  std::string fassung;                 // the version it reports
  std::filesystem::path adresseDatei;  // where the program leaves its public address
};

// Bodies are a form with one passphrase; anything larger is refused.
inline constexpr std::size_t groessterKoerper = 64 * 1024;

// Installs every handler. `tresor` must outlive the server.
void seitenAnmelden(httplib::Server& server, const Seitenrahmen& rahmen, Tresor& tresor);

}  // namespace tw
