#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine/frame/frame.h"

namespace {

struct SplitCase {
  std::string text, sep;
  int mode;
  std::vector<std::string> fields;  // fields 1.. then "-+-"
};

TEST(SplitText, FieldsThenMissingMarker) {
  const std::vector<SplitCase> cases = {
      {"  a,b,c  ", ",", 0, {"a", "b", "c"}},
      {"abc", ",", 0, {"abc"}},
      {"", ",", 0, {""}},
      {"   ", ",", 0, {""}},
      {",a,,b,", ",", 0, {"", "a", "", "b", ""}},
      {"x\n", "\n", 0, {"x"}},
      {"ab::cd::ef", "::", 0, {"ab", "cd", "ef"}},
      {"a = b", "=", 0, {"a ", " b"}},
      {"a b,c", ",", 1, {"a", "b", "c"}},
      {"a  b,c", ",", 1, {"a", "", "b", "c"}},
      {"abc", "", 0, {"", "", "", "", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("text '" + c.text + "' sep '" + c.sep + "'");
    for (size_t i = 0; i < c.fields.size(); ++i) {
      EXPECT_EQ(SplitText(c.text, c.sep, static_cast<int>(i) + 1, c.mode), c.fields[i]) << "field " << i + 1;
    }
    EXPECT_EQ(SplitText(c.text, c.sep, static_cast<int>(c.fields.size()) + 1, c.mode), "-+-");
  }
  EXPECT_EQ(SplitText("  a,b,c  ", ",", 0, 0), "a");
  EXPECT_EQ(SplitText("  a,b,c  ", ",", -3, 0), "a");
}

TEST(IniSplit, KeyAndValue) {
  EXPECT_EQ(IniLeft(" width = 800 "), "WIDTH");
  EXPECT_EQ(IniRight(" width = 800 "), "800");
  EXPECT_EQ(IniRight("[Graphics]"), "-+-");
}

TEST(Hex2Int, DigitsAndWrap) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"FF", 255}, {"ff", 0}, {"1a", 16}, {"G7", 7}, {"", 0}, {"A00000001", 1}, {"FFFFFFFF", -1}};
  for (const auto& [text, value] : cases) EXPECT_EQ(Hex2Int(text), value) << text;
}

TEST(Limits, ClampOrder) {
  EXPECT_EQ(Limit(5, 10, 0), 10);
  EXPECT_EQ(Limit(-3, 0, 255), 0);
  EXPECT_EQ(Limit(7, 0, 255), 7);
  EXPECT_FLOAT_EQ(LimitF(300.0f, 0.0f, 255.0f), 255.0f);
  EXPECT_FLOAT_EQ(LimitF(0.5f, 0.0f, 1.0f), 0.5f);
  EXPECT_FLOAT_EQ(LimitF(std::nanf(""), 2.0f, 3.0f), 2.0f);
}

TEST(Mousein, StrictEdges) {
  mx = 10;
  my = 10;
  EXPECT_EQ(Mousein(5, 5, 10, 10), 1);
  EXPECT_EQ(Mousein(10, 5, 10, 10), 0);  // on the left edge
  EXPECT_EQ(Mousein(0, 0, 10, 20), 0);   // on the right edge
  EXPECT_EQ(Mousein(9, 9, 1, 1), 0);     // too small to hold the mouse
  wx = 100;
  wy = 100;
  EXPECT_EQ(MouseWasin(5, 5, 10, 10), 0);
  EXPECT_EQ(MouseWasin(50, 50, 100, 100), 1);
}

TEST(ShuffleString, SameLettersAndSeedFixesOrder) {
  SeedRnd(77);
  const std::string a = ShuffleString("pibbozorravel");
  SeedRnd(77);
  EXPECT_EQ(ShuffleString("pibbozorravel"), a);
  std::string sortedA = a, sortedB = "pibbozorravel";
  std::sort(sortedA.begin(), sortedA.end());
  std::sort(sortedB.begin(), sortedB.end());
  EXPECT_EQ(sortedA, sortedB);
  EXPECT_EQ(ShuffleString(""), "");
  EXPECT_EQ(ShuffleString("a"), "a");
}

TEST(KeyName, TableAndJoystickRule) {
  const std::vector<std::pair<int, std::string>> cases = {
      {13, "Return"}, {19, "Pause"},  {144, "NumLock"}, {145, "ScrollLock"}, {65, "A"},
      {90, "Z"},      {48, "0"},      {96, "0"},        {112, "F1"},         {123, "F12"},
      {300, "Y-"},    {350, "Y-"},    {311, "R+"},      {320, "Up"},         {323, "Left"},
      {325, "Right"}, {328, "Down"},  {330, "0"},       {349, "19"},         {0, "Y-"},
      {4, "Z-"},      {14, "-16"},    {47, "17"},       {255, "Z+"},         {1, "Left Mousebutton"},
      {192, "'"},     {220, "\\"},    {226, "\\"},      {223, "`"},          {164, "LAlt"}};
  for (const auto& [code, name] : cases) EXPECT_EQ(KeyName(code), name) << code;
}

}  // namespace
