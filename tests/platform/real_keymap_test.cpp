// Translation of SDL key, mouse, joystick and text values (no display needed).
// Scancodes are given by their USB HID usage numbers, which SDL uses as is.
#include <gtest/gtest.h>

#include "platform/sdl/sdl_backend.h"

namespace {

TEST(RealKeymap, ScancodesGiveFrameworkCodes) {
  struct Case {
    int scancode;
    int code;
    const char* key;
  };
  const Case cases[] = {
      {4, 65, "A"},           {29, 90, "Z"},          {30, 49, "1"},
      {38, 57, "9"},          {39, 48, "0"},          {40, 13, "Return"},
      {41, 27, "Escape"},     {42, 8, "Backspace"},   {43, 9, "Tab"},
      {44, 32, "Space"},      {58, 112, "F1"},        {68, 122, "F11"},
      {69, 123, "F12"},       {73, 45, "Insert"},     {74, 36, "Home"},
      {75, 33, "PageUp"},     {76, 46, "Delete"},     {77, 35, "End"},
      {78, 34, "PageDown"},   {79, 39, "Right"},      {80, 37, "Left"},
      {81, 40, "Down"},       {82, 38, "Up"},         {89, 97, "Keypad 1"},
      {97, 105, "Keypad 9"},  {98, 96, "Keypad 0"},   {88, 13, "Keypad Enter"},
      {51, 186, "Semicolon"}, {53, 192, "Grave"},     {47, 219, "["},
      {52, 222, "Apostrophe"}, {54, 188, "Comma"},    {56, 191, "Slash"},
      {224, 162, "LCtrl"},    {225, 160, "LShift"},   {226, 164, "LAlt"},
      {228, 163, "RCtrl"},    {229, 161, "RShift"},   {230, 165, "RAlt"},
      {0, 0, "unknown"},      {-1, 0, "negative"},    {100000, 0, "out of range"},
  };
  for (const Case& c : cases) EXPECT_EQ(sdlmap::KeyCodeFromScancode(c.scancode), c.code) << c.key;
}

TEST(RealKeymap, ControlCharactersAndMouseButtons) {
  EXPECT_EQ(sdlmap::ControlCharFromKeyCode(8), 8);
  EXPECT_EQ(sdlmap::ControlCharFromKeyCode(13), 13);
  EXPECT_EQ(sdlmap::ControlCharFromKeyCode(27), 27);
  EXPECT_EQ(sdlmap::ControlCharFromKeyCode(65), 0);  // letters come as text
  // SDL numbers middle 2 and right 3; the framework the other way round.
  EXPECT_EQ(sdlmap::MouseButtonFromSdl(1), 1);
  EXPECT_EQ(sdlmap::MouseButtonFromSdl(2), 3);
  EXPECT_EQ(sdlmap::MouseButtonFromSdl(3), 2);
  EXPECT_EQ(sdlmap::MouseButtonFromSdl(4), 0);
}

TEST(RealKeymap, HatDirectionsAreEighthsClockwiseFromUp) {
  // SDL hat bits: 1 up, 2 right, 4 down, 8 left.
  const std::pair<int, float> cases[] = {{0, -1.0f},   {1, 0.0f},   {3, 0.125f},
                                         {2, 0.25f},   {6, 0.375f}, {4, 0.5f},
                                         {12, 0.625f}, {8, 0.75f},  {9, 0.875f}};
  for (auto [bits, value] : cases) EXPECT_FLOAT_EQ(sdlmap::HatFromSdl(bits), value) << bits;
}

TEST(RealKeymap, AxesSpanMinusOneToOneWithExactRest) {
  EXPECT_FLOAT_EQ(sdlmap::AxisFromSdl(0), 0.0f);
  EXPECT_FLOAT_EQ(sdlmap::AxisFromSdl(32767), 1.0f);
  EXPECT_FLOAT_EQ(sdlmap::AxisFromSdl(-32768), -1.0f);
  EXPECT_NEAR(sdlmap::AxisFromSdl(16384), 0.5f, 1e-4f);
  EXPECT_NEAR(sdlmap::AxisFromSdl(-16384), -0.5f, 1e-4f);
}

TEST(RealKeymap, TypedTextKeepsLatin1Only) {
  using V = std::vector<int>;
  EXPECT_EQ(sdlmap::Latin1FromUtf8("Ab1"), (V{65, 98, 49}));
  EXPECT_EQ(sdlmap::Latin1FromUtf8("\xC3\xA9\xC3\xBF"), (V{0xE9, 0xFF}));  // é ÿ
  EXPECT_EQ(sdlmap::Latin1FromUtf8("a\xE2\x82\xAC" "b"), (V{'a', 'b'}));   // € dropped
  EXPECT_EQ(sdlmap::Latin1FromUtf8("\xF0\x9F\x98\x80x"), (V{'x'}));        // emoji dropped
  // Overlong encodings, stray continuation bytes and a cut-off tail.
  EXPECT_EQ(sdlmap::Latin1FromUtf8("\xC0\x8D" "c"), (V{'c'}));
  EXPECT_EQ(sdlmap::Latin1FromUtf8("\x80z"), (V{'z'}));
  EXPECT_EQ(sdlmap::Latin1FromUtf8("q\xC3"), (V{'q'}));
  EXPECT_EQ(sdlmap::Latin1FromUtf8("\xC3" "A"), (V{'A'}));
}

}  // namespace
