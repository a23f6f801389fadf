// Back-end selection, the display and its virtual resolution.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/backend.h"
#include "platform/core/front_internal.h"
#include "platform/core/image.h"
#include "platform/platform.h"

// The SDL back end lives in sdl_backend.cpp (CreateRealBackend). No weak
// stand-in here: from a static library the linker would keep the stand-in
// and never pull in the real one.

namespace {

std::unique_ptr<Backend> gBackend;
BackendKind gKind = BackendKind::Headless;
std::string gTitle;

bool gOpen = false;
int gWidth = 0, gHeight = 0;
float gVirtualWidth = 0, gVirtualHeight = 0;
int gClsR = 0, gClsG = 0, gClsB = 0;
bool gCursorVisible = true;

constexpr int kMaxModes = 1024;

std::vector<GraphicsMode> UsableModes() {
  std::vector<GraphicsMode> modes;
  for (const GraphicsMode& m : ActiveBackend().ListModes()) {
    if (m.depth < 16 || m.width <= 0 || m.height <= 0) continue;
    modes.push_back(m);
    if (static_cast<int>(modes.size()) == kMaxModes) break;
  }
  return modes;
}

void ResetFrontState() {
  gOpen = false;
  gWidth = gHeight = 0;
  gVirtualWidth = gVirtualHeight = 0;
  gClsR = gClsG = gClsB = 0;
  gCursorVisible = true;
  ResetDrawState();
  ResetInputState();
}

}  // namespace

void PlatformInit(BackendKind kind) {
  PlatformShutdown();
  if (kind == BackendKind::Real) {
    // No usable display: the caller learns it from PlatformIsHeadless.
    gBackend = CreateRealBackend();
    if (!gBackend) kind = BackendKind::Headless;
  }
  if (!gBackend) gBackend = CreateHeadlessBackend();
  gKind = kind;
  ResetFrontState();
  if (!gTitle.empty()) gBackend->SetTitle(gTitle);
}

BackendKind PlatformKindFromEnvironment() {
  const char* value = std::getenv("PIBBO_HEADLESS");
  if (value && std::strcmp(value, "1") == 0) return BackendKind::Headless;
  return BackendKind::Real;
}

bool PlatformIsHeadless() {
  ActiveBackend();
  return gKind == BackendKind::Headless;
}

void PlatformShutdown() {
  if (!gBackend) return;
  AudioShutdown();
  if (gBackend->DisplayOpen()) gBackend->CloseDisplay();
  gBackend.reset();
  ResetFrontState();
}

Backend& ActiveBackend() {
  // Code that runs before anybody chose a back end (a tool, a test that only
  // reads the clock) gets the one the environment asks for.
  if (!gBackend) PlatformInit(PlatformKindFromEnvironment());
  return *gBackend;
}

Backend* ActiveBackendOrNull() { return gBackend.get(); }

void AppTitle(const std::string& title) {
  gTitle = title;
  if (gBackend) gBackend->SetTitle(title);
}

// ---------------------------------------------------------------------------
// Display modes
// ---------------------------------------------------------------------------
int CountGraphicsModes() { return static_cast<int>(UsableModes().size()); }

void GetGraphicsMode(int index, int& width, int& height, int& depth, int& hertz) {
  std::vector<GraphicsMode> modes = UsableModes();
  if (index < 0 || index >= static_cast<int>(modes.size())) return;
  width = modes[index].width;
  height = modes[index].height;
  depth = modes[index].depth;
  hertz = modes[index].hertz;
}

int GraphicsModeExists(int width, int height, int depth, int hertz) {
  for (const GraphicsMode& m : UsableModes()) {
    if (m.width == width && m.height == height && m.depth == depth && (hertz == 0 || m.hertz == hertz))
      return 1;
  }
  return 0;
}

void DesktopSize(int& width, int& height) { ActiveBackend().DesktopSize(width, height); }

void SetGraphicsDriverGL() {}

// ---------------------------------------------------------------------------
// The display
// ---------------------------------------------------------------------------
int Graphics(int width, int height, int depth, int hertz, int flags) {
  (void)flags;
  Backend& backend = ActiveBackend();
  EndGraphics();
  if (width <= 0 || height <= 0) return 0;
  if (!backend.OpenDisplay(width, height, depth, hertz, gTitle)) return 0;
  gOpen = true;
  gWidth = width;
  gHeight = height;
  gVirtualWidth = static_cast<float>(width);
  gVirtualHeight = static_cast<float>(height);
  backend.SetVirtualResolution(gVirtualWidth, gVirtualHeight);
  backend.SetCursorVisible(gCursorVisible);
  InputDisplayOpened();
  return 1;
}

void EndGraphics() {
  Backend& backend = ActiveBackend();
  if (backend.DisplayOpen()) backend.CloseDisplay();
  if (gOpen) InputDisplayClosed();
  gOpen = false;
  gWidth = gHeight = 0;
}

int GraphicsOpen() { return gOpen ? 1 : 0; }
int GraphicsWidth() { return gOpen ? gWidth : 0; }
int GraphicsHeight() { return gOpen ? gHeight : 0; }

void Flip(int sync) {
  if (!gOpen) return;
  // Showing a picture ends no frame of input: a notice shown in the middle
  // of a frame (the screenshot's) must not take in, and so end at the
  // frame's close, presses that the next frame's readers are to see. The
  // frame routine gives up time (Delay) before it presents.
  ActiveBackend().Present(sync);
  FontFrameDone();
}

void SetVirtualResolution(float width, float height) {
  // A zero or negative size would make every mapping divide by zero.
  if (!(width > 0) || !(height > 0)) return;
  gVirtualWidth = width;
  gVirtualHeight = height;
  ActiveBackend().SetVirtualResolution(width, height);
}

float VirtualResolutionWidth() { return gVirtualWidth; }
float VirtualResolutionHeight() { return gVirtualHeight; }

void SetClsColor(int r, int g, int b) {
  gClsR = std::clamp(r, 0, 255);
  gClsG = std::clamp(g, 0, 255);
  gClsB = std::clamp(b, 0, 255);
}

void Cls() {
  if (!gOpen) return;
  ActiveBackend().Clear(gClsR, gClsG, gClsB);
}

void HideMouse() {
  gCursorVisible = false;
  ActiveBackend().SetCursorVisible(false);
}

void ShowMouse() {
  gCursorVisible = true;
  ActiveBackend().SetCursorVisible(true);
}
