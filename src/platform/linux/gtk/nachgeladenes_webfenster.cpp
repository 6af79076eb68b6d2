#include "platform/linux/gtk/nachgeladenes_webfenster.h"

#include <dlfcn.h>

#include "app/protokoll.h"

namespace tw {

NachgeladenesWebfenster::NachgeladenesWebfenster(std::filesystem::path modul,
                                                 std::filesystem::path rahmenDatei)
    : modul_(std::move(modul)), rahmenDatei_(std::move(rahmenDatei)) {}

void NachgeladenesWebfenster::aufbauen(const Fensterbauplan& plan, Webdelegat& delegat) {
  // Loaded once and never unloaded: WebKit keeps threads of its own.
  void* modul = ::dlopen(modul_.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  auto* erzeugen =
      modul ? reinterpret_cast<WebfensterErzeugen>(::dlsym(modul, webfensterErzeugenName)) : nullptr;
  if (!erzeugen) {
    const char* fehler = ::dlerror();
    protokollieren("Einrichtungsfenster nicht verfügbar: " + std::string(fehler ? fehler : modul_.string()));
    return;
  }
  rahmenSichern_ = reinterpret_cast<RahmenSichern>(::dlsym(modul, rahmenSichernName));
  echt_.reset(erzeugen(rahmenDatei_.c_str()));
  echt_->aufbauen(plan, delegat);
}

void NachgeladenesWebfenster::seiteLaden(const std::string& adresse, Dauer frist) {
  if (echt_) echt_->seiteLaden(adresse, frist);
}

void NachgeladenesWebfenster::htmlLaden(const std::string& html) {
  if (echt_) echt_->htmlLaden(html);
}

void NachgeladenesWebfenster::nachVorne() {
  if (echt_) echt_->nachVorne();
}

void NachgeladenesWebfenster::schliessen() {
  if (echt_) echt_->schliessen();
}

void NachgeladenesWebfenster::rahmenSichern() {
  if (echt_ && rahmenSichern_) rahmenSichern_(echt_.get());
}

std::string NachgeladenesWebfenster::adresse() const { return echt_ ? echt_->adresse() : ""; }

}  // namespace tw
