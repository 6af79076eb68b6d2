#include "html.h"

namespace tw {
namespace {

std::string html(std::string_view text) {
  std::string ergebnis;
  for (const char c : text) {
    switch (c) {
      case '&':
        ergebnis += "&amp;";
        break;
      case '<':
        ergebnis += "&lt;";
        break;
      case '>':
        ergebnis += "&gt;";
        break;
      case '"':
        ergebnis += "&quot;";
        break;
      case '\'':
        ergebnis += "&#39;";
        break;
      default:
        ergebnis += c;
    }
  }
  return ergebnis;
}

std::string rahmen(std::string_view titel, std::string_view inhalt) {
  return "<!DOCTYPE html>\n<html lang=\"de\">\n<head><meta charset=\"utf-8\"><title>" + html(titel) +
         "</title></head>\n<body>\n<h1>" + html(titel) + "</h1>\n" + std::string(inhalt) +
         "</body>\n</html>\n";
}

std::string_view standText(Stand stand) {
  switch (stand) {
    case Stand::leer:
      return "noch nicht eingerichtet";
    case Stand::zu:
      return "gesperrt";
    case Stand::offen:
      return "offen";
  }
  return "";
}

}  // namespace

std::string uebersichtSeite(std::string_view praefix, std::string_view fassung, const Lage& lage) {
  const std::string p = html(praefix);
  std::string inhalt =
      "<p>Fassung " + html(fassung) + "</p>\n<p id=\"tresor\">Tresor: " + std::string(standText(lage.stand));
  if (lage.stand == Stand::offen) inhalt += " (noch " + std::to_string(lage.restminuten) + " min)";
  inhalt += "</p>\n";
  if (lage.stand == Stand::leer)
    inhalt += "<form method=\"post\" action=\"" + p +
              "einrichten\">\n<label>Passphrase <input type=\"password\" name=\"passphrase\" required "
              "autocomplete=\"new-password\"></label>\n<button type=\"submit\">Tresor einrichten</button>\n"
              "</form>\n";
  inhalt += "<ul>\n<li><a href=\"" + p + "chatbots\">ChatGPT &amp; Co.</a></li>\n<li><a href=\"" + p +
            "neu-starten\">Neu starten</a></li>\n<li><a href=\"" + p +
            "fenster-schliessen\">Fenster schließen</a></li>\n</ul>\n";
  return rahmen("Geld-Bote", inhalt);
}

std::string chatbotSeite(std::string_view praefix, const std::optional<std::string>& adresse) {
  std::string inhalt = "<section id=\"chatgpt\">\n<h2>ChatGPT</h2>\n";
  if (adresse && !adresse->empty())
    inhalt += "<p>Öffentliche Adresse: <code>" + html(*adresse) + "</code></p>\n";
  else
    inhalt += "<p>Noch keine öffentliche Adresse – das Programm für ChatGPT &amp; Co. läuft nicht.</p>\n";
  inhalt += "</section>\n<p><a href=\"" + html(praefix) + "\">Zur Übersicht</a></p>\n";
  return rahmen("ChatGPT & Co.", inhalt);
}

std::string kurzeSeite(std::string_view titel, std::string_view text) {
  return rahmen(titel, "<p>" + html(text) + "</p>\n");
}

}  // namespace tw
