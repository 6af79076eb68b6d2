#include "app/text.h"

#include "test.h"

namespace tw {

TEST(Text, GanzzahlenUtf8UndLeerraum) {
  const std::pair<const char*, int> zahlen[] = {
      {"42", 42}, {"+42", 42}, {"-42", -42}, {"007", 7}, {"-2147483648", INT32_MIN}};
  for (const auto& [text, zahl] : zahlen) EXPECT_EQ(ganzzahl32(text), zahl) << text;
  for (const char* falsch : {"", "+", "-", "+-1", "--1", " 1", "1 ", "4 2", "0x10", "2147483648", "1e3", "٣"})
    EXPECT_FALSE(ganzzahl32(falsch)) << falsch;
  EXPECT_EQ(ganzzahl64("2147483648"), 2147483648LL);
  EXPECT_FALSE(ganzzahl64("9223372036854775808"));

  EXPECT_TRUE(gueltigesUtf8("Bündel ✓ 𝄞"));
  for (const char* falsch : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\x80", "a\xFF"})
    EXPECT_FALSE(gueltigesUtf8(falsch));

  EXPECT_EQ(getrimmt("\u00A0 \t12 3\r\n\u3000\u2028"), "12 3");
  EXPECT_EQ(getrimmt(" \n "), "");
  EXPECT_EQ(getrimmt("\u200Bx\u200B"), "\u200Bx\u200B");  // zero width space is no white space
}

}  // namespace tw
