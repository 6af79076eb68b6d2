#pragma once
// Webfenster on GTK 3 and WebKitGTK 4.1: one window with one view, in an
// ephemeral session that lasts as long as this object. Closing hides the
// window and ends its web process; the next load starts a fresh one.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <filesystem>
#include <string>

#include "platform/webfenster.h"

namespace tw {

class WebkitFenster final : public Webfenster {
 public:
  // `rahmenDatei`: the key file the window's frame is kept in.
  explicit WebkitFenster(std::filesystem::path rahmenDatei);
  ~WebkitFenster() override;
  WebkitFenster(const WebkitFenster&) = delete;
  WebkitFenster& operator=(const WebkitFenster&) = delete;

  void aufbauen(const Fensterbauplan& plan, Webdelegat& delegat) override;
  void seiteLaden(const std::string& adresse, Dauer frist) override;
  void htmlLaden(const std::string& html) override;
  void nachVorne() override;
  void schliessen() override;
  std::string adresse() const override;

  // Saves the window's size and place; does nothing while it is hidden or
  // before aufbauen. Also runs on close and shortly after a move or resize.
  void rahmenSichern();

  // Null before aufbauen.
  GtkWindow* fenster() const { return fenster_; }
  WebKitWebView* ansicht() const { return ansicht_; }

 private:
  static gboolean entscheiden(WebKitWebView*, WebKitPolicyDecision*, WebKitPolicyDecisionType, gpointer);
  static GtkWidget* erzeugen(WebKitWebView*, WebKitNavigationAction*, gpointer);
  static gboolean fehlgeschlagen(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, gpointer);
  static void ladestand(WebKitWebView*, WebKitLoadEvent, gpointer);
  static gboolean schliessenFragen(GtkWidget*, GdkEvent*, gpointer);
  static gboolean fristAbgelaufen(gpointer);
  static gboolean veraendert(GtkWidget*, GdkEvent*, gpointer);
  static gboolean rahmenFaellig(gpointer);

  void fristBeenden();
  void rahmenWiederherstellen(const std::string& name);

  std::filesystem::path rahmenDatei_;
  std::string rahmenName_;
  Webdelegat* delegat_ = nullptr;
  WebKitWebsiteDataManager* daten_ = nullptr;
  WebKitWebContext* kontext_ = nullptr;
  WebKitSettings* einstellungen_ = nullptr;
  GtkWindow* fenster_ = nullptr;
  WebKitWebView* ansicht_ = nullptr;

  guint fristQuelle_ = 0;
  // The last limit given; a page's new window, loaded here, gets it too.
  Dauer frist_ = std::chrono::seconds(60);
  guint rahmenQuelle_ = 0;
  bool ladenGescheitert_ = false;
};

}  // namespace tw
