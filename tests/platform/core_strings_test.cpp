#include <climits>
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

struct IntCase {
  const char* text;
  int value;
};

TEST(CoreTextToNumber, IntegerTable) {
  const IntCase cases[] = {
      {"800 remark", 800},
      {"1.5", 1},
      {"- 5", 0},          // no blank allowed after the sign
      {"$FF", 255},
      {"$ff", 255},
      {"-$FF", -255},
      {"%101", 5},
      {"%102", 2},         // binary stops at the first non-binary digit
      {" \t\r\n\v\f42", 42},
      {"+17", 17},
      {"-17", -17},
      {"", 0},
      {"abc", 0},
      {"$", 0},
      {"%", 0},
      {"+-3", 0},
      {"4294967297", 1},   // wraps modulo 2^32
      {"2147483648", INT_MIN},
      {"-2147483648", INT_MIN},
      {"$FFFFFFFF", -1},
      {"-4294967295", 1},  // the sign is applied after the wrap
      {"12abc", 12},
  };
  for (const IntCase& c : cases) EXPECT_EQ(ToInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(CoreTextToNumber, LongKeeps64Bits) {
  EXPECT_EQ(ToLong("65150057039"), 65150057039LL);
  EXPECT_EQ(ToLong("-65150057039 x"), -65150057039LL);
  EXPECT_EQ(ToLong("$FFFFFFFFFF"), 0xFFFFFFFFFFLL);
  EXPECT_EQ(ToLong("18446744073709551617"), 1);  // wraps modulo 2^64
}

TEST(CoreTextToNumber, Doubles) {
  EXPECT_DOUBLE_EQ(ToDouble("1.5"), 1.5);
  EXPECT_DOUBLE_EQ(ToDouble("  -0.25kg"), -0.25);
  EXPECT_DOUBLE_EQ(ToDouble(".5"), 0.5);
  EXPECT_DOUBLE_EQ(ToDouble("2e3"), 2000.0);
  EXPECT_DOUBLE_EQ(ToDouble("2e"), 2.0);
  EXPECT_DOUBLE_EQ(ToDouble("$10"), 16.0);
  EXPECT_DOUBLE_EQ(ToDouble("."), 0.0);
  EXPECT_DOUBLE_EQ(ToDouble("- 1"), 0.0);
  EXPECT_TRUE(std::isinf(ToDouble("1e999")));
  EXPECT_FLOAT_EQ(ToFloat("0.05"), 0.05f);
}

TEST(CoreTextToNumber, FloatToStringRoundTrips) {
  EXPECT_EQ(FloatToString(1.0), "1.0");
  EXPECT_EQ(FloatToString(-2.5), "-2.5");
  EXPECT_EQ(FloatToString(0.1), "0.1");
  EXPECT_DOUBLE_EQ(ToDouble(FloatToString(1.0 / 3.0)), 1.0 / 3.0);
}

TEST(CoreStrings, MidLeftRight) {
  EXPECT_EQ(Mid("Hello", 2, 3), "ell");
  EXPECT_EQ(Mid("Hello", 2), "ello");
  EXPECT_EQ(Mid("Hello", 4, 99), "lo");
  EXPECT_EQ(Mid("Hello", 6, 1), "");
  EXPECT_EQ(Mid("Hello", 100), "");
  EXPECT_EQ(Mid("Hello", 0, 2), "H");   // a position before the start eats the count
  EXPECT_EQ(Mid("Hello", -5, 2), "");
  EXPECT_EQ(Mid("Hello", -1), "Hello");
  EXPECT_EQ(Mid("Hello", 1, 0), "");
  EXPECT_EQ(Mid("Hello", INT_MIN, INT_MAX), "");
  EXPECT_EQ(Mid("Hello", INT_MAX, INT_MAX), "");
  EXPECT_EQ(Left("Hello", 2), "He");
  EXPECT_EQ(Left("Hello", -1), "");
  EXPECT_EQ(Left("Hello", 9), "Hello");
  EXPECT_EQ(Right("Hello", 2), "lo");
  EXPECT_EQ(Right("Hello", 0), "");
  EXPECT_EQ(Right("Hello", 9), "Hello");
}

TEST(CoreStrings, Instr) {
  EXPECT_EQ(Instr("a|b|c", "|"), 2);
  EXPECT_EQ(Instr("a|b|c", "|", 3), 4);
  EXPECT_EQ(Instr("a|b|c", "|", 5), 0);
  EXPECT_EQ(Instr("a|b|c", "x"), 0);
  EXPECT_EQ(Instr("abc", "c", -3), 3);
  EXPECT_EQ(Instr("abc", "abcd"), 0);
  EXPECT_EQ(Instr("abc", "c", 100), 0);
  EXPECT_EQ(Instr("", "a"), 0);
}

TEST(CoreStrings, ReplaceTrimCase) {
  EXPECT_EQ(Replace("a*b*c", "*", "_"), "a_b_c");
  EXPECT_EQ(Replace("aaa", "aa", "b"), "ba");
  EXPECT_EQ(Replace("abc", "", "x"), "abc");
  EXPECT_EQ(Replace("abab", "ab", "abab"), "abababab");
  EXPECT_EQ(Trim(std::string("\x01 \t hi there \r\n\0", 17)), "hi there");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");  // non-breaking space is above U+0020
  EXPECT_EQ(Upper("abz{`@ 09"), "ABZ{`@ 09");
  EXPECT_EQ(Upper("\xE9\xF7\xFF\xDF\xB5"), "\xC9\xF7\xFF\xDF\xB5");
  EXPECT_EQ(Lower("ABZ[\xC9\xD7"), "abz[\xE9\xD7");
}

TEST(CoreStrings, HexChrAsc) {
  EXPECT_EQ(Hex(255), "000000FF");
  EXPECT_EQ(Hex(-1), "FFFFFFFF");
  EXPECT_EQ(Hex(INT_MIN), "80000000");
  EXPECT_EQ(Chr(65), "A");
  EXPECT_EQ(Chr(233), "\xE9");
  EXPECT_EQ(Chr(0).size(), 1u);
  EXPECT_EQ(Asc("\xE9z"), 233);
  EXPECT_EQ(Asc(""), -1);
}

TEST(CoreMaths, DegreesAndAbs) {
  EXPECT_NEAR(Sin(90), 1.0, 1e-12);
  EXPECT_NEAR(Cos(180), -1.0, 1e-12);
  EXPECT_NEAR(Tan(45), 1.0, 1e-12);
  EXPECT_NEAR(ATan2(1, 0), 90.0, 1e-12);
  EXPECT_NEAR(ATan2(0, -1), 180.0, 1e-12);
  EXPECT_NEAR(ATan(1), 45.0, 1e-12);
  EXPECT_EQ(Abs(-5), 5);
  EXPECT_EQ(Abs(7), 7);
  EXPECT_EQ(Abs(INT_MIN), INT_MIN);
}

}  // namespace
