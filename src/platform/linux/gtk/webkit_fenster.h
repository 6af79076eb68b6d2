#pragma once
// The setup window on GTK 3 and WebKitGTK 4.1, as the window program runs it:
// one window with one view in an ephemeral session, driven over its end of
// the channel by the app (Fensterprogramm), which decides every navigation
// and every close. What it may ask is answered later; WebKit holds the
// decision until then.
//
// Messages from the app: "aufbauen" (title, user agent, frame file, frame
// name), "kekse" (cookies, eight fields each), "laden" (address, limit in ms),
// "html", "vorne" ("fokus" or "hinten", event time), "schliessen" and
// "antwort" (question id, "1" or "0"). To the app: "bereit", "frage" (id,
// address), "schliessfrage" (id), "geladen" (address), "fehlgeschlagen",
// "gezeigt", "kekse", "ausgefallen" (why) and "zu" (closed; the program ends).

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/fensterkanal.h"
#include "setupwindow/fensterregeln.h"

namespace tw {

class WebkitFenster final {
 public:
  // `fd`: this side of the channel. `fertig` runs once the window has closed
  // or the app has gone; the program then ends.
  WebkitFenster(int fd, std::function<void()> fertig);
  ~WebkitFenster();
  WebkitFenster(const WebkitFenster&) = delete;
  WebkitFenster& operator=(const WebkitFenster&) = delete;

  // Null before "aufbauen".
  GtkWindow* fenster() const { return fenster_; }
  WebKitWebView* ansicht() const { return ansicht_; }

 private:
  struct Ladung {
    std::string adresse{};  // empty: `html` is loaded
    std::string html{};
    std::chrono::milliseconds frist{0};
  };
  struct Frage {
    WebKitPolicyDecision* entscheidung;  // null: a new window WebKit did not ask about
    bool neuesFenster;
    std::string adresse;
  };

  void empfangen(Nachricht nachricht);
  void aufbauen(const std::vector<std::string>& teile);
  void kekseSetzen(const std::vector<std::string>& teile);
  void kekseMelden(std::function<void()> danach = {});
  void laden(Ladung ladung);
  void beantworten(unsigned long id, bool ja);
  void vorne(bool mitFokus, guint32 zeit);
  void zumachen();
  // Ends the program, once.
  void enden();
  void rahmenSichern();
  void rahmenWiederherstellen(const std::string& name);
  void fristBeenden();
  void melden(std::string art, std::vector<std::string> teile = {});
  unsigned long fragen(Frage frage);

  static gboolean entscheiden(WebKitWebView*, WebKitPolicyDecision*, WebKitPolicyDecisionType, gpointer);
  static GtkWidget* erzeugen(WebKitWebView*, WebKitNavigationAction*, gpointer);
  static gboolean fehlgeschlagen(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, gpointer);
  static void ladestand(WebKitWebView*, WebKitLoadEvent, gpointer);
  static void webprozessEnde(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer);
  static gboolean schliessenFragen(GtkWidget*, GdkEvent*, gpointer);
  static gboolean fristAbgelaufen(gpointer);
  static gboolean veraendert(GtkWidget*, GdkEvent*, gpointer);
  static gboolean abgebildet(GtkWidget*, GdkEvent*, gpointer);
  static gboolean rahmenFaellig(gpointer);
  static void keksGeaendert(WebKitCookieManager*, gpointer);

  Fensterkanal kanal_;
  std::function<void()> fertig_;
  std::filesystem::path rahmenDatei_;
  std::string rahmenName_;
  WebKitWebsiteDataManager* daten_ = nullptr;
  WebKitWebContext* kontext_ = nullptr;
  WebKitSettings* einstellungen_ = nullptr;
  GtkWindow* fenster_ = nullptr;
  WebKitWebView* ansicht_ = nullptr;

  std::map<unsigned long, Frage> fragen_;
  unsigned long naechsteFrage_ = 1;
  bool schliessfrageOffen_ = false;
  // Messages that wait until the cookies handed over are in place.
  int kekseAusstehend_ = 0;
  std::vector<Nachricht> zurueckgestellt_;
  bool gezeigtMelden_ = false;

  guint fristQuelle_ = 0;
  // The last limit given; a page's new window, loaded here, gets it too.
  std::chrono::milliseconds frist_ = std::chrono::seconds(60);
  guint rahmenQuelle_ = 0;
  Ladeverlauf verlauf_;
  // What the view shows, loaded again when its web process is replaced.
  std::optional<Ladung> letzte_;
  int wiederbelebt_ = 0;
  // Expires with this window, for WebKit's answers that come later.
  std::shared_ptr<int> lebt_ = std::make_shared<int>();
};

}  // namespace tw
