#include "lifecycle/fassung.h"

#include <gtest/gtest.h>

namespace tw {

using Zahlen = std::vector<std::int64_t>;

TEST(Nummer, ErsteDreiteiligeFassungImText) {
  EXPECT_EQ(nummer("1.7.2_demo"), (Zahlen{1, 7, 2}));
  EXPECT_EQ(nummer("2.10.3.4"), (Zahlen{2, 10, 3}));
  EXPECT_EQ(nummer("Taler Wacht v12.0.7-beta.app"), (Zahlen{12, 0, 7}));
  EXPECT_EQ(nummer("/Applications/1..2.3.4/x"), (Zahlen{2, 3, 4}));
  EXPECT_EQ(nummer("3.1"), Zahlen{0});
  EXPECT_EQ(nummer(""), Zahlen{0});
  EXPECT_EQ(nummer("1.99999999999999999999.3"), (Zahlen{1, 0, 3}));
}

TEST(Nummer, VergleichZahlFuerZahl) {
  EXPECT_TRUE(fassungNiedriger("1.9.9", "1.10.0"));
  EXPECT_FALSE(fassungNiedriger("1.10.0", "1.9.9"));
  EXPECT_FALSE(fassungNiedriger("1.7.2", "1.7.2_demo"));
  EXPECT_FALSE(fassungNiedriger("1.7.2_demo", "1.7.2"));
  EXPECT_TRUE(fassungNiedriger("2.0", "0.0.1"));  // no label counts as [0], a prefix of [0, 0, 1]
  EXPECT_TRUE(fassungNiedriger("1.7.2", "1.8.0"));
}

}  // namespace tw
