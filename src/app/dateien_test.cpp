#include "app/dateien.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "helfer/temp_ordner.h"

namespace tw {
namespace {}  // namespace

TEST(Lesen, TrimmtUndSagtNichtsBeiUnbrauchbaremInhalt) {
  TempOrdner t;
  dateiSchreiben(t / "pid", "4711\n");
  dateiSchreiben(t / "leer", " \n");
  dateiSchreiben(t / "kaputt", "ab\xFF");
  dateiSchreiben(t / "gross", std::string(groessteLesbareDatei + 1, 'x'));
  ::mkfifo((t / "fifo").c_str(), 0600);  // must not block
  EXPECT_EQ(lesen(t / "pid"), "4711");
  EXPECT_EQ(lesen(t / "leer"), "");
  for (const char* name : {"fehlt", "kaputt", "gross", "fifo", ""}) EXPECT_FALSE(lesen(t / name)) << name;
}

TEST(SchreibenPrivat, NeueUndWeiteDateienWerdenPrivat) {
  TempOrdner t;
  const auto neu = t / "menue.pid", weit = t / "menue.adresse";
  dateiSchreiben(weit, "alt");
  ::chmod(weit.c_str(), 0666);
  const mode_t maske = ::umask(0);
  schreibenPrivat("123", neu);
  schreibenPrivat("https://neu.example", weit);
  ::umask(maske);
  EXPECT_EQ(lesen(neu), "123");
  EXPECT_EQ(lesen(weit), "https://neu.example");
  EXPECT_EQ(rechte(neu), 0600u);
  EXPECT_EQ(rechte(weit), 0600u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.pfad()), {}), 2) << "no temporary file left";
}

TEST(SchreibenPrivat, FehlenderOrdnerUndFremderVerweisBleibenUnberuehrt) {
  TempOrdner t;
  schreibenPrivat("x", t / "fehlt" / "datei");
  EXPECT_FALSE(std::filesystem::exists(t / "fehlt"));
  // A link planted under the marker's name is replaced, its target left alone.
  dateiSchreiben(t / "ziel", "bleibt");
  std::filesystem::create_symlink(t / "ziel", t / "marke");
  schreibenPrivat("neu", t / "marke");
  EXPECT_EQ(lesen(t / "ziel"), "bleibt");
  EXPECT_EQ(lesen(t / "marke"), "neu");
}

TEST(PrivatenOrdnerAnlegen, NurNeueOrdnerWerden0700) {
  TempOrdner t;
  std::filesystem::create_directory(t / "da");
  ::chmod((t / "da").c_str(), 0755);
  privatenOrdnerAnlegen(t / "da" / "a" / "b");
  EXPECT_EQ(rechte(t / "da"), 0755u);
  EXPECT_EQ(rechte(t / "da" / "a"), 0700u);
  EXPECT_EQ(rechte(t / "da" / "a" / "b"), 0700u);
}

}  // namespace tw
