#include "platform/dialoge.h"

#include "test.h"

namespace tw {
namespace {

TEST(Dialoge, KnoepfeStehenUndAntwortenNachDenRegeln) {
  const Hinweis frage{.knoepfe = {"Entsperren", "Abbrechen", "Später"}};
  const Hinweis jaNein{.knoepfe = {"Ja", "Nein"}};
  const Hinweis ersterAufEscape{.knoepfe = {"Später", "Jetzt"}, .ersterAufEscape = true};
  EXPECT_EQ(knopfReihe(frage),
            (std::vector<Knopf>{{"Später", 1002}, {"Abbrechen", 1001}, {"Entsperren", 1000}}));
  EXPECT_EQ(knopfReihe({}), (std::vector<Knopf>{{"OK", 1000}}));
  EXPECT_EQ(knopfReihe({.knoepfe = {"_a__"}}), (std::vector<Knopf>{{"__a____", 1000}}));
  // antwort 0 stands for any response without a button, such as Escape or closing the window.
  const std::tuple<Hinweis, int, int> faelle[] = {
      {frage, 0, 1001},   // "Abbrechen"
      {jaNein, 0, 1001},  // the last button
      {ersterAufEscape, 0, 1000}, {jaNein, 1000, 1000}, {jaNein, 1002, 1001}, {{}, 0, 1000},
  };
  for (const auto& [hinweis, antwort, knopf] : faelle)
    EXPECT_EQ(knopfFuer(hinweis, antwort), knopf) << antwort;
}

}  // namespace
}  // namespace tw
