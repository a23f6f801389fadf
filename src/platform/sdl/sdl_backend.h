// Pure helpers of the SDL2 + OpenGL back end: the translation of the window
// system's key, joystick and text values into the framework's. Kept free of
// SDL and GL headers so that tests can check them without a display.
// The numbers taken here are SDL's (scancodes are the USB HID usage ids).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sdlmap {

// Framework key code (Windows virtual-key numbering, 1..255) of an SDL
// scancode; 0 for a key the framework has no code for.
int KeyCodeFromScancode(int scancode);

// Character a key produces as a control character when pressed (8
// Backspace, 9 Tab, 13 Return and keypad Enter, 27 Escape), else 0. The
// window system reports these as keys only, never as typed text.
int ControlCharFromKeyCode(int code);

// SDL mouse button (1 left, 2 middle, 3 right) to the framework's (1 left,
// 2 right, 3 middle); 0 for other buttons.
int MouseButtonFromSdl(int sdlButton);

// SDL hat bits (1 up, 2 right, 4 down, 8 left) to -1 when centred, else
// eighths of a turn clockwise from up (0 up, 0.125 up-right, ... 0.875).
float HatFromSdl(int hatBits);

// SDL axis reading (-32768..32767) to -1..+1, 0 at rest.
float AxisFromSdl(int raw);

// Decodes UTF-8 text into code points, keeping only 1..255 (Latin-1);
// malformed bytes are skipped.
std::vector<int> Latin1FromUtf8(const std::string& text);

}  // namespace sdlmap
