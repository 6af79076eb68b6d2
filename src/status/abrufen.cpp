#include "status/abrufen.h"

#include <curl/curl.h>
#include <malloc.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "app/protokoll.h"
#include "app/text.h"
#include "status/seitenregeln.h"

namespace tw {
namespace {

// Time without any byte before the request counts as unanswered, and the
// bound on the whole exchange, so a server trickling bytes cannot hold it.
constexpr long stilleSekunden = 4;
constexpr long grenzeMs = 5000;
constexpr int groessteTiefe = 32;

// libcurl copies a form body into its request buffer and frees it unwiped;
// with these, every block it gives back is wiped first, so no passphrase lingers.
void wischenFrei(void* block) {
  if (!block) return;
  ::explicit_bzero(block, ::malloc_usable_size(block));
  std::free(block);
}
void* wischenNeu(void* block, size_t groesse) {
  if (!block) return std::malloc(groesse);
  void* neu = std::malloc(groesse ? groesse : 1);
  if (!neu) return nullptr;
  std::memcpy(neu, block, std::min(groesse, ::malloc_usable_size(block)));
  wischenFrei(block);
  return neu;
}
char* wischenKopie(const char* text) {
  const size_t laenge = std::strlen(text) + 1;
  auto* kopie = static_cast<char*>(std::malloc(laenge));
  if (kopie) std::memcpy(kopie, text, laenge);
  return kopie;
}

void einmalEinrichten() {
  static std::once_flag einmal;
  std::call_once(einmal, [] {
    curl_global_init_mem(CURL_GLOBAL_DEFAULT, std::malloc, wischenFrei, wischenNeu, wischenKopie,
                         std::calloc);
  });
}

struct HandleLoeschen {
  void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct ListeLoeschen {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

struct Koerper {
  std::string text;
  bool zuGross = false;
};

size_t aufnehmen(char* daten, size_t groesse, size_t anzahl, void* ziel) {
  auto* koerper = static_cast<Koerper*>(ziel);
  const size_t laenge = groesse * anzahl;
  if (koerper->text.size() + laenge > groessteAntwort) {
    koerper->zuGross = true;
    return 0;  // aborts the transfer
  }
  koerper->text.append(daten, laenge);
  return laenge;
}

// An HTTP token; anything else (spaces, line ends) would let a caller inject headers.
bool gueltigeMethode(std::string_view methode) {
  if (methode.empty()) return false;
  for (unsigned char c : methode)
    if (c <= ' ' || c >= 127 || std::string_view("()<>@,;:\\\"/[]?={}").find(c) != std::string_view::npos)
      return false;
  return true;
}

Geheimnis formularText(const Felder& felder) {
  Geheimnis text;
  for (const auto& [name, wert] : felder) {
    if (!text.empty()) text.anhaengen('&');
    text.anhaengen(name);
    text.anhaengen('=');
    formKodiertAnhaengen(text, wert);
  }
  return text;
}

Antwort senden(const Url& url, std::string_view methode, const Geheimnis& formular);

}  // namespace

std::string formKodiert(std::string_view wert) { return prozentKodiert(wert, unreserviert); }

Geheimnis formular(std::string_view name, const Geheimnis& wert) {
  Geheimnis text;
  text.reservieren(name.size() + 1 + 3 * wert.size());
  text.anhaengen(name);
  text.anhaengen('=');
  formKodiertAnhaengen(text, wert.text());
  return text;
}

Antwort abrufen(const Url& url, std::string_view methode, const Felder& felder) {
  return senden(url, methode, methode == "POST" ? formularText(felder) : Geheimnis());
}

Antwort abrufen(const Url& url, const Geheimnis& formular) { return senden(url, "POST", formular); }

namespace {

// One prepared request; its handle points into it, so it never moves.
struct Anfrage {
  std::unique_ptr<CURL, HandleLoeschen> h{curl_easy_init()};
  std::unique_ptr<curl_slist, ListeLoeschen> kopf;
  std::string methode;
  Koerper koerper;

  void kopfzeile(const std::string& zeile) {
    if (curl_slist* neu = curl_slist_append(kopf.get(), zeile.c_str())) {
      kopf.release();
      kopf.reset(neu);
    }
  }
};

// Null when the request must not go out. `formular` must outlive the request.
std::unique_ptr<Anfrage> vorbereiten(const Url& url, std::string_view methode, const Geheimnis& formular) {
  if (!gueltigeMethode(methode)) return nullptr;
  // Whatever a caller builds, nothing leaves this computer.
  if (!loopback(url)) {
    protokollieren("Anfrage an „" + url.host() + "“ verweigert — nur Seiten auf diesem Rechner");
    return nullptr;
  }
  einmalEinrichten();
  auto a = std::make_unique<Anfrage>();
  if (!a->h) return nullptr;
  CURL* c = a->h.get();
  a->kopfzeile("Sec-Fetch-Site: same-origin");
  if (!url.host().empty() && url.port())
    a->kopfzeile("Origin: http://" + url.host() + ":" + std::to_string(*url.port()));
  a->kopfzeile("Expect:");  // no 100-continue round trip

  a->methode = methode;
  if (methode == "POST") {
    a->kopfzeile("Content-Type: application/x-www-form-urlencoded");
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, formular.c_str());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(formular.size()));
  } else if (methode == "HEAD") {
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
  } else if (methode != "GET") {
    curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, a->methode.c_str());
  }

  curl_easy_setopt(c, CURLOPT_URL, url.text().c_str());
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, a->kopf.get());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  // A proxy from the environment must not see a loopback request that may carry the passphrase.
  curl_easy_setopt(c, CURLOPT_PROXY, "");
  curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
  // A redirect would send the form body on to another address.
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, stilleSekunden * 1000);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, stilleSekunden);
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, grenzeMs);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, aufnehmen);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &a->koerper);
  return a;
}

// nlohmann copies, compares and prints values recursively, so a deeply
// nested answer is dropped before it is parsed, wherever it would travel.
bool zuTief(std::string_view text) {
  int tiefe = 0;
  bool inText = false, maskiert = false;
  for (const char c : text) {
    if (inText) {
      if (maskiert)
        maskiert = false;
      else if (c == '\\')
        maskiert = true;
      else if (c == '"')
        inText = false;
    } else if (c == '"') {
      inText = true;
    } else if ((c == '[' || c == '{') && ++tiefe > groessteTiefe) {
      return true;
    } else if (c == ']' || c == '}') {
      --tiefe;
    }
  }
  return false;
}

Antwort auswerten(Anfrage& a, CURLcode ergebnis) {
  Antwort antwort;
  if (ergebnis != CURLE_OK && !a.koerper.zuGross) return antwort;
  long status = 0;
  curl_easy_getinfo(a.h.get(), CURLINFO_RESPONSE_CODE, &status);
  antwort.status = status;
  if (a.koerper.zuGross || a.koerper.text.empty() || zuTief(a.koerper.text)) return antwort;
  auto json = nlohmann::json::parse(a.koerper.text, nullptr, /*allow_exceptions=*/false);
  if (json.is_object()) antwort.json = std::move(json);
  return antwort;
}

Antwort senden(const Url& url, std::string_view methode, const Geheimnis& formular) {
  const auto anfrage = vorbereiten(url, methode, formular);
  return anfrage ? auswerten(*anfrage, curl_easy_perform(anfrage->h.get())) : Antwort{};
}

struct MultiLoeschen {
  void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};

}  // namespace

std::vector<Antwort> alleAbrufen(const std::vector<Url>& urls, std::string_view methode) {
  std::vector<Antwort> antworten(urls.size());
  einmalEinrichten();
  const std::unique_ptr<CURLM, MultiLoeschen> m(curl_multi_init());
  if (!m) return antworten;
  const Geheimnis ohneFormular;
  std::vector<std::unique_ptr<Anfrage>> anfragen;
  for (const Url& url : urls) {
    auto& a = anfragen.emplace_back(vorbereiten(url, methode, ohneFormular));
    if (a && curl_multi_add_handle(m.get(), a->h.get()) != CURLM_OK) a.reset();
  }
  // Every transfer ends itself within its own limit; the deadline only guards the loop.
  const auto frist = std::chrono::steady_clock::now() + std::chrono::milliseconds(grenzeMs + 1000);
  for (int laufend = 1; laufend > 0 && std::chrono::steady_clock::now() < frist;) {
    if (curl_multi_perform(m.get(), &laufend) != CURLM_OK) break;
    if (laufend > 0) curl_multi_poll(m.get(), nullptr, 0, 100, nullptr);
  }
  int rest = 0;
  while (const CURLMsg* nachricht = curl_multi_info_read(m.get(), &rest)) {
    for (std::size_t i = 0; i < anfragen.size(); ++i)
      if (nachricht->msg == CURLMSG_DONE && anfragen[i] && anfragen[i]->h.get() == nachricht->easy_handle)
        antworten[i] = auswerten(*anfragen[i], nachricht->data.result);
  }
  for (const auto& a : anfragen)
    if (a) curl_multi_remove_handle(m.get(), a->h.get());
  return antworten;
}

}  // namespace tw
