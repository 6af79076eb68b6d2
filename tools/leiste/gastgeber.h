#pragma once
// Shows one tray item on the panel and keeps its label, icon and menu up
// to date; optionally records the open menu once a row appears.

#include <string>
#include <vector>

#include "beobachter.h"
#include "eintrag.h"
#include "klappmenue.h"
#include "tafel.h"

namespace tw::leiste {

struct Auftrag {
  std::string bild;       // PNG of the screen, or empty
  std::string text;       // the menu rows as text, or empty
  std::string wartenAuf;  // a row's label must contain this; empty: any row
  std::string klicken;    // after that, once a row has exactly this label, it is clicked
  std::string klickBild;  // and the screen is saved here two seconds later
  bool gesetzt() const { return !bild.empty() || !text.empty(); }
};

class Gastgeber {
 public:
  Gastgeber(Eintrag eintrag, Auftrag auftrag);
  ~Gastgeber();
  Gastgeber(const Gastgeber&) = delete;
  Gastgeber& operator=(const Gastgeber&) = delete;

  const Eintrag& eintrag() const { return eintrag_; }

 private:
  void auffrischen();
  bool soweit() const;
  void aufnehmen();
  void nachklicken();
  void melden(const std::string& fehler);

  Eintrag eintrag_;
  Auftrag auftrag_;
  Tafel tafel_;
  Klappmenue menue_;
  Eintragsdaten daten_;
  std::vector<Zeile> zeilen_;
  unsigned wecker_ = 0;
  bool aufgeklappt_ = false;
  bool aufgenommen_ = false;
  bool geklickt_ = false;
  std::string gemeldet_;  // the last error logged, so that it is logged once
};

}  // namespace tw::leiste
