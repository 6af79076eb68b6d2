#include "platform/linux/signatur/codebestand.h"

#include <dirent.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "app/text.h"

namespace tw {
namespace {

constexpr std::size_t hashLaenge = 32;

struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
};

struct DirFrei {
  void operator()(DIR* d) const { ::closedir(d); }
};
using Liste = std::unique_ptr<DIR, DirFrei>;

std::string inAnfuehrung(std::string_view pfad) { return "\u201E" + std::string(pfad) + "\u201C"; }

class Aufnahme {
 public:
  Bestandsaufnahme ergebnis;

  // Hashes a regular file opened relative to its folder.
  bool datei(int ordner, const char* name, const std::string& pfad) {
    Fd f(::openat(ordner, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode))
      return fehler("Die Datei " + inAnfuehrung(pfad) + " ist nicht lesbar.");
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) return fehler("SHA-256 fehlt.");
    puffer_.resize(1 << 20);
    for (;;) {
      const ssize_t n = ::read(f.fd, puffer_.data(), puffer_.size());
      if (n < 0) return fehler("Die Datei " + inAnfuehrung(pfad) + " ist nicht lesbar.");
      if (n == 0) break;
      EVP_DigestUpdate(ctx.get(), puffer_.data(), static_cast<std::size_t>(n));
    }
    unsigned char wert[EVP_MAX_MD_SIZE];
    unsigned int laenge = 0;
    EVP_DigestFinal_ex(ctx.get(), wert, &laenge);
    if (laenge != hashLaenge) return fehler("SHA-256 fehlt.");
    ergebnis.dateien.emplace(pfad, hexText({wert, laenge}));
    return true;
  }

  // Walks a folder; `ordnerFd` is owned by the caller.
  bool ordner(int ordnerFd, const std::string& pfad) {
    const int kopie = ::dup(ordnerFd);
    if (kopie < 0) return fehler("Der Ordner " + inAnfuehrung(pfad) + " ist nicht lesbar.");
    Liste liste(::fdopendir(kopie));
    if (!liste) {
      ::close(kopie);
      return fehler("Der Ordner " + inAnfuehrung(pfad) + " ist nicht lesbar.");
    }
    std::vector<std::string> namen;
    while (const dirent* e = ::readdir(liste.get())) {
      const std::string_view name = e->d_name;
      if (name != "." && name != "..") namen.emplace_back(name);
    }
    for (const auto& name : namen) {
      const std::string unterpfad = pfad + "/" + name;
      if (unterpfad == signaturOrdner) continue;
      if (name.find_first_of("\n\\") != std::string::npos)
        return fehler("Der Name " + inAnfuehrung(unterpfad) + " enthält einen Zeilenumbruch oder Backslash.");
      struct stat st {};
      if (::fstatat(ordnerFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return fehler("Die Datei " + inAnfuehrung(unterpfad) + " ist nicht lesbar.");
      if (S_ISLNK(st.st_mode)) return fehler(inAnfuehrung(unterpfad) + " ist ein symbolischer Link.");
      if (S_ISREG(st.st_mode)) {
        if (!datei(ordnerFd, name.c_str(), unterpfad)) return false;
      } else if (S_ISDIR(st.st_mode)) {
        Fd unter(::openat(ordnerFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (unter.fd < 0) return fehler("Der Ordner " + inAnfuehrung(unterpfad) + " ist nicht lesbar.");
        if (!ordner(unter.fd, unterpfad)) return false;
      } else {
        return fehler(inAnfuehrung(unterpfad) + " ist keine gewöhnliche Datei.");
      }
    }
    return true;
  }

  bool fehler(std::string satz) {
    ergebnis.fehler = std::move(satz);
    return false;
  }

 private:
  std::vector<unsigned char> puffer_;
};

}  // namespace

Bestandsaufnahme bestandAufnehmen(const std::filesystem::path& buendel) {
  Aufnahme a;
  Fd wurzel(::open(buendel.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (wurzel.fd < 0) {
    a.fehler("Das Bündel ist kein lesbarer Ordner.");
    return std::move(a.ergebnis);
  }
  // Only Contents/ is sealed, so nothing else may sit beside it.
  Liste liste(::fdopendir(::dup(wurzel.fd)));
  bool inhaltDa = false;
  while (liste && a.ergebnis.fehler == std::nullopt) {
    const dirent* e = ::readdir(liste.get());
    if (!e) break;
    const std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    if (name == "Contents")
      inhaltDa = true;
    else
      a.fehler(inAnfuehrung(name) + " liegt außerhalb von Contents.");
  }
  if (a.ergebnis.fehler) return std::move(a.ergebnis);
  Fd inhalt(::openat(wurzel.fd, "Contents", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!inhaltDa || inhalt.fd < 0) {
    a.fehler("Das Bündel hat keinen Ordner Contents.");
    return std::move(a.ergebnis);
  }
  a.ordner(inhalt.fd, "Contents");
  return std::move(a.ergebnis);
}

bool kennungZulaessig(std::string_view kennung) {
  if (kennung.empty()) return false;
  for (char c : kennung) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F || c == '"' || c == '\\') return false;
  }
  return true;
}

std::string ressourcenText(std::string_view kennung, const Dateiliste& dateien) {
  std::string text = "identifier ";
  text += kennung;
  text += '\n';
  for (const auto& [pfad, hash] : dateien) {
    text += hash;
    text += "  ";
    text += pfad;
    text += '\n';
  }
  return text;
}

std::optional<Ressourcen> ressourcenLesen(std::string_view text) {
  constexpr std::string_view vorsatz = "identifier ";
  if (!text.starts_with(vorsatz)) return std::nullopt;
  Ressourcen r;
  std::size_t ende = text.find('\n');
  if (ende == std::string_view::npos) return std::nullopt;
  r.kennung = text.substr(vorsatz.size(), ende - vorsatz.size());
  for (std::size_t anfang = ende + 1; anfang < text.size(); anfang = ende + 1) {
    ende = text.find('\n', anfang);
    if (ende == std::string_view::npos) return std::nullopt;
    const std::string_view zeile = text.substr(anfang, ende - anfang);
    constexpr std::size_t hexLaenge = 2 * hashLaenge;
    if (zeile.size() <= hexLaenge + 2 || zeile.substr(hexLaenge, 2) != "  ") return std::nullopt;
    r.dateien.emplace(zeile.substr(hexLaenge + 2), zeile.substr(0, hexLaenge));
  }
  // Whatever the writer would not have written byte for byte (order, case,
  // duplicates, odd identifiers or paths) is not a list of ours.
  for (const auto& [pfad, hash] : r.dateien)
    if (!pfad.starts_with("Contents/") || pfad.find('\\') != std::string::npos ||
        !std::all_of(hash.begin(), hash.end(), [](char c) { return hexZiffer(c) >= 0; }))
      return std::nullopt;
  if (!kennungZulaessig(r.kennung) || ressourcenText(r.kennung, r.dateien) != text) return std::nullopt;
  return r;
}

std::optional<std::string> abweichung(const Dateiliste& versiegelt, const Dateiliste& vorhanden) {
  auto s = versiegelt.begin();
  auto v = vorhanden.begin();
  while (s != versiegelt.end() || v != vorhanden.end()) {
    if (v == vorhanden.end() || (s != versiegelt.end() && s->first < v->first))
      return "Die Datei " + inAnfuehrung(s->first) + " fehlt.";
    if (s == versiegelt.end() || v->first < s->first)
      return "Die Datei " + inAnfuehrung(v->first) + " ist hinzugekommen.";
    if (s->second != v->second) return "Die Datei " + inAnfuehrung(s->first) + " wurde verändert.";
    ++s;
    ++v;
  }
  return std::nullopt;
}

}  // namespace tw
