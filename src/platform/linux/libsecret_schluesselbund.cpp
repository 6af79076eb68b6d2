// The keyring on the Secret Service. One thread of ours owns the bus
// connection and the Secret Service proxy with its session; each item call
// runs there as a chain of asynchronous D-Bus calls while the caller waits,
// bounded, so that a daemon that hangs or is missing never blocks the menu.
//
// Calls go to the unique name that owns org.freedesktop.secrets, never to
// the well-known name: a bus can start a missing daemon for a call to the
// well-known name, and the app must never be the one that starts it.
//
// Calls that may ask the user run the service's prompts (org.freedesktop.Secret.Prompt: to unlock a
// collection, or KeePassXC's confirmation of an access) and wait for them; the look-up for the menu
// never starts one and never searches a locked collection through the service, which makes KeePassXC
// raise its own unlock dialog.
//
// What to do and which status to answer is decided in vault/schluesselbundregeln.h; here it is carried out.

#define SECRET_API_SUBJECT_TO_CHANGE
#include "platform/linux/libsecret_schluesselbund.h"

#include <gio/gio.h>
#include <libsecret/secret.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "app/konstanten.h"
#include "app/protokoll.h"
#include "vault/schluesselbundregeln.h"

namespace tw {
namespace {

constexpr const char* dienstName = "org.freedesktop.secrets";
constexpr const char* dienstPfad = "/org/freedesktop/secrets";
constexpr const char* dienstSchnittstelle = "org.freedesktop.Secret.Service";
constexpr const char* eintragSchnittstelle = "org.freedesktop.Secret.Item";
constexpr const char* sammlungSchnittstelle = "org.freedesktop.Secret.Collection";
// The login place: whichever collection the "default" alias names.
constexpr const char* anmeldeSammlung = "/org/freedesktop/secrets/aliases/default";

// Opening the proxy and its session; callers stop waiting long before.
constexpr std::chrono::milliseconds oeffnenFrist = std::chrono::seconds(10);
// How long the ending thread waits for calls still under way.
constexpr std::chrono::milliseconds schlussFrist = std::chrono::seconds(2);

using Uhr = std::chrono::steady_clock;
using Pfade = std::vector<std::string>;
using Wert = std::shared_ptr<SecretValue>;
using Dienst = std::shared_ptr<SecretService>;

// One call of the seam: what the thread reports and how long the caller waits.
struct Auftrag {
  Auftrag(std::chrono::milliseconds grenze, bool fragen) : nachfragen(fragen), frist(Uhr::now() + grenze) {}
  ~Auftrag() {
    g_object_unref(abbruch);
    if (wert) secret_value_unref(wert);
  }

  const bool nachfragen;  // the service's prompts may run
  GCancellable* const abbruch = g_cancellable_new();
  std::mutex schloss;
  std::condition_variable gemeldet;
  const Uhr::time_point frist;
  std::optional<int> status;    // guarded by schloss
  std::string grund;            // why it failed, for the log
  SecretValue* wert = nullptr;  // the secret read, in libsecret's unpageable memory
};

// GIO callbacks that continue with a C++ function.
using Weiter = std::function<void(GObject* quelle, GAsyncResult* ergebnis)>;
void weiterleiten(GObject* quelle, GAsyncResult* ergebnis, gpointer daten) {
  const std::unique_ptr<Weiter> weiter(static_cast<Weiter*>(daten));
  (*weiter)(quelle, ergebnis);
}
gpointer rueckruf(Weiter weiter) { return new Weiter(std::move(weiter)); }

// The error by its D-Bus name: the one the service sent, else the one GDBus gives a local error.
int statusFuer(const GError* fehler, int keinObjekt) {
  g_autofree gchar* name = g_dbus_error_get_remote_error(fehler);
  if (!name) name = g_dbus_error_encode_gerror(fehler);
  return dienstfehlerStatus(name, keinObjekt);
}

// The two attributes that make up the item's identity, nothing else.
GVariant* merkmale(const Schluesselbundabfrage& abfrage) {
  GVariantBuilder merkmale;
  g_variant_builder_init(&merkmale, G_VARIANT_TYPE("a{ss}"));
  g_variant_builder_add(&merkmale, "{ss}", "service", abfrage.dienst.c_str());
  g_variant_builder_add(&merkmale, "{ss}", "account", abfrage.konto.c_str());
  return g_variant_builder_end(&merkmale);
}

Wert alsWert(const Geheimnis& daten) {
  return Wert(secret_value_new(daten.c_str(), static_cast<gssize>(daten.size()), "text/plain"),
              secret_value_unref);
}

Pfade alsPfade(const gchar* const* liste) {
  Pfade pfade;
  for (; liste && *liste; ++liste) pfade.emplace_back(*liste);
  return pfade;
}

}  // namespace

struct LibsecretSchluesselbund::Faden {
  Faden(std::chrono::milliseconds grenze, std::chrono::milliseconds nachfrageGrenze)
      : grenze_(grenze), nachfrageGrenze_(nachfrageGrenze), faden_([this] { lauf(); }) {}
  ~Faden();
  Faden(const Faden&) = delete;
  Faden& operator=(const Faden&) = delete;

  // Runs `arbeit` on the thread and waits for its status, bounded; the service's prompts may run where
  // the rules allow them. A secret read goes to `daten`.
  int ausfuehren(Bundaufruf aufruf, const Besitzerkontext* kontext,
                 std::function<void(std::shared_ptr<Auftrag>)> arbeit, Geheimnis* daten = nullptr);
  // Ends the calls that wait for a person.
  void abbrechen();

  // The item calls, on the thread.
  void vorhanden(std::shared_ptr<Auftrag> a, const Schluesselbundabfrage& abfrage);
  void lesen(std::shared_ptr<Auftrag> a, const Schluesselbundabfrage& abfrage);
  // Ends the call unless the service has an owner on the bus.
  void dienstBesitzer(std::shared_ptr<Auftrag> a, std::function<void()> weiter);
  void eigenschaft(std::shared_ptr<Auftrag> a, const std::string& pfad, const char* schnittstelle,
                   const char* name, std::function<void(GVariant*)> weiter);
  void hinzufuegen(std::shared_ptr<Auftrag> a, const Schluesselbundabfrage& abfrage, std::string label,
                   Wert wert);
  void aktualisieren(std::shared_ptr<Auftrag> a, const Schluesselbundabfrage& abfrage, Wert wert);
  void loeschen(std::shared_ptr<Auftrag> a, const Schluesselbundabfrage& abfrage);

 private:
  void lauf();
  void schicken(std::function<void()> arbeit);
  void fertig(std::shared_ptr<Auftrag> a, int status, std::string grund = {}, SecretValue* wert = nullptr);
  void scheitern(std::shared_ptr<Auftrag> a, const GError* fehler, int keinObjekt) {
    fertig(std::move(a), statusFuer(fehler, keinObjekt), fehler->message);
  }
  void melden(int status, const std::string& grund);

  void besitzerKennen(std::function<void(const char* fehler)> weiter);
  void besitzerFragen();
  void besitzerBekannt(const char* fehler);
  static void besitzerWechselte(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                                GVariant* parameter, gpointer selbst);
  void dienstOeffnen(std::shared_ptr<Auftrag> a, std::function<void(Dienst)> weiter);
  void dienstGeoeffnet(GAsyncResult* ergebnis);

  // A D-Bus call to the service's owner; an error ends the call with its
  // status unless `sonst` takes it.
  void rufen(std::shared_ptr<Auftrag> a, const std::string& pfad, const char* schnittstelle,
             const char* methode, GVariant* parameter, const char* antwortTyp, int keinObjekt,
             std::function<void(GVariant*)> weiter, std::function<void(const GError*)> sonst = {});
  void pfadeSuchen(std::shared_ptr<Auftrag> a, const Schluesselbundabfrage& abfrage,
                   std::function<void(Pfade offen, Pfade gesperrt)> weiter);
  void geheimnisLesen(std::shared_ptr<Auftrag> a, const std::string& pfad);
  // Unlocks the objects, with the service's prompt; a refusal ends the call.
  void entsperren(std::shared_ptr<Auftrag> a, const Pfade& pfade, std::function<void()> weiter);
  // Runs a prompt the service answered with; dismissed, the call ends.
  void aufforderung(std::shared_ptr<Auftrag> a, const std::string& pfad, std::function<void()> weiter);
  void anlegen(std::shared_ptr<Auftrag> a, const Schluesselbundabfrage& abfrage, std::string label, Wert wert,
               Dienst dienst, bool entsperrt);

  const std::chrono::milliseconds grenze_, nachfrageGrenze_;
  GMainContext* const kontext_ = g_main_context_new();
  GCancellable* const schluss_ = g_cancellable_new();
  // A failure streak has been logged; set by the callers, not the thread.
  std::atomic<bool> gestoert_{false};

  // Only on the thread from here on.
  GDBusConnection* bus_ = nullptr;
  guint abo_ = 0;
  std::string besitzer_;  // the unique name owning org.freedesktop.secrets, or empty
  bool besitzerBekannt_ = false;
  bool fragt_ = false;
  unsigned wechsel_ = 0;  // owner changes seen, so that an older answer does not win
  std::vector<std::function<void(const char*)>> wartenAufBesitzer_;
  SecretService* dienst_ = nullptr;         // with a session, for the current owner only
  GCancellable* oeffnenAbbruch_ = nullptr;  // while the proxy is being opened
  GSource* oeffnenUhr_ = nullptr;
  std::string oeffnetFuer_;
  std::vector<std::function<void(Dienst, const GError*)>> wartenAufDienst_;
  std::set<std::shared_ptr<Auftrag>> laufend_;
  bool ende_ = false;
  bool aufgegeben_ = false;

  std::thread faden_;  // last, so that it starts with everything above in place
};

LibsecretSchluesselbund::Faden::~Faden() {
  schicken([this] {
    ende_ = true;
    for (const auto& a : std::set(laufend_)) g_cancellable_cancel(a->abbruch);
    g_cancellable_cancel(schluss_);
    if (oeffnenAbbruch_) g_cancellable_cancel(oeffnenAbbruch_);
    GSource* uhr = g_timeout_source_new(schlussFrist.count());
    g_source_set_callback(
        uhr,
        +[](gpointer selbst) -> gboolean {
          static_cast<Faden*>(selbst)->aufgegeben_ = true;
          return G_SOURCE_REMOVE;
        },
        this, nullptr);
    g_source_attach(uhr, kontext_);
    g_source_unref(uhr);
  });
  faden_.join();
  g_object_unref(schluss_);
  g_main_context_unref(kontext_);
}

void LibsecretSchluesselbund::Faden::lauf() {
  g_main_context_push_thread_default(kontext_);
  while (!ende_ || (!aufgegeben_ && (!laufend_.empty() || fragt_ || oeffnenAbbruch_)))
    g_main_context_iteration(kontext_, TRUE);
  if (abo_) g_dbus_connection_signal_unsubscribe(bus_, abo_);
  g_clear_object(&dienst_);
  g_clear_object(&bus_);
  while (g_main_context_iteration(kontext_, FALSE)) {
  }
  g_main_context_pop_thread_default(kontext_);
}

void LibsecretSchluesselbund::Faden::schicken(std::function<void()> arbeit) {
  using Arbeit = std::function<void()>;
  GSource* quelle = g_idle_source_new();
  g_source_set_callback(
      quelle,
      +[](gpointer arbeit) -> gboolean {
        (*static_cast<Arbeit*>(arbeit))();
        return G_SOURCE_REMOVE;
      },
      new Arbeit(std::move(arbeit)), +[](gpointer arbeit) { delete static_cast<Arbeit*>(arbeit); });
  g_source_attach(quelle, kontext_);
  g_source_unref(quelle);
}

int LibsecretSchluesselbund::Faden::ausfuehren(Bundaufruf aufruf, const Besitzerkontext* kontext,
                                               std::function<void(std::shared_ptr<Auftrag>)> arbeit,
                                               Geheimnis* daten) {
  const auto beginn = Uhr::now();
  const bool nachfragen = nachfragenErlaubt(aufruf, kontext);
  auto a = std::make_shared<Auftrag>(nachfragen ? nachfrageGrenze_ : grenze_, nachfragen);
  schicken([this, a, arbeit = std::move(arbeit)] {
    laufend_.insert(a);
    arbeit(a);
  });
  int status = keineAntwortInFrist;
  std::string grund;
  bool beantwortet = false;
  {
    std::unique_lock lock(a->schloss);
    while (!a->status && Uhr::now() < a->frist) a->gemeldet.wait_until(lock, a->frist);
    beantwortet = a->status.has_value();
    if (beantwortet) {
      status = *a->status;
      grund = a->grund;
      if (status == errSecSuccess && daten && a->wert) {
        // Straight from libsecret's memory into ours, no copy in between.
        gsize laenge = 0;
        const gchar* text = secret_value_get(a->wert, &laenge);
        daten->leeren();
        daten->reservieren(laenge);
        daten->anhaengen(std::string_view(text, laenge));
      }
    }
  }
  if (!beantwortet) {
    g_cancellable_cancel(a->abbruch);
    const auto dauer = std::chrono::duration_cast<std::chrono::milliseconds>(Uhr::now() - beginn);
    grund = "keine Antwort nach " + std::to_string(dauer.count()) + " ms";
  }
  melden(status, grund);
  return status;
}

void LibsecretSchluesselbund::Faden::abbrechen() {
  schicken([this] {
    for (const auto& a : std::set(laufend_))
      if (a->nachfragen) g_cancellable_cancel(a->abbruch);
  });
}

// One line per streak of failures: the refresh asks every few seconds.
void LibsecretSchluesselbund::Faden::melden(int status, const std::string& grund) {
  if (dienstAntwortete(status)) {
    gestoert_ = false;
  } else if (!gestoert_.exchange(true)) {
    protokollieren("Schlüsselbund nicht nutzbar (" + grund +
                   ") — gemerkte Passphrase gilt als nicht vorhanden");
  }
}

void LibsecretSchluesselbund::Faden::fertig(std::shared_ptr<Auftrag> a, int status, std::string grund,
                                            SecretValue* wert) {
  if (laufend_.erase(a) == 0) {  // already reported
    if (wert) secret_value_unref(wert);
    return;
  }
  std::lock_guard lock(a->schloss);
  a->status = status;
  a->grund = std::move(grund);
  a->wert = wert;
  a->gemeldet.notify_all();
}

void LibsecretSchluesselbund::Faden::besitzerKennen(std::function<void(const char* fehler)> weiter) {
  if (besitzerBekannt_) return weiter(nullptr);
  wartenAufBesitzer_.push_back(std::move(weiter));
  if (fragt_) return;
  fragt_ = true;
  if (bus_) return besitzerFragen();
  g_bus_get(G_BUS_TYPE_SESSION, schluss_, weiterleiten, rueckruf([this](GObject*, GAsyncResult* ergebnis) {
              g_autoptr(GError) fehler = nullptr;
              bus_ = g_bus_get_finish(ergebnis, &fehler);
              if (!bus_) return besitzerBekannt(("Sitzungsbus: " + std::string(fehler->message)).c_str());
              // Follows the owner from now on: a daemon that ends or restarts needs a new proxy.
              abo_ = g_dbus_connection_signal_subscribe(bus_, "org.freedesktop.DBus", "org.freedesktop.DBus",
                                                        "NameOwnerChanged", "/org/freedesktop/DBus",
                                                        dienstName, G_DBUS_SIGNAL_FLAGS_NONE,
                                                        besitzerWechselte, this, nullptr);
              besitzerFragen();
            }));
}

void LibsecretSchluesselbund::Faden::besitzerFragen() {
  const unsigned stand = wechsel_;
  g_dbus_connection_call(
      bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner",
      g_variant_new("(s)", dienstName), G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, -1, schluss_,
      weiterleiten, rueckruf([this, stand](GObject* quelle, GAsyncResult* ergebnis) {
        g_autoptr(GError) fehler = nullptr;
        g_autoptr(GVariant) antwort =
            g_dbus_connection_call_finish(G_DBUS_CONNECTION(quelle), ergebnis, &fehler);
        if (!antwort && !g_error_matches(fehler, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER))
          return besitzerBekannt(fehler->message);
        if (stand == wechsel_) {
          const gchar* besitzer = "";
          if (antwort) g_variant_get(antwort, "(&s)", &besitzer);
          besitzer_ = besitzer;
        }
        besitzerBekannt(nullptr);
      }));
}

void LibsecretSchluesselbund::Faden::besitzerBekannt(const char* fehler) {
  fragt_ = false;
  besitzerBekannt_ = fehler == nullptr;
  auto wartende = std::move(wartenAufBesitzer_);
  wartenAufBesitzer_.clear();
  for (auto& weiter : wartende) weiter(fehler);
}

void LibsecretSchluesselbund::Faden::besitzerWechselte(GDBusConnection*, const gchar*, const gchar*,
                                                       const gchar*, const gchar*, GVariant* parameter,
                                                       gpointer selbst) {
  if (!g_variant_is_of_type(parameter, G_VARIANT_TYPE("(sss)"))) return;
  auto& faden = *static_cast<Faden*>(selbst);
  const gchar *name, *alt, *neu;
  g_variant_get(parameter, "(&s&s&s)", &name, &alt, &neu);
  ++faden.wechsel_;
  faden.besitzer_ = neu;
  // A session belongs to the daemon that opened it.
  g_clear_object(&faden.dienst_);
}

void LibsecretSchluesselbund::Faden::dienstOeffnen(std::shared_ptr<Auftrag> a,
                                                   std::function<void(Dienst)> weiter) {
  if (dienst_) return weiter(Dienst(SECRET_SERVICE(g_object_ref(dienst_)), g_object_unref));
  wartenAufDienst_.push_back([this, a, weiter = std::move(weiter)](Dienst dienst, const GError* fehler) {
    if (dienst) return weiter(std::move(dienst));
    scheitern(a, fehler, errSecNotAvailable);
  });
  if (oeffnenAbbruch_) return;
  oeffnenAbbruch_ = g_cancellable_new();
  oeffnetFuer_ = besitzer_;
  oeffnenUhr_ = g_timeout_source_new(oeffnenFrist.count());
  g_source_set_callback(
      oeffnenUhr_,
      +[](gpointer abbruch) -> gboolean {
        g_cancellable_cancel(G_CANCELLABLE(abbruch));
        return G_SOURCE_REMOVE;
      },
      oeffnenAbbruch_, nullptr);
  g_source_attach(oeffnenUhr_, kontext_);
  secret_service_open(SECRET_TYPE_SERVICE, besitzer_.c_str(), SECRET_SERVICE_OPEN_SESSION, oeffnenAbbruch_,
                      weiterleiten,
                      rueckruf([this](GObject*, GAsyncResult* ergebnis) { dienstGeoeffnet(ergebnis); }));
}

void LibsecretSchluesselbund::Faden::dienstGeoeffnet(GAsyncResult* ergebnis) {
  g_autoptr(GError) fehler = nullptr;
  SecretService* dienst = secret_service_open_finish(ergebnis, &fehler);
  g_source_destroy(oeffnenUhr_);
  g_source_unref(oeffnenUhr_);
  oeffnenUhr_ = nullptr;
  g_clear_object(&oeffnenAbbruch_);
  if (dienst && oeffnetFuer_ != besitzer_) {
    g_object_unref(dienst);
    dienst = nullptr;
    g_set_error_literal(&fehler, G_IO_ERROR, G_IO_ERROR_CLOSED,
                        "Schlüsselbund-Dienst während des Öffnens ersetzt");
  }
  g_clear_object(&dienst_);
  dienst_ = dienst;
  auto wartende = std::move(wartenAufDienst_);
  wartenAufDienst_.clear();
  for (auto& weiter : wartende)
    weiter(dienst ? Dienst(SECRET_SERVICE(g_object_ref(dienst)), g_object_unref) : nullptr, fehler);
}

void LibsecretSchluesselbund::Faden::rufen(std::shared_ptr<Auftrag> a, const std::string& pfad,
                                           const char* schnittstelle, const char* methode,
                                           GVariant* parameter, const char* antwortTyp, int keinObjekt,
                                           std::function<void(GVariant*)> weiter,
                                           std::function<void(const GError*)> sonst) {
  if (besitzer_.empty()) {
    if (parameter) g_variant_unref(g_variant_ref_sink(parameter));
    return fertig(a, errSecNotAvailable, "Schlüsselbund-Dienst hat sich abgemeldet");
  }
  g_dbus_connection_call(bus_, besitzer_.c_str(), pfad.c_str(), schnittstelle, methode, parameter,
                         G_VARIANT_TYPE(antwortTyp), G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, a->abbruch,
                         weiterleiten,
                         rueckruf([this, a, keinObjekt, weiter = std::move(weiter), sonst = std::move(sonst)](
                                      GObject* quelle, GAsyncResult* ergebnis) {
                           g_autoptr(GError) fehler = nullptr;
                           g_autoptr(GVariant) antwort =
                               g_dbus_connection_call_finish(G_DBUS_CONNECTION(quelle), ergebnis, &fehler);
                           if (antwort) return weiter(antwort);
                           if (sonst && !g_cancellable_is_cancelled(a->abbruch)) return sonst(fehler);
                           scheitern(a, fehler, keinObjekt);
                         }));
}

void LibsecretSchluesselbund::Faden::pfadeSuchen(std::shared_ptr<Auftrag> a,
                                                 const Schluesselbundabfrage& abfrage,
                                                 std::function<void(Pfade offen, Pfade gesperrt)> weiter) {
  dienstBesitzer(a, [this, a, abfrage, weiter = std::move(weiter)] {
    // Across all collections, as secret-tool looks: items in locked ones are listed apart.
    rufen(a, dienstPfad, dienstSchnittstelle, "SearchItems", g_variant_new("(@a{ss})", merkmale(abfrage)),
          "(aoao)", errSecInternalComponent, [weiter](GVariant* antwort) {
            g_autofree const gchar** offen = nullptr;
            g_autofree const gchar** gesperrt = nullptr;
            g_variant_get(antwort, "(^a&o^a&o)", &offen, &gesperrt);
            weiter(alsPfade(offen), alsPfade(gesperrt));
          });
  });
}

void LibsecretSchluesselbund::Faden::geheimnisLesen(std::shared_ptr<Auftrag> a, const std::string& pfad) {
  dienstOeffnen(a, [this, a, pfad](Dienst dienst) {
    secret_service_get_secret_for_dbus_path(
        dienst.get(), pfad.c_str(), a->abbruch, weiterleiten,
        rueckruf([this, a, dienst](GObject*, GAsyncResult* ergebnis) {
          g_autoptr(GError) fehler = nullptr;
          SecretValue* wert = secret_service_get_secret_for_dbus_path_finish(dienst.get(), ergebnis, &fehler);
          if (fehler) return scheitern(a, fehler, errSecItemNotFound);
          // Gone or locked again since the search.
          if (!wert) return fertig(a, errSecItemNotFound);
          fertig(a, errSecSuccess, {}, wert);
        }));
  });
}

void LibsecretSchluesselbund::Faden::entsperren(std::shared_ptr<Auftrag> a, const Pfade& pfade,
                                                std::function<void()> weiter) {
  if (pfade.empty()) return weiter();
  dienstOeffnen(a, [this, a, pfade, weiter = std::move(weiter)](Dienst dienst) {
    std::vector<const gchar*> liste;
    for (const auto& pfad : pfade) liste.push_back(pfad.c_str());
    liste.push_back(nullptr);
    secret_service_unlock_dbus_paths(dienst.get(), liste.data(), a->abbruch, weiterleiten,
                                     rueckruf([this, a, dienst, weiter](GObject*, GAsyncResult* ergebnis) {
                                       g_autoptr(GError) fehler = nullptr;
                                       g_auto(GStrv) entsperrt = nullptr;
                                       const gint anzahl = secret_service_unlock_dbus_paths_finish(
                                           dienst.get(), ergebnis, &entsperrt, &fehler);
                                       if (fehler) return scheitern(a, fehler, errSecItemNotFound);
                                       if (anzahl == 0)
                                         return fertig(a, errSecUserCanceled, "Entsperren abgelehnt");
                                       weiter();
                                     }));
  });
}

void LibsecretSchluesselbund::Faden::aufforderung(std::shared_ptr<Auftrag> a, const std::string& pfad,
                                                  std::function<void()> weiter) {
  if (pfad == "/") return weiter();
  if (!a->nachfragen) {
    // Never shown from the menu: dropped.
    g_dbus_connection_call(bus_, besitzer_.c_str(), pfad.c_str(), "org.freedesktop.Secret.Prompt", "Dismiss",
                           nullptr, nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr, nullptr, nullptr);
    return fertig(a, errSecInteractionNotAllowed);
  }
  dienstOeffnen(a, [this, a, pfad, weiter = std::move(weiter)](Dienst dienst) {
    secret_service_prompt_at_dbus_path(
        dienst.get(), pfad.c_str(), G_VARIANT_TYPE_ANY, a->abbruch, weiterleiten,
        rueckruf([this, a, dienst, weiter](GObject*, GAsyncResult* ergebnis) {
          g_autoptr(GError) fehler = nullptr;
          g_autoptr(GVariant) antwort =
              secret_service_prompt_at_dbus_path_finish(dienst.get(), ergebnis, &fehler);
          if (fehler) return scheitern(a, fehler, errSecInternalComponent);
          if (!antwort) return fertig(a, errSecUserCanceled, "Nachfrage abgelehnt");
          weiter();
        }));
  });
}

void LibsecretSchluesselbund::Faden::dienstBesitzer(std::shared_ptr<Auftrag> a,
                                                    std::function<void()> weiter) {
  besitzerKennen([this, a, weiter = std::move(weiter)](const char* fehler) {
    if (fehler) return fertig(a, errSecNotAvailable, fehler);
    if (besitzer_.empty())
      return fertig(a, errSecNotAvailable, "kein Dienst org.freedesktop.secrets am Sitzungsbus");
    weiter();
  });
}

void LibsecretSchluesselbund::Faden::eigenschaft(std::shared_ptr<Auftrag> a, const std::string& pfad,
                                                 const char* schnittstelle, const char* name,
                                                 std::function<void(GVariant*)> weiter) {
  rufen(a, pfad, "org.freedesktop.DBus.Properties", "Get", g_variant_new("(ss)", schnittstelle, name), "(v)",
        errSecInternalComponent, [weiter = std::move(weiter)](GVariant* antwort) {
          g_autoptr(GVariant) wert = nullptr;
          g_variant_get(antwort, "(v)", &wert);
          weiter(wert);
        });
}

// Only unlocked collections are searched, each on its own: KeePassXC answers a search that reaches a
// locked one with its unlock dialog. Nothing found while one is locked says nothing.
void LibsecretSchluesselbund::Faden::vorhanden(std::shared_ptr<Auftrag> a,
                                               const Schluesselbundabfrage& abfrage) {
  dienstBesitzer(a, [this, a, abfrage] {
    eigenschaft(a, dienstPfad, dienstSchnittstelle, "Collections", [this, a, abfrage](GVariant* wert) {
      if (!g_variant_is_of_type(wert, G_VARIANT_TYPE("ao")))
        return fertig(a, errSecInternalComponent, "Sammlungen ohne Pfade");
      g_autofree const gchar** liste = g_variant_get_objv(wert, nullptr);
      const Pfade sammlungen = alsPfade(liste);
      if (sammlungen.empty()) return fertig(a, errSecItemNotFound);
      struct Stand {
        std::size_t uebrig;
        bool gefunden = false, gesperrt = false;
      };
      auto stand = std::make_shared<Stand>(Stand{sammlungen.size()});
      const auto eine = [this, a, stand] {
        if (--stand->uebrig > 0) return;
        fertig(a, vorhandenStatus(stand->gefunden, stand->gesperrt));
      };
      for (const auto& pfad : sammlungen) {
        eigenschaft(a, pfad, sammlungSchnittstelle, "Locked",
                    [this, a, abfrage, pfad, stand, eine](GVariant* zu) {
                      if (!g_variant_is_of_type(zu, G_VARIANT_TYPE_BOOLEAN) || g_variant_get_boolean(zu)) {
                        stand->gesperrt = true;
                        return eine();
                      }
                      rufen(a, pfad, sammlungSchnittstelle, "SearchItems",
                            g_variant_new("(@a{ss})", merkmale(abfrage)), "(ao)", errSecInternalComponent,
                            [stand, eine](GVariant* antwort) {
                              g_autoptr(GVariant) pfade = g_variant_get_child_value(antwort, 0);
                              stand->gefunden = stand->gefunden || g_variant_n_children(pfade) > 0;
                              eine();
                            });
                    });
      }
    });
  });
}

void LibsecretSchluesselbund::Faden::lesen(std::shared_ptr<Auftrag> a, const Schluesselbundabfrage& abfrage) {
  pfadeSuchen(a, abfrage, [this, a](Pfade offen, Pfade gesperrt) {
    const auto weiter = nachDerSuche(Bundaufruf::lesen, offen.size(), gesperrt.size(), a->nachfragen);
    if (weiter.status) return fertig(a, *weiter.status);
    if (!weiter.entsperren) return geheimnisLesen(a, offen.front());
    entsperren(a, {gesperrt.front()}, [this, a, pfad = gesperrt.front()] { geheimnisLesen(a, pfad); });
  });
}

void LibsecretSchluesselbund::Faden::hinzufuegen(std::shared_ptr<Auftrag> a,
                                                 const Schluesselbundabfrage& abfrage, std::string label,
                                                 Wert wert) {
  pfadeSuchen(a, abfrage, [this, a, abfrage, label, wert](Pfade offen, Pfade gesperrt) {
    const auto weiter = nachDerSuche(Bundaufruf::hinzufuegen, offen.size(), gesperrt.size(), a->nachfragen);
    if (weiter.status) return fertig(a, *weiter.status);
    dienstOeffnen(a, [this, a, abfrage, label, wert](Dienst dienst) {
      anlegen(a, abfrage, label, wert, std::move(dienst), false);
    });
  });
}

void LibsecretSchluesselbund::Faden::anlegen(std::shared_ptr<Auftrag> a, const Schluesselbundabfrage& abfrage,
                                             std::string label, Wert wert, Dienst dienst, bool entsperrt) {
  GVariant* geheimnis = secret_service_encode_dbus_secret(dienst.get(), wert.get());
  if (!geheimnis) return fertig(a, errSecInternalComponent, "Geheimnis ließ sich nicht verschlüsseln");
  GVariantBuilder eigenschaften;
  g_variant_builder_init(&eigenschaften, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&eigenschaften, "{sv}", "org.freedesktop.Secret.Item.Label",
                        g_variant_new_string(label.c_str()));
  g_variant_builder_add(&eigenschaften, "{sv}", "org.freedesktop.Secret.Item.Attributes", merkmale(abfrage));
  // The raw call, not libsecret's, so that the same prompt rules hold as for every other call.
  rufen(
      a, anmeldeSammlung, sammlungSchnittstelle, "CreateItem",
      g_variant_new("(a{sv}@(oayays)b)", &eigenschaften, geheimnis, FALSE), "(oo)", errSecNoSuchKeychain,
      [this, a](GVariant* antwort) {
        const gchar *eintrag, *pfad;
        g_variant_get(antwort, "(&o&o)", &eintrag, &pfad);
        aufforderung(a, pfad, [this, a] { fertig(a, errSecSuccess); });
      },
      // A locked collection (KWallet's until some client opened the wallet): unlock it, then once more.
      [this, a, abfrage, label, wert, dienst, entsperrt](const GError* fehler) {
        if (!nachEntsperrenNochmal(statusFuer(fehler, errSecNoSuchKeychain), entsperrt))
          return scheitern(a, fehler, errSecNoSuchKeychain);
        entsperren(a, {anmeldeSammlung}, [this, a, abfrage, label, wert, dienst] {
          anlegen(a, abfrage, label, wert, dienst, true);
        });
      });
}

void LibsecretSchluesselbund::Faden::aktualisieren(std::shared_ptr<Auftrag> a,
                                                   const Schluesselbundabfrage& abfrage, Wert wert) {
  pfadeSuchen(a, abfrage, [this, a, wert](Pfade offen, Pfade gesperrt) {
    const auto weiter = nachDerSuche(Bundaufruf::aktualisieren, offen.size(), gesperrt.size(), a->nachfragen);
    if (weiter.status) return fertig(a, *weiter.status);
    Pfade alle = offen;
    alle.insert(alle.end(), gesperrt.begin(), gesperrt.end());
    entsperren(a, gesperrt, [this, a, wert, alle] {
      dienstOeffnen(a, [this, a, wert, alle](Dienst dienst) {
        // Every match, so that a later read cannot find an older secret.
        auto uebrig = std::make_shared<std::size_t>(alle.size());
        for (const auto& pfad : alle) {
          GVariant* geheimnis = secret_service_encode_dbus_secret(dienst.get(), wert.get());
          if (!geheimnis)
            return fertig(a, errSecInternalComponent, "Geheimnis ließ sich nicht verschlüsseln");
          rufen(a, pfad, eintragSchnittstelle, "SetSecret", g_variant_new("(@(oayays))", geheimnis), "()",
                errSecItemNotFound, [this, a, uebrig](GVariant*) {
                  if (--*uebrig == 0) fertig(a, errSecSuccess);
                });
        }
      });
    });
  });
}

void LibsecretSchluesselbund::Faden::loeschen(std::shared_ptr<Auftrag> a,
                                              const Schluesselbundabfrage& abfrage) {
  pfadeSuchen(a, abfrage, [this, a](Pfade offen, Pfade gesperrt) {
    const auto weiter = nachDerSuche(Bundaufruf::loeschen, offen.size(), gesperrt.size(), a->nachfragen);
    if (weiter.status) return fertig(a, *weiter.status);
    Pfade alle = offen;
    alle.insert(alle.end(), gesperrt.begin(), gesperrt.end());
    // A locked item cannot be deleted: unlock first, with the desktop's prompt.
    entsperren(a, gesperrt, [this, a, alle] {
      auto uebrig = std::make_shared<std::size_t>(alle.size());
      for (const auto& pfad : alle) {
        rufen(a, pfad, eintragSchnittstelle, "Delete", nullptr, "(o)", errSecItemNotFound,
              [this, a, uebrig](GVariant* antwort) {
                const gchar* pfad;
                g_variant_get(antwort, "(&o)", &pfad);
                aufforderung(a, pfad, [this, a, uebrig] {
                  if (--*uebrig == 0) fertig(a, errSecSuccess);
                });
              });
      }
    });
  });
}

LibsecretSchluesselbund::LibsecretSchluesselbund(std::chrono::milliseconds grenze,
                                                 std::chrono::milliseconds nachfrageGrenze)
    : faden_(std::make_shared<Faden>(grenze, nachfrageGrenze)) {}

// Linux has no protected place, so there is no rule to make.
bool LibsecretSchluesselbund::zugriffsregelErstellen(std::optional<std::string>&) { return true; }

int LibsecretSchluesselbund::hinzufuegen(const Schluesselbundabfrage& abfrage, std::string_view label,
                                         const Geheimnis& daten) {
  if (auto status = ohneDienst(Bundaufruf::hinzufuegen, abfrage, label)) return *status;
  return faden_->ausfuehren(Bundaufruf::hinzufuegen, nullptr,
                            [f = faden_.get(), abfrage, label = std::string(label), wert = alsWert(daten)](
                                auto a) { f->hinzufuegen(std::move(a), abfrage, label, wert); });
}

int LibsecretSchluesselbund::suchen(const Schluesselbundabfrage& abfrage, const Suche& suche,
                                    Geheimnis* daten) {
  const auto aufruf = suche.mitDaten ? Bundaufruf::lesen : Bundaufruf::vorhanden;
  if (auto status = ohneDienst(aufruf, abfrage)) return *status;
  return faden_->ausfuehren(
      aufruf, suche.kontext,
      [f = faden_.get(), abfrage, aufruf](auto a) {
        aufruf == Bundaufruf::lesen ? f->lesen(std::move(a), abfrage) : f->vorhanden(std::move(a), abfrage);
      },
      daten);
}

int LibsecretSchluesselbund::aktualisieren(const Schluesselbundabfrage& abfrage, const Geheimnis& daten) {
  if (auto status = ohneDienst(Bundaufruf::aktualisieren, abfrage)) return *status;
  return faden_->ausfuehren(Bundaufruf::aktualisieren, nullptr,
                            [f = faden_.get(), abfrage, wert = alsWert(daten)](auto a) {
                              f->aktualisieren(std::move(a), abfrage, wert);
                            });
}

int LibsecretSchluesselbund::loeschen(const Schluesselbundabfrage& abfrage) {
  if (auto status = ohneDienst(Bundaufruf::loeschen, abfrage)) return *status;
  return faden_->ausfuehren(Bundaufruf::loeschen, nullptr,
                            [f = faden_.get(), abfrage](auto a) { f->loeschen(std::move(a), abfrage); });
}

void LibsecretSchluesselbund::abbrechen() { faden_->abbrechen(); }

}  // namespace tw
