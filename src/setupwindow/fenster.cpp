#include "setupwindow/fenster.h"

#include <algorithm>
#include <cctype>

#include "app/dateien.h"
#include "app/konstanten.h"
#include "app/protokoll.h"
#include "status/seitenregeln.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view kopf = "<!doctype html><html lang=\"de\"><meta charset=\"utf-8\">";
constexpr std::string_view fehlerKopf =
    "<!doctype html><html lang=\"de\"><meta charset=\"utf-8\">\n"
    "<body style=\"font: 15px -apple-system, sans-serif; color: #333; padding: 2em; max-width: 34em\">\n";

const std::string nichtErreichbar =
    std::string(fehlerKopf) +
    "<h2 style=\"font-weight: 600\">Die Seite ist nicht mehr erreichbar</h2>\n"
    "<p>Das Programm auf diesem Rechner läuft gerade nicht. Über das Symbol in der\n"
    "Menüleiste lässt es sich starten; danach „Einstellungen …“ neu öffnen.</p></body></html>";

const std::string antwortetNicht =
    std::string(fehlerKopf) +
    "<h2 style=\"font-weight: 600\">Die Seite antwortet nicht</h2>\n"
    "<p>Das Programm auf diesem Rechner ist gerade nicht erreichbar. Läuft Claude Desktop\n"
    "oder das Programm für ChatGPT &amp; Co.? Dann hilft ein neuer Versuch über das Menü.</p>\n"
    "<p style=\"color: #888; font-size: 13px\">";

// The scheme exactly as written, or empty when the text does not start with one.
std::string_view schemaVon(std::string_view adresse) {
  const auto doppelpunkt = adresse.find(':');
  if (doppelpunkt == 0 || doppelpunkt == std::string_view::npos) return {};
  const std::string_view schema = adresse.substr(0, doppelpunkt);
  const bool gueltig = std::isalpha(static_cast<unsigned char>(schema[0])) &&
                       std::all_of(schema.begin(), schema.end(), [](unsigned char c) {
                         return std::isalnum(c) || c == '+' || c == '-' || c == '.';
                       });
  return gueltig ? schema : std::string_view{};
}

std::string ersetzt(std::string text, std::string_view was, std::string_view wodurch) {
  for (auto stelle = text.find(was); stelle != std::string::npos;
       stelle = text.find(was, stelle + wodurch.size()))
    text.replace(stelle, was.size(), wodurch);
  return text;
}

// Text for a page: "&" and "<" can no longer start markup.
std::string alsHtmlText(std::string text) {
  return ersetzt(ersetzt(std::move(text), "&", "&amp;"), "<", "&lt;");
}

// The path with "~" for the home folder, as people write it.
std::string mitTilde(const std::filesystem::path& pfad, const std::filesystem::path& heim) {
  const auto rest = pfad.lexically_relative(heim);
  if (heim.empty() || rest.empty() || *rest.begin() == "..") return pfad.string();
  return (std::filesystem::path("~") / rest).string();
}

}  // namespace

const std::string Fenster::warteStil =
    "<style>body{font:15px -apple-system,sans-serif;color:#333;padding:3em 2em;max-width:34em;margin:0 "
    "auto;text-align:center}\n"
    "h2{font-weight:600;margin:1.2em 0 .4em}p{color:#666;line-height:1.5}\n"
    ".kreis{width:34px;height:34px;border:3px solid #ddd;border-top-color:#2f6f4f;border-radius:50%;margin:0 "
    "auto;animation:d 1s linear infinite}\n"
    "@keyframes d{to{transform:rotate(360deg)}}\n"
    "a.knopf{display:inline-block;margin-top:1.2em;padding:.55em "
    "1.1em;border-radius:8px;background:#2f6f4f;color:#fff;text-decoration:none}\n"
    "@media(prefers-color-scheme:dark){body{color:#eee;background:#1e1e1e}p{color:#aaa}.kreis{border-color:#"
    "444;border-top-color:#5fb08a}}</style>";

std::string schliessHinweisText(std::optional<std::int64_t> restminuten) {
  const std::string zeit =
      restminuten ? "noch " + std::to_string(*restminuten) + " Minuten" : "bis Du ihn sperrst";
  return "Der Tresor bleibt " + zeit +
         " offen, der Chat kann weiter Deine Konten abfragen. Sperren kannst Du ihn jederzeit über das "
         "Symbol "
         "in der Menüleiste — dort siehst Du auch, wie lange er noch offen ist.";
}

Fenster::Fenster(Webfenster& web, Dialoge& dialoge, Browser& browser, const Uhr& uhr, Fensterorte orte)
    : web_(web),
      dialoge_(dialoge),
      browser_(browser),
      uhr_(uhr),
      orte_(std::move(orte)),
      hinweisDatei_(orte_.konfigOrdner / "fenster-hinweis") {}

void Fenster::aufbauen() {
  gebaut_ = true;
  web_.aufbauen(Fensterbauplan{.titel = orte_.titel,
                               .benutzerAgent = "TalerWacht-Menue/" + std::string(FASSUNG),
                               .rahmenName = "einrichtungsfenster"},
                *this);
}

void Fenster::laden(const std::string& html) {
  if (!gebaut_) aufbauen();
  web_.htmlLaden(html);
  web_.nachVorne();
}

void Fenster::warten() {
  wartetSeit = uhr_.jetzt();
  langeGewartet = false;
  laden(std::string(kopf) + warteStil +
        "\n<body><div class=\"kreis\"></div><h2>Taler Wacht startet …</h2>\n"
        "<p>Einen Moment. Gleich geht es hier mit der Einrichtung weiter.</p></body></html>");
}

void Fenster::warteHinweisVerlaengert() {
  langeGewartet = true;
  laden(std::string(kopf) + warteStil +
        "\n<body><h2>Das dauert länger als üblich</h2>\n"
        "<p>Der Server auf diesem Rechner hat sich noch nicht gemeldet. Das Protokoll steht in\n" +
        alsHtmlText(mitTilde(orte_.zustandOrdner / "start.log", orte_.heim)) +
        ".</p>\n"
        "<a class=\"knopf\" href=\"http://127.0.0.1/neu-starten\">Noch einmal starten</a></body></html>");
}

void Fenster::zeigen(const Url& url, std::function<void()> gezeigt) {
  wartetSeit.reset();
  // Loaded now, it would be hidden with the window the notice is about.
  if (hinweisOffen_) {
    wartend_.emplace(url, std::move(gezeigt));
    return;
  }
  if (std::exchange(imBrowser_, false)) {
    imBrowser(url.text());
    if (gezeigt) gezeigt();
    return;
  }
  if (!gebaut_) aufbauen();
  letzteSeite_ = url;
  web_.seiteLaden(url.text(), 60s);
  web_.nachVorne();
  if (gezeigt) gezeigt();
}

bool Fenster::navigationErlauben(std::string_view adresse) {
  if (adresse.empty()) return false;
  const auto url = Url::aus(adresse);
  const bool lokal = url && loopback(*url);
  const std::string letzte = url ? url->letzteKomponente() : "";
  if (lokal && letzte == "neu-starten") {
    neuStarten();
    warten();
    return false;
  }
  if (lokal && letzte == "fenster-schliessen") {
    bewusstGeschlossen = true;
    hinweisGesehen();
    if (gebaut_) web_.schliessen();
    return false;
  }
  const std::string_view schema = schemaVon(adresse);
  if (schema == "about") return true;
  if (url && lokaleSeite(*url, erlaubteSeiten)) return true;
  if (lokal) {
    web_.htmlLaden(nichtErreichbar);
    return false;
  }
  std::string klein(schema);
  std::transform(klein.begin(), klein.end(), klein.begin(), [](unsigned char c) { return std::tolower(c); });
  // An address that does not parse is not handed to another program either.
  if (url && (klein == "http" || klein == "https")) {
    imBrowser(std::string(adresse));
    return false;
  }
  protokollieren("Fenster lässt " + (schema.empty() ? std::string("?") : std::string(schema)) +
                 ": nicht durch");
  return false;
}

void Fenster::ladenFehlgeschlagen(std::string_view beschreibung) {
  web_.htmlLaden(antwortetNicht + alsHtmlText(std::string(beschreibung)) + "</p></body></html>");
}

void Fenster::geladen() {
  if (!orte_.seiteModus) return;
  schreibenPrivat("geladen " + web_.adresse() + "\n", orte_.zustandOrdner / "menue.fenster.log");
}

bool Fenster::sollSchliessen() {
  if (!bewusstGeschlossen && lesen(hinweisDatei_) != "gesehen") {
    const auto [offen, restminuten] = tresorOffen();
    if (offen) {
      // Escape keeps the vault as it is: only a click locks it.
      hinweisOffen_ = true;
      const Wahl wahl =
          dialoge_.zeigen(Hinweis{.nachricht = "Nur das Fenster ist zu — der Tresor bleibt offen",
                                  .text = schliessHinweisText(restminuten),
                                  .knoepfe = {"Verstanden", "Tresor jetzt sperren"},
                                  .tresorBild = true,
                                  .ersterAufEscape = true});
      hinweisOffen_ = false;
      // Not shown (another alert is open) or closed by the app: the notice is still due.
      if (wahl.knopf != keinKnopf) hinweisGesehen();
      if (wahl.knopf == ersterKnopf + 1) sperren();
      // Without an answer, or with a page asked for meanwhile, the window stays.
      if (wahl.knopf == keinKnopf || wartend_) {
        wartendZeigen();
        return false;
      }
    }
  }
  bewusstGeschlossen = false;
  return true;
}

void Fenster::fensterAusgefallen() {
  // Closing the window anyway: nothing more to say.
  if (hinweisOffen_) return;
  hinweisOffen_ = true;
  const Wahl wahl = dialoge_.zeigen(
      Hinweis{.nachricht = "Das Einrichtungsfenster ließ sich nicht öffnen",
              .text = "Die Seiten der Einrichtung lassen sich stattdessen im Standardbrowser öffnen.",
              .knoepfe = {"Im Browser öffnen", "Abbrechen"}});
  hinweisOffen_ = false;
  // A page asked for meanwhile goes where the user chose; after "Abbrechen"
  // the next page tries the window again.
  auto wartend = std::exchange(wartend_, std::nullopt);
  if (wahl.knopf != ersterKnopf) return;
  const std::optional<Url> seite = wartend ? std::optional(wartend->first) : letzteSeite_;
  if (!seite) {
    imBrowser_ = true;
    return;
  }
  imBrowser(seite->text());
  if (wartend && wartend->second) wartend->second();
}

void Fenster::imBrowser(const std::string& adresse) {
  if (browser_.oeffnen(adresse)) return;
  dialoge_.zeigen(Hinweis{.nachricht = "Der Standardbrowser ließ sich nicht öffnen",
                          .text = "Die Seite steht unter " + adresse + ".",
                          .knoepfe = {"OK"}});
}

void Fenster::wartendZeigen() {
  if (!wartend_) return;
  auto [url, gezeigt] = std::move(*wartend_);
  wartend_.reset();
  zeigen(url, std::move(gezeigt));
}

void Fenster::hinweisGesehen() {
  privatenOrdnerAnlegen(orte_.konfigOrdner);
  schreibenPrivat("gesehen", hinweisDatei_);
}

}  // namespace tw
