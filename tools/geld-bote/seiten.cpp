#include "seiten.h"

#include <httplib.h>

#include <nlohmann/json.hpp>

#include "app/dateien.h"
#include "formular.h"
#include "html.h"
#include "melden.h"

namespace tw {
namespace {

using Anfrage = httplib::Request;
using Antwort = httplib::Response;

// Routes are regular expressions; the prefix is matched literally.
std::string muster(std::string_view pfad) {
  std::string ergebnis;
  for (const char c : pfad) {
    if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) ergebnis += '\\';
    ergebnis += c;
  }
  return ergebnis;
}

void json(Antwort& antwort, int status, const nlohmann::json& inhalt) {
  antwort.status = status;
  antwort.set_content(inhalt.dump(), "application/json");
}

void fehler(Antwort& antwort, int status, std::string_view text) {
  json(antwort, status, {{"fehler", text}});
}

void seite(Antwort& antwort, std::string inhalt) {
  antwort.set_content(std::move(inhalt), "text/html; charset=utf-8");
}

nlohmann::json lageJson(const Lage& lage) {
  static constexpr const char* namen[] = {"leer", "zu", "offen"};
  nlohmann::json ergebnis{{"tresor", namen[static_cast<int>(lage.stand)]}};
  if (lage.stand == Stand::offen) ergebnis["restminuten"] = lage.restminuten;
  return ergebnis;
}

// Only the server's own pages, loaded from a loopback address, may use the
// vault. A plain browser form may leave out Sec-Fetch-Site, never Origin.
bool vonEigenerSeite(const Anfrage& anfrage, int port, bool formular) {
  if (anfrage.has_header("Sec-Fetch-Site")) {
    if (anfrage.get_header_value("Sec-Fetch-Site") != "same-origin") return false;
  } else if (!formular) {
    return false;
  }
  const std::string herkunft = anfrage.get_header_value("Origin");
  const std::string endung = ":" + std::to_string(port);
  return herkunft == "http://127.0.0.1" + endung || herkunft == "http://localhost" + endung ||
         herkunft == "http://[::1]" + endung;
}

using Aktion = void (*)(Antwort&, Tresor&, std::string_view);

void entsperren(Antwort& antwort, Tresor& tresor, std::string_view koerper) {
  GeheimerText passphrase(koerper.size());
  const Feld feld = formularFeld(koerper, "passphrase", passphrase);
  if (feld != Feld::da) return fehler(antwort, 400, "Feld \"passphrase\" fehlt");
  switch (tresor.entsperren(passphrase.text())) {
    case Ergebnis::offen:
      melden("Tresor entsperrt");
      return json(antwort, 200, lageJson(tresor.lage()));
    case Ergebnis::falsch:
      melden("Entsperren abgelehnt: falsche Passphrase");
      return fehler(antwort, 403, "Passphrase falsch");
    case Ergebnis::leer:
      return fehler(antwort, 409, "Tresor ist noch nicht eingerichtet");
    default:
      return fehler(antwort, 500, "Tresor-Datei ist nicht lesbar");
  }
}

void sperren(Antwort& antwort, Tresor& tresor, std::string_view) {
  const Lage lage = tresor.sperren();
  if (lage.stand != Stand::leer) melden("Tresor gesperrt");
  json(antwort, 200, lageJson(lage));
}

void einrichten(Antwort& antwort, Tresor& tresor, std::string_view koerper) {
  GeheimerText passphrase(koerper.size());
  const Feld feld = formularFeld(koerper, "passphrase", passphrase);
  if (feld != Feld::da || passphrase.text().empty()) return fehler(antwort, 400, "Passphrase fehlt");
  switch (tresor.einrichten(passphrase.text())) {
    case Ergebnis::offen:
      melden("Tresor eingerichtet");
      return json(antwort, 200, lageJson(tresor.lage()));
    case Ergebnis::schonEingerichtet:
      return fehler(antwort, 409, "Tresor ist schon eingerichtet");
    default:
      return fehler(antwort, 500, "Tresor konnte nicht angelegt werden");
  }
}

}  // namespace

void seitenAnmelden(httplib::Server& server, const Seitenrahmen& rahmen, Tresor& tresor) {
  const std::string& p = rahmen.praefix;
  server.set_payload_max_length(groessterKoerper);
  server.set_error_handler([](const Anfrage&, Antwort& antwort) {
    if (antwort.body.empty())
      antwort.set_content(
          antwort.status == 404 ? "Nicht gefunden\n" : "Fehler " + std::to_string(antwort.status) + "\n",
          "text/plain; charset=utf-8");
  });

  server.Get(muster(p), [rahmen, &tresor](const Anfrage&, Antwort& antwort) {
    seite(antwort, uebersichtSeite(rahmen.praefix, rahmen.fassung, tresor.lage()));
  });
  server.Get(muster(p + "chatbots"), [rahmen](const Anfrage&, Antwort& antwort) {
    seite(antwort, chatbotSeite(rahmen.praefix, lesen(rahmen.adresseDatei)));
  });
  // The menu app's web view acts on these itself; a browser just sees a note.
  server.Get(muster(p + "neu-starten"), [](const Anfrage&, Antwort& antwort) {
    seite(antwort, kurzeSeite("Neu starten", "Das Menü-Programm startet den Geld-Boten neu."));
  });
  server.Get(muster(p + "fenster-schliessen"), [](const Anfrage&, Antwort& antwort) {
    seite(antwort, kurzeSeite("Fenster schließen", "Dieses Fenster kann geschlossen werden."));
  });

  server.Get(muster(p + "zustand"), [rahmen, &tresor](const Anfrage& anfrage, Antwort& antwort) {
    if (!vonEigenerSeite(anfrage, rahmen.port, false)) {
      melden("Anfrage an \"zustand\" abgewiesen: nicht von der eigenen Seite");
      return fehler(antwort, 403, "Anfrage nicht von der eigenen Seite");
    }
    nlohmann::json inhalt = lageJson(tresor.lage());
    inhalt["fassung"] = rahmen.fassung;
    json(antwort, 200, inhalt);
  });

  const std::pair<const char*, Aktion> aktionen[] = {
      {"entsperren", entsperren}, {"sperren", sperren}, {"einrichten", einrichten}};
  for (const auto& [name, aktion] : aktionen) {
    const bool formular = std::string_view(name) == "einrichten";
    server.Post(
        muster(p + name),
        httplib::Server::HandlerWithContentReader(
            [rahmen, &tresor, name, aktion, formular](const Anfrage& anfrage, Antwort& antwort,
                                                      const httplib::ContentReader& leser) {
              // Read straight into a buffer that is wiped afterwards.
              GeheimerText koerper(groessterKoerper);
              bool zuGross = false;
              // Without a length or chunks there is no body; reading would wait for the client.
              const bool mitKoerper = anfrage.has_header("Content-Length") ||
                                      anfrage.get_header_value("Transfer-Encoding") == "chunked";
              const bool gelesen =
                  !mitKoerper || leser([&koerper, &zuGross](const char* daten, std::size_t laenge) {
                    zuGross = !koerper.anhaengen({daten, laenge});
                    return !zuGross;
                  });
              // httplib refuses an announced length above the limit itself, with 413.
              if (zuGross || antwort.status == 413) return fehler(antwort, 413, "Anfrage zu groß");
              if (!gelesen) return fehler(antwort, 400, "Anfrage unvollständig");
              if (!vonEigenerSeite(anfrage, rahmen.port, formular)) {
                melden(std::string("Anfrage an \"") + name + "\" abgewiesen: nicht von der eigenen Seite");
                return fehler(antwort, 403, "Anfrage nicht von der eigenen Seite");
              }
              aktion(antwort, tresor, koerper.text());
              // A browser that posted the setup form goes back to the overview, not to JSON.
              if (formular && antwort.status == 200 &&
                  anfrage.get_header_value("Accept").find("text/html") != std::string::npos)
                antwort.set_redirect(rahmen.praefix, 303);
            }));
  }
}

}  // namespace tw
