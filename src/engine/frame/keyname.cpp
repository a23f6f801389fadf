// Names of input codes, as the settings panel and the start prompt show
// them: keys from a fixed table, everything else by the joystick rule.
#include <map>

#include "engine/frame/frame.h"

namespace {

const std::map<int, std::string>& NameTable() {
  static const std::map<int, std::string> table = [] {
    std::map<int, std::string> t = {
        {1, "Left Mousebutton"}, {2, "Right Mousebutton"}, {3, "Middle Mousebutton"},
        {8, "Backspace"}, {9, "Tab"}, {12, "Clear"}, {13, "Return"}, {19, "Pause"},
        {20, "CapsLock"}, {27, "Escape"}, {32, "Space"}, {33, "Page Up"}, {34, "Page Down"},
        {35, "End"}, {36, "Home"}, {37, "Left"}, {38, "Up"}, {39, "Right"}, {40, "Down"},
        {41, "Select"}, {42, "Print"}, {43, "Execute"}, {44, "Screen"}, {45, "Insert"},
        {46, "Delete"}, {91, "Sys Left"}, {92, "Sys Right"}, {106, "*"},
        {107, "+"}, {109, "-"}, {110, "."}, {111, "/"}, {144, "NumLock"}, {145, "ScrollLock"},
        {160, "LShift"}, {161, "RShift"}, {162, "LControl"}, {163, "RControl"}, {164, "LAlt"},
        {165, "RAlt"}, {173, "Mute"}, {174, "Volume Down"}, {175, "Volume Up"}, {186, ";"},
        {187, "="}, {188, ","}, {189, "-"}, {190, "."}, {191, "/"}, {192, "'"}, {219, "["},
        {220, "\\"}, {221, "]"}, {222, "#"}, {223, "`"}, {226, "\\"}};
    for (int c = 48; c <= 57; ++c) t[c] = std::string(1, static_cast<char>(c));
    for (int c = 96; c <= 105; ++c) t[c] = std::string(1, static_cast<char>('0' + c - 96));
    for (int c = 65; c <= 90; ++c) t[c] = std::string(1, static_cast<char>(c));
    for (int c = 112; c <= 123; ++c) {
      std::string name(1, 'F');
      name += std::to_string(c - 111);
      t[c] = name;
    }
    return t;
  }();
  return table;
}

const std::map<int, std::string>& JoyTable() {
  static const std::map<int, std::string> table = {
      {0, "Y-"}, {1, "Y+"}, {2, "X-"},  {3, "X+"},  {4, "Z-"},     {5, "Z+"},    {6, "U-"},
      {7, "U+"}, {8, "V-"}, {9, "V+"}, {10, "R-"}, {11, "R+"}, {20, "Up"}, {23, "Left"},
      {25, "Right"}, {28, "Down"}};
  return table;
}

}  // namespace

std::string KeyName(int code) {
  const auto& names = NameTable();
  if (auto it = names.find(code); it != names.end()) return it->second;
  const int sub = code % 50;
  const auto& joy = JoyTable();
  if (auto it = joy.find(sub); it != joy.end()) return it->second;
  return std::to_string(sub - 30);
}
