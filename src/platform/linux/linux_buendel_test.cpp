// The program's locations, and which bundle it sits in with its version from the bundle's Info.plist.
#include "app/konstanten.h"

#include "app/dateien.h"
#include "lifecycle/skriptsuche.h"
#include "platform/linux/linux_buendel.h"
#include "test.h"

namespace tw {

TEST(Orte, AusDerUmgebungUndDemBuendelMitSeinerInfoListe) {
  TempOrdner t;
  const std::string kopf = "<?xml version=\"1.0\"?>\n<!DOCTYPE plist>\n<plist version=\"1.0\"><dict>";
  const std::string fassung = "<key>CFBundleShortVersionString</key>";
  const struct {
    const char* buendel;
    std::string liste;
    const char* fassung;
  } faelle[] = {
      {"A.app", kopf + "<key>X</key><true/>" + fassung + "\n<string>1.7.2&amp;x</string></dict></plist>",
       "1.7.2&x"},
      {"B.app", kopf + "<key>CFBundleName</key><string>Taler Wacht</string></dict></plist>", ""},
      {"C.app", kopf + fassung + "<integer>3</integer></dict></plist>", ""},
      {"D.app", "kein xml <", ""},
      {"E.bundle", kopf + fassung + "<string>9.9.9</string></dict></plist>", ""},
  };
  for (const auto& fall : faelle) {
    const auto programm = t / fall.buendel / "Contents/MacOS/TalerWacht";
    fs::create_directories(programm.parent_path());
    dateiSchreiben(t / fall.buendel / "Contents/Info.plist", fall.liste);
    const LinuxBuendel buendel(programm);
    EXPECT_EQ(buendel.ort(),
              std::string_view(fall.buendel).ends_with(".app") ? t / fall.buendel : programm.parent_path());
    EXPECT_EQ(buendel.infoText("CFBundleShortVersionString").value_or(""), fall.fassung) << fall.buendel;
  }

  // They are computed once per process, so the probe program shows them from a fresh process: bare,
  // and copied into the first bundle, whose own script is then the only candidate.
  const auto ausgabe = [&](const fs::path& programm) {
    Kindprozess probe({{programm}, umgebung(t.pfad(), "/srv/zustand")});
    EXPECT_TRUE(endeteMit(probe.warten(10s), 0)) << probe.fehler();
    return probe.ausgabe();
  };
  const std::string orte = "konfigOrdner=" + t.pfad().string() +
                           "/.config/geld-bote-demo\nsperrdatei=/srv/zustand/menue.pid\n"
                           "bestaetigteAdresse=/srv/zustand/menue.adresse\n"
                           "gezeigteAdresse=/srv/zustand/menue.adresse.gezeigt\n";
  EXPECT_EQ(ausgabe(TW_KONSTANTEN_PROBE), orte + "imBuendel=0\neigeneFassung=\nskript=\n");
  const auto a = t / "A.app/Contents";
  fs::copy_file(TW_KONSTANTEN_PROBE, a / "MacOS/TalerWacht");
  fs::create_directories(a / "Resources");
  dateiSchreiben(a / "Resources/starten", "");
  EXPECT_EQ(ausgabe(a / "MacOS/TalerWacht"),
            orte + "imBuendel=1\neigeneFassung=1.7.2&x\nskript=" + (a / "Resources/starten").string() + "\n");

  const auto quellen = programmSuchquellen();
  EXPECT_FALSE(quellen.eigenesBuendel);
  EXPECT_EQ(quellen.ordner, (std::vector<fs::path>{"/Applications", heim() / "Applications"}));
  EXPECT_EQ(zustandOrdnerFuer({}, "/heim"), "/heim/.local/state/geld-bote-demo");
  EXPECT_EQ(zustandOrdnerFuer({{"GELD_BOTE_ZUSTAND", ""}}, "/heim"), fs::current_path())
      << "empty still counts, no home fallback";
}

}  // namespace tw
