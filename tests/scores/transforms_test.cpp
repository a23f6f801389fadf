// Number formatting, the self-keyed XOR transform and run-length packing.
#include <gtest/gtest.h>

#include <string>

#include "scores/scores.h"

namespace {

TEST(MoneyDisplay, GroupsOfThree) {
  struct Case {
    int value;
    const char* text;
  };
  const Case cases[] = {{0, "0"},           {100, "100"},          {999, "999"},
                        {1000, "1,000"},    {12345, "12,345"},     {123456, "123,456"},
                        {1234567, "1,234,567"}, {2147483647, "2,147,483,647"},
                        {-1, "-1"},         {-123, "-123"},        {-1234, "-1,234"},
                        {-123456, "-123,456"}, {-2147483647 - 1, "-2,147,483,648"}};
  for (const auto& c : cases) EXPECT_EQ(MoneyDisplay(c.value, ""), c.text) << c.value;
  EXPECT_EQ(MoneyDisplay(-1234, "$"), "$-1,234");
  EXPECT_EQ(MoneyDisplay(1000, " 1,00"), " 1,001,000");  // the prefix is not looked at
}

std::string Codes(std::initializer_list<int> codes) {
  std::string s;
  for (int c : codes) s.push_back(static_cast<char>(c));
  return s;
}

TEST(XorTransform, KnownAnswers) {
  EXPECT_EQ(XorEncrypt("abc"), Codes({3, 1, 98}));
  EXPECT_EQ(XorDecrypt(Codes({3, 1, 98})), "abc");
  EXPECT_EQ(XorEncrypt("ab"), Codes({3, 97}));
  EXPECT_EQ(XorEncrypt("aa"), Codes({0, 97}));
  EXPECT_EQ(XorDecrypt(Codes({0, 97})), "aa");
  EXPECT_EQ(XorEncrypt(""), "");
}

TEST(XorTransform, RoundTripsEveryText) {
  std::string allBytes;
  for (int c = 255; c >= 0; --c) allBytes.push_back(static_cast<char>(c));
  const std::string texts[] = {"x", "ab", "Pibbo Zorravel", std::string(3, '\0'), allBytes,
                               std::string("\xff\x01\xfe", 3)};
  for (const auto& t : texts) {
    EXPECT_EQ(XorDecrypt(XorEncrypt(t)), t);
    EXPECT_EQ(XorEncrypt(XorDecrypt(t)), t);
    EXPECT_EQ(XorEncrypt(t).size(), t.size());
  }
}

TEST(Kwamp, KnownAnswers) {
  struct Case {
    std::string text, packed;
  };
  const Case cases[] = {
      {"abc", "AaAbAc"},
      {"aaab", "CaAb"},
      {"x", "Ax"},
      {std::string(53, 'a'), "zaAa"},
      {std::string(104, 'a'), "zaza"},
      {"abcdefghijkl", "AaAbAcAdAeAfAgAhAiAj AkAl"},
      {"abcdefghij", "AaAbAcAdAeAfAgAhAiAj"},
      {"abcdefghijklmnopqrstu", "AaAbAcAdAeAfAgAhAiAj AkAlAmAnAoApAqArAsAt Au"},
      {"a b", "AaA Ab"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Kwamp(c.text), c.packed) << c.text;
    EXPECT_EQ(Unkwamp(c.packed), c.text) << c.packed;
  }
}

TEST(Kwamp, UnpackingIsLenient) {
  EXPECT_EQ(Unkwamp(" CaAb"), "aaab");
  EXPECT_EQ(Unkwamp("Ca  Ab"), "aaab");
  EXPECT_EQ(Unkwamp("[x"), std::string(21, 'x'));
  EXPECT_EQ(Unkwamp("A"), "");
  EXPECT_EQ(Unkwamp("AaB"), "a");
  EXPECT_EQ(Unkwamp("12\x01~"), "");
}

TEST(Kwamp, RoundTrips) {
  std::string mixed;
  for (int i = 0; i < 600; ++i) mixed.push_back(static_cast<char>((i * i / 7) % 256));
  const std::string texts[] = {std::string(1, '\0'), std::string(200, ' '), mixed,
                               "zz  ZZ[[``", std::string(52, 'q') + "r"};
  for (const auto& t : texts) EXPECT_EQ(Unkwamp(Kwamp(t)), t);
}

}  // namespace
