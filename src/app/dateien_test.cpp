#include "app/dateien.h"

#include <sys/stat.h>

#include "test.h"

namespace tw {

TEST(Dateien, LesenTrimmtUndSagtNichtsBeiUnbrauchbaremInhalt) {
  TempOrdner t;
  dateiSchreiben(t / "pid", "4711\n");
  dateiSchreiben(t / "leer", " \n");
  dateiSchreiben(t / "kaputt", "ab\xFF");
  dateiSchreiben(t / "gross", std::string(groessteLesbareDatei + 1, 'x'));
  ::mkfifo((t / "fifo").c_str(), 0600);                      // must not block
  std::filesystem::create_symlink("/dev/zero", t / "null");  // endless, with a size of 0
  EXPECT_EQ(lesen(t / "pid"), "4711");
  EXPECT_EQ(lesen(t / "leer"), "");
  for (const char* name : {"fehlt", "kaputt", "gross", "fifo", "null", ""})
    EXPECT_FALSE(lesen(t / name)) << name;
}

TEST(Dateien, PrivatSchreibenUndOrdnerAnlegen) {
  TempOrdner t;
  const auto neu = t / "menue.pid", weit = t / "menue.adresse";
  dateiSchreiben(weit, "alt");
  ::chmod(weit.c_str(), 0666);
  dateiSchreiben(t / "ziel", "bleibt");
  std::filesystem::create_symlink(t / "ziel", t / "marke");
  const mode_t maske = ::umask(0);
  schreibenPrivat("123", neu);
  schreibenPrivat("https://neu.example", weit);
  schreibenPrivat("neu", t / "marke");  // a link planted under its name is replaced, its target kept
  schreibenPrivat("x", t / "fehlt/datei");
  std::filesystem::create_directory(t / "da");
  privatenOrdnerAnlegen(t / "da/a/b");
  schreibenPrivat("x", t / "da");  // the rename fails: no temporary file may stay
  ::umask(maske);
  const std::pair<std::filesystem::path, const char*> geschrieben[] = {
      {neu, "123"}, {weit, "https://neu.example"}, {t / "marke", "neu"}};
  for (const auto& [datei, inhalt] : geschrieben) {
    EXPECT_EQ(lesen(datei), inhalt);
    EXPECT_EQ(rechte(datei), 0600u);
  }
  EXPECT_EQ(lesen(t / "ziel"), "bleibt");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.pfad()), {}), 5) << "no temporary file left";
  EXPECT_EQ(rechte(t / "da"), 0777u) << "only new folders are made private";
  EXPECT_EQ(rechte(t / "da/a"), 0700u);
  EXPECT_EQ(rechte(t / "da/a/b"), 0700u);
}

}  // namespace tw
