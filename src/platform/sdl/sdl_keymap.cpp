// Key, mouse-button, joystick and text translation for the SDL back end.
#include <SDL.h>

#include <array>

#include "platform/sdl/sdl_backend.h"

namespace sdlmap {
namespace {

struct ScanKey {
  SDL_Scancode scancode;
  int code;
};

// Positions of the keys on a US layout, named by the framework's codes.
constexpr ScanKey kScanKeys[] = {
    {SDL_SCANCODE_RETURN, 13},       {SDL_SCANCODE_ESCAPE, 27},
    {SDL_SCANCODE_BACKSPACE, 8},     {SDL_SCANCODE_TAB, 9},
    {SDL_SCANCODE_SPACE, 32},        {SDL_SCANCODE_MINUS, 189},
    {SDL_SCANCODE_EQUALS, 187},      {SDL_SCANCODE_LEFTBRACKET, 219},
    {SDL_SCANCODE_RIGHTBRACKET, 221}, {SDL_SCANCODE_BACKSLASH, 220},
    {SDL_SCANCODE_NONUSHASH, 220},   {SDL_SCANCODE_SEMICOLON, 186},
    {SDL_SCANCODE_APOSTROPHE, 222},  {SDL_SCANCODE_GRAVE, 192},
    {SDL_SCANCODE_COMMA, 188},       {SDL_SCANCODE_PERIOD, 190},
    {SDL_SCANCODE_SLASH, 191},       {SDL_SCANCODE_CAPSLOCK, 20},
    {SDL_SCANCODE_PRINTSCREEN, 44},  {SDL_SCANCODE_SCROLLLOCK, 145},
    {SDL_SCANCODE_PAUSE, 19},        {SDL_SCANCODE_INSERT, 45},
    {SDL_SCANCODE_HOME, 36},         {SDL_SCANCODE_PAGEUP, 33},
    {SDL_SCANCODE_DELETE, 46},       {SDL_SCANCODE_END, 35},
    {SDL_SCANCODE_PAGEDOWN, 34},     {SDL_SCANCODE_RIGHT, 39},
    {SDL_SCANCODE_LEFT, 37},         {SDL_SCANCODE_DOWN, 40},
    {SDL_SCANCODE_UP, 38},           {SDL_SCANCODE_NUMLOCKCLEAR, 144},
    {SDL_SCANCODE_KP_DIVIDE, 111},   {SDL_SCANCODE_KP_MULTIPLY, 106},
    {SDL_SCANCODE_KP_MINUS, 109},    {SDL_SCANCODE_KP_PLUS, 107},
    {SDL_SCANCODE_KP_ENTER, 13},     {SDL_SCANCODE_KP_0, 96},
    {SDL_SCANCODE_KP_PERIOD, 110},   {SDL_SCANCODE_NONUSBACKSLASH, 226},
    {SDL_SCANCODE_APPLICATION, 93},  {SDL_SCANCODE_CLEAR, 12},
    {SDL_SCANCODE_LCTRL, 162},       {SDL_SCANCODE_LSHIFT, 160},
    {SDL_SCANCODE_LALT, 164},        {SDL_SCANCODE_LGUI, 91},
    {SDL_SCANCODE_RCTRL, 163},       {SDL_SCANCODE_RSHIFT, 161},
    {SDL_SCANCODE_RALT, 165},        {SDL_SCANCODE_RGUI, 92},
};

std::array<uint8_t, SDL_NUM_SCANCODES> BuildTable() {
  std::array<uint8_t, SDL_NUM_SCANCODES> table{};
  for (int i = 0; i < 26; ++i) table[SDL_SCANCODE_A + i] = static_cast<uint8_t>(65 + i);
  for (int i = 0; i < 9; ++i) table[SDL_SCANCODE_1 + i] = static_cast<uint8_t>(49 + i);
  table[SDL_SCANCODE_0] = 48;
  for (int i = 0; i < 12; ++i) table[SDL_SCANCODE_F1 + i] = static_cast<uint8_t>(112 + i);
  for (int i = 0; i < 12; ++i) table[SDL_SCANCODE_F13 + i] = static_cast<uint8_t>(124 + i);
  for (int i = 0; i < 9; ++i) table[SDL_SCANCODE_KP_1 + i] = static_cast<uint8_t>(97 + i);
  for (const ScanKey& k : kScanKeys) table[k.scancode] = static_cast<uint8_t>(k.code);
  return table;
}

}  // namespace

int KeyCodeFromScancode(int scancode) {
  static const std::array<uint8_t, SDL_NUM_SCANCODES> table = BuildTable();
  if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
  return table[scancode];
}

int ControlCharFromKeyCode(int code) {
  switch (code) {
    case 8: case 9: case 13: case 27: return code;
    default: return 0;
  }
}

int MouseButtonFromSdl(int sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 3;
    default: return 0;
  }
}

float HatFromSdl(int hatBits) {
  switch (hatBits) {
    case SDL_HAT_UP: return 0.0f;
    case SDL_HAT_RIGHTUP: return 0.125f;
    case SDL_HAT_RIGHT: return 0.25f;
    case SDL_HAT_RIGHTDOWN: return 0.375f;
    case SDL_HAT_DOWN: return 0.5f;
    case SDL_HAT_LEFTDOWN: return 0.625f;
    case SDL_HAT_LEFT: return 0.75f;
    case SDL_HAT_LEFTUP: return 0.875f;
    default: return -1.0f;  // centred, or opposite directions at once
  }
}

float AxisFromSdl(int raw) {
  if (raw >= 0) return raw >= 32767 ? 1.0f : static_cast<float>(raw) / 32767.0f;
  return raw <= -32768 ? -1.0f : static_cast<float>(raw) / 32768.0f;
}

std::vector<int> Latin1FromUtf8(const std::string& text) {
  std::vector<int> out;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    int length = 0;
    uint32_t cp = 0;
    if (lead < 0x80) {
      length = 1;
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      cp = lead & 0x07;
    } else {
      ++i;  // stray continuation byte or invalid lead
      continue;
    }
    if (i + length > n) break;  // cut-off sequence at the end
    bool valid = true;
    for (int k = 1; k < length; ++k) {
      const unsigned char c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!valid) {
      ++i;
      continue;
    }
    // Overlong forms would smuggle control characters past the filter.
    static constexpr uint32_t kMinForLength[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinForLength[length]) valid = false;
    i += length;
    if (valid && cp >= 1 && cp <= 255) out.push_back(static_cast<int>(cp));
  }
  return out;
}

}  // namespace sdlmap
