#pragma once
// The platform as the controller sees it: every seam it reaches the desktop
// through. Linux: the GTK shell in programm.cpp. Tests: tests/fakes/oberflaeche.h.

#include "platform/anwendung.h"
#include "platform/besitzerbestaetigung.h"
#include "platform/browser.h"
#include "platform/dialoge.h"
#include "platform/ereignisschleife.h"
#include "platform/schluesselbund.h"
#include "platform/statusanzeige.h"
#include "platform/webfenster.h"
#include "platform/zwischenablage.h"

namespace tw {

struct Oberflaeche {
  Ereignisschleife& schleife;
  Statusanzeige& anzeige;
  Dialoge& dialoge;
  Zwischenablage& ablage;
  Anwendung& anwendung;
  Schluesselbund& schluesselbund;
  Besitzerbestaetigung& besitzer;
  Webfenster& web;
  Browser& browser;
};

}  // namespace tw
