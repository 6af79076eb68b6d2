#include "platform/linux/fensterkanal.h"

#include "test.h"

namespace tw {
namespace {

TEST(Fensterkanal, NurGanzeNachrichtenKaputteBeenden) {
  const Nachricht voll{"html", {"", std::string("a\0b\n", 4), std::string(70000, 'x')}};
  const std::string ganz = verpacken(voll) + verpacken({"zu"});
  // What arrives, how many messages it gives, and whether the channel must end.
  for (const auto& [eingang, anzahl, kaputt] : std::vector<std::tuple<std::string, int, bool>>{
           {ganz, 2, false},
           {ganz.substr(0, ganz.size() - 1), 1, false},  // the second is not whole yet
           {ganz.substr(0, 3), 0, false},
           {std::string("\xff\xff\xff\x7f", 4) + "xxxx", 0, true},        // larger than any of ours
           {std::string("\x08\0\0\0\x01\0\0\0\x09\0\0\0", 12), 0, true},  // a field beyond the end
           {std::string("\x04\0\0\0\0\0\0\0", 8), 0, true}}) {            // no fields at all
    std::string puffer = eingang;
    bool ende = false;
    int gelesen = 0;
    while (auto n = entpacken(puffer, ende)) {
      EXPECT_EQ(*n, gelesen == 0 ? voll : Nachricht{"zu"});
      ++gelesen;
    }
    EXPECT_EQ(std::pair(gelesen, ende), std::pair(anzahl, kaputt));
  }
}

}  // namespace
}  // namespace tw
