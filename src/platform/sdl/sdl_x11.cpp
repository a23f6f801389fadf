// The end of the game's X window, noticed: a window destroyed under the
// program (by the window manager, a tool, the X server's client kill) makes
// the next picture put onto it fail, and Xlib's default answer to that
// failure is to print an X error and end the process. While a window is
// watched, errors about it are taken as its end instead.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include "platform/sdl/sdl_x11.h"

namespace {

Display* gDisplay = nullptr;
Window gWindow = 0;
bool gGone = false;
XErrorHandler gPrevious = nullptr;
bool gInstalled = false;

int OnXError(Display* display, XErrorEvent* error) {
  if (gWindow != 0 && (error->resourceid == gWindow ||
                       (gGone && (error->error_code == BadWindow || error->error_code == BadDrawable)))) {
    gGone = true;
    return 0;
  }
  return gPrevious ? gPrevious(display, error) : 0;
}

}  // namespace

void WatchX11Window(SDL_Window* window) {
  gWindow = 0;
  gGone = false;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  gDisplay = info.info.x11.display;
  gWindow = info.info.x11.window;
  if (!gInstalled) {
    gPrevious = XSetErrorHandler(OnXError);
    gInstalled = true;
  }
  // The window's DestroyNotify comes as a window-system event.
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

void ForgetX11Window() {
  // Errors about the closed window may still arrive: they stay ours.
  gGone = true;
}

void SettleX11Window() {
  // The answers to the window's last requests are taken now, while the
  // errors about it are still ours: later (when SDL hands error handling
  // back to Xlib's default at its end) one would be an X error that ends us.
  if (gDisplay && gWindow != 0) XSync(gDisplay, False);
}

bool X11WindowGone() { return gWindow != 0 && gGone; }

void NoteX11Event(const SDL_SysWMmsg* message) {
  if (!message || message->subsystem != SDL_SYSWM_X11 || gWindow == 0) return;
  const XEvent& event = message->msg.x11.event;
  if (event.type == DestroyNotify && event.xdestroywindow.window == gWindow) gGone = true;
}
