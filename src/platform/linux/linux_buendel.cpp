#include "platform/linux/linux_buendel.h"

#include <unistd.h>

#include <pugixml.hpp>
#include <system_error>

namespace tw {
namespace {

std::optional<std::filesystem::path> eigeneDatei() {
  std::error_code fehler;
  auto pfad = std::filesystem::read_symlink("/proc/self/exe", fehler);
  if (fehler || pfad.empty()) return std::nullopt;
  return pfad;
}

std::filesystem::path buendelOrt(const std::optional<std::filesystem::path>& ausfuehrbar) {
  if (!ausfuehrbar) return std::filesystem::current_path();
  const auto ordner = ausfuehrbar->parent_path();
  const auto inhalt = ordner.parent_path();
  if (ordner.filename() == "MacOS" && inhalt.filename() == "Contents" &&
      inhalt.parent_path().extension() == ".app")
    return inhalt.parent_path();
  return ordner;
}

}  // namespace

std::map<std::string, std::string, std::less<>> infoListeLesen(const std::filesystem::path& datei) {
  std::map<std::string, std::string, std::less<>> texte;
  pugi::xml_document dokument;
  if (!dokument.load_file(datei.c_str())) return texte;
  const pugi::xml_node liste = dokument.child("plist").child("dict");
  for (pugi::xml_node knoten = liste.first_child(); knoten; knoten = knoten.next_sibling()) {
    if (knoten.type() != pugi::node_element || std::string_view(knoten.name()) != "key") continue;
    pugi::xml_node wert = knoten.next_sibling();
    while (wert && wert.type() != pugi::node_element) wert = wert.next_sibling();
    if (wert && std::string_view(wert.name()) == "string")
      texte.emplace(knoten.text().get(), wert.text().get());
  }
  return texte;
}

LinuxBuendel::LinuxBuendel(std::optional<std::filesystem::path> ausfuehrbar)
    : ausfuehrbar_(std::move(ausfuehrbar)),
      ort_(buendelOrt(ausfuehrbar_)),
      texte_(infoListeLesen(ort_ / "Contents" / "Info.plist")) {}

std::optional<std::string> LinuxBuendel::infoText(std::string_view schluessel) const {
  const auto treffer = texte_.find(schluessel);
  if (treffer == texte_.end()) return std::nullopt;
  return treffer->second;
}

const Hauptbuendel& hauptbuendel() {
  static const LinuxBuendel buendel(eigeneDatei());
  return buendel;
}

}  // namespace tw
