// The end of the game's X window, noticed instead of ending the process
// with an X error (sdl_x11.cpp).
#pragma once

#include <SDL.h>

struct SDL_SysWMmsg;

// Watches the X window of `window` when SDL runs on X11; nothing otherwise.
void WatchX11Window(SDL_Window* window);
// The window is being closed by the program itself.
void ForgetX11Window();
// After the window was destroyed: takes in what the X server answered.
void SettleX11Window();
// True once the watched window is gone: nothing may be put onto it.
bool X11WindowGone();
// Takes a window-system event (SDL_SYSWMEVENT): the window's destruction.
void NoteX11Event(const SDL_SysWMmsg* message);
