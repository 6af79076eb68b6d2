// The entry of the module that carries the setup window and WebKit.

#include "platform/linux/gtk/nachgeladenes_webfenster.h"
#include "platform/linux/gtk/webkit_fenster.h"

extern "C" __attribute__((visibility("default"))) tw::Webfenster* tw_webfenster_erzeugen(
    const char* rahmenDatei) {
  return new tw::WebkitFenster(rahmenDatei);
}
