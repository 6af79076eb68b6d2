#include "platform/linux/glib_schleife.h"

#include <glib-unix.h>
#include <glib.h>

#include <thread>

namespace tw {

struct GlibSchleife::Wecker {
  GlibSchleife* schleife;
  WeckerId id;
  Aufgabe aufgabe;
  bool wiederholt;
};

namespace {

gboolean einmalAusfuehren(gpointer daten) {
  (*static_cast<Aufgabe*>(daten))();
  return G_SOURCE_REMOVE;
}

void aufgabeLoeschen(gpointer daten) { delete static_cast<Aufgabe*>(daten); }

gboolean signalAusfuehren(gpointer daten) {
  (*static_cast<Aufgabe*>(daten))();
  return G_SOURCE_CONTINUE;
}

}  // namespace

GlibSchleife::GlibSchleife() : schleife_(g_main_loop_new(nullptr, FALSE)) {}

GlibSchleife::~GlibSchleife() {
  for (const auto& [id, quelle] : quellen_) g_source_remove(quelle);
  g_main_loop_unref(schleife_);
}

Zeitpunkt GlibSchleife::jetzt() const { return std::chrono::steady_clock::now(); }

void GlibSchleife::schlafen(Dauer dauer) { std::this_thread::sleep_for(dauer); }

void GlibSchleife::posten(Aufgabe aufgabe) {
  g_idle_add_full(G_PRIORITY_DEFAULT, einmalAusfuehren, new Aufgabe(std::move(aufgabe)), aufgabeLoeschen);
}

WeckerId GlibSchleife::wecken(Dauer dauer, Aufgabe aufgabe, bool wiederholt) {
  const WeckerId id = naechster_++;
  auto* wecker = new Wecker{this, id, std::move(aufgabe), wiederholt};
  const auto ms = static_cast<guint>(dauer.count() < 0 ? 0 : dauer.count());
  quellen_[id] = g_timeout_add_full(
      G_PRIORITY_DEFAULT, ms,
      [](gpointer daten) -> gboolean {
        auto* w = static_cast<Wecker*>(daten);
        if (!w->wiederholt) w->schleife->quellen_.erase(w->id);
        w->aufgabe();
        return w->wiederholt ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
      },
      wecker, [](gpointer daten) { delete static_cast<Wecker*>(daten); });
  return id;
}

WeckerId GlibSchleife::spaeter(Dauer dauer, Aufgabe aufgabe) {
  return wecken(dauer, std::move(aufgabe), false);
}

WeckerId GlibSchleife::wiederholen(Dauer abstand, Aufgabe aufgabe) {
  return wecken(abstand, std::move(aufgabe), true);
}

void GlibSchleife::abbrechen(WeckerId wecker) {
  const auto treffer = quellen_.find(wecker);
  if (treffer == quellen_.end()) return;
  g_source_remove(treffer->second);
  quellen_.erase(treffer);
}

void GlibSchleife::imHintergrund(Dringlichkeit dringlichkeit, Aufgabe aufgabe) {
  pool_.einreihen(dringlichkeit, std::move(aufgabe));
}

void GlibSchleife::beiSignal(int signal, Aufgabe aufgabe) {
  g_unix_signal_add_full(G_PRIORITY_HIGH, signal, signalAusfuehren, new Aufgabe(std::move(aufgabe)),
                         aufgabeLoeschen);
}

void GlibSchleife::laufen() { g_main_loop_run(schleife_); }

void GlibSchleife::beenden() { g_main_loop_quit(schleife_); }

}  // namespace tw
