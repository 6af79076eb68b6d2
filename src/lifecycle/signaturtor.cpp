#include "lifecycle/signaturtor.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>

#include "app/konstanten.h"
#include "app/protokoll.h"

namespace tw {
namespace {

void eintragen(std::vector<std::uint64_t>& stand, std::string_view name, const struct stat& st) {
  stand.insert(
      stand.end(),
      {std::hash<std::string_view>{}(name), static_cast<std::uint64_t>(st.st_ino),
       static_cast<std::uint64_t>(st.st_mode), static_cast<std::uint64_t>(st.st_size),
       static_cast<std::uint64_t>(st.st_mtim.tv_sec), static_cast<std::uint64_t>(st.st_mtim.tv_nsec),
       static_cast<std::uint64_t>(st.st_ctim.tv_sec), static_cast<std::uint64_t>(st.st_ctim.tv_nsec)});
}

// Adds every entry below the open folder (taken over and closed here), never
// following a link. Deeper than any bundle of ours: stops, and the walk says so.
bool ordnerErfassen(int ordner, std::vector<std::uint64_t>& stand, int tiefe) {
  DIR* liste = tiefe < 32 ? ::fdopendir(ordner) : nullptr;
  if (!liste) {
    ::close(ordner);
    return false;
  }
  bool ganz = true;
  while (const dirent* e = ::readdir(liste)) {
    const std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::fstatat(::dirfd(liste), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      ganz = false;
      continue;
    }
    eintragen(stand, name, st);
    if (!S_ISDIR(st.st_mode)) continue;
    const int unter = ::openat(::dirfd(liste), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    ganz = unter >= 0 && ordnerErfassen(unter, stand, tiefe + 1) && ganz;
  }
  ::closedir(liste);
  return ganz;
}

std::string letzteKomponente(const std::filesystem::path& pfad) {
  const auto ohneSchraegstrich = pfad.has_filename() ? pfad : pfad.parent_path();
  return ohneSchraegstrich.filename().string();
}

Signaturtor& programmTor() {
  static Signaturtor tor(codesignatur());
  return tor;
}

}  // namespace

std::optional<std::vector<std::uint64_t>> buendelStand(const std::filesystem::path& buendel) {
  std::vector<std::uint64_t> stand;
  struct stat st {};
  if (::lstat(buendel.c_str(), &st) != 0) return stand;
  eintragen(stand, "", st);
  if (!S_ISDIR(st.st_mode)) return stand;
  const int ordner = ::open(buendel.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (ordner < 0 || !ordnerErfassen(ordner, stand, 0)) return std::nullopt;
  return stand;
}

std::string buendelAnforderung() {
  std::string text = "anchor apple generic and certificate leaf[subject.OU] = \"";
  text += teamKennung;
  text += "\" and identifier \"";
  text += programmKennung;
  text += '"';
  return text;
}

bool Signaturtor::selbstSigniert() {
  std::call_once(einmal_, [this] {
    const auto befund = codesignatur_.eigenenCodePruefen("anchor apple generic");
    selbstSigniert_ = befund.art == SignaturBefund::Art::gueltig;
    if (befund.art == SignaturBefund::Art::ungueltig)
      protokollieren("läuft unsigniert — Signaturprüfung der Bündel entfällt (Entwicklung)");
  });
  return selbstSigniert_;
}

bool Signaturtor::buendelVertrauenswuerdig(const std::filesystem::path& buendel) {
  if (!selbstSigniert()) return true;
  // Taken before the check: a change while it runs shows at the next call.
  // A walk that missed an entry never reuses a verdict.
  auto stand = buendelStand(buendel);
  std::lock_guard lock(signaturSchloss_);
  const std::string schluessel = buendel.string();
  if (const auto alt = signaturUrteile_.find(schluessel);
      alt != signaturUrteile_.end() && stand && alt->second.stand == stand)
    return alt->second.ok;

  const auto befund = codesignatur_.buendelPruefen(buendel, buendelAnforderung());
  const bool ok = befund.art == SignaturBefund::Art::gueltig;
  if (befund.art == SignaturBefund::Art::ungueltig)
    protokollieren("Bündel " + letzteKomponente(buendel) + " nicht mit unserer Signatur — nicht gestartet (" +
                   befund.grund.value_or("unbekannt") + ")");
  signaturUrteile_.insert_or_assign(schluessel, Urteil{std::move(stand), ok});
  return ok;
}

bool selbstSigniert() { return programmTor().selbstSigniert(); }

bool buendelVertrauenswuerdig(const std::filesystem::path& buendel) {
  return programmTor().buendelVertrauenswuerdig(buendel);
}

}  // namespace tw
