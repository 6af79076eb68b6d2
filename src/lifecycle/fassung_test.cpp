#include "lifecycle/fassung.h"

#include "test.h"

namespace tw {

TEST(Fassung, ErsteDreiteiligeNummerImTextUndVergleichZahlFuerZahl) {
  const std::pair<const char*, std::vector<std::int64_t>> nummern[] = {
      {"1.7.2_demo", {1, 7, 2}},
      {"2.10.3.4", {2, 10, 3}},
      {"Taler Wacht v12.0.7-beta.app", {12, 0, 7}},
      {"/Applications/1..2.3.4/x", {2, 3, 4}},
      {"3.1", {0}},
      {"", {0}},
      {"1.99999999999999999999.3", {1, 0, 3}}};
  for (const auto& [text, zahlen] : nummern) EXPECT_EQ(nummer(text), zahlen) << text;
  EXPECT_TRUE(fassungNiedriger("1.9.9", "1.10.0"));
  EXPECT_FALSE(fassungNiedriger("1.10.0", "1.9.9"));
  EXPECT_FALSE(fassungNiedriger("1.7.2", "1.7.2_demo") || fassungNiedriger("1.7.2_demo", "1.7.2"));
  EXPECT_TRUE(fassungNiedriger("2.0", "0.0.1"));  // no label counts as [0], a prefix of [0, 0, 1]
}

}  // namespace tw
