// The real back end: an SDL2 window with an OpenGL context, SDL input and
// joysticks, and SDL's millisecond clock. Drawing is GlRenderer's.
#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <array>
#include <memory>

#include "platform/backend.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_gl.h"
#include "platform/sdl/sdl_x11.h"

namespace {

constexpr int kMaxModes = 1024;
constexpr int kMaxPads = 16;
constexpr uint32_t kPadRescanMs = 1000;

bool EnvSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// SDL's video drivers to try, in SDL's own order, as a list for its
// SDL_VIDEODRIVER hint: X11 with DISPLAY, Wayland with WAYLAND_DISPLAY, and
// the console's KMSDRM always. "" when the user chose with SDL_VIDEODRIVER.
std::string VideoDrivers() {
  if (EnvSet("SDL_VIDEODRIVER")) return "";
  std::string list;
  if (EnvSet("DISPLAY")) list += "x11,";
  if (EnvSet("WAYLAND_DISPLAY")) list += "wayland,";
  return list + "KMSDRM";
}

// Window titles are Latin-1 text; SDL takes UTF-8.
std::string Utf8FromLatin1(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

class SdlBackend final : public Backend {
 public:
  SdlBackend() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    timerOk_ = SDL_InitSubSystem(SDL_INIT_TIMER) == 0;
    // Only the video drivers that have a display to talk to: a driver
    // without one may print to the terminal before the program can say that
    // there is no display (Wayland's client library does, when there is no
    // XDG_RUNTIME_DIR). The user's SDL_VIDEODRIVER, when set, chooses.
    const std::string drivers = VideoDrivers();
    if (!drivers.empty()) SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, drivers.c_str(), SDL_HINT_OVERRIDE);
    videoOk_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!videoOk_) problem_ = SDL_GetError();
    if (!drivers.empty()) SDL_ResetHint(SDL_HINT_VIDEODRIVER);
  }

  ~SdlBackend() override {
    CloseDisplay();
    for (SDL_Joystick* pad : pads_)
      if (pad) SDL_JoystickClose(pad);
    pads_.clear();
    if (joyOk_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    if (videoOk_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (timerOk_) SDL_QuitSubSystem(SDL_INIT_TIMER);
  }

  const char* Name() const override { return "SDL2 OpenGL"; }
  bool VideoOk() const { return videoOk_; }
  const std::string& Problem() const { return problem_; }

  // -------------------------------------------------------------------------
  // Display
  // -------------------------------------------------------------------------
  std::vector<GraphicsMode> ListModes() override {
    std::vector<GraphicsMode> modes;
    if (!videoOk_) return modes;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count && static_cast<int>(modes.size()) < kMaxModes; ++i) {
      SDL_DisplayMode mode;
      if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
      const int bits = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
      if (bits < 16) continue;
      modes.push_back({mode.w, mode.h, bits, mode.refresh_rate});
    }
    return modes;
  }

  void DesktopSize(int& width, int& height) override {
    SDL_DisplayMode mode;
    if (videoOk_ && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
      width = mode.w;
      height = mode.h;
    } else {
      width = height = 0;
    }
  }

  bool OpenDisplay(int width, int height, int depth, int hertz, const std::string& title) override {
    CloseDisplay();
    if (!videoOk_ || width <= 0 || height <= 0) return false;
    title_ = title;
    window_ = CreateWindow(width, height, true);
    if (!window_) window_ = CreateWindow(width, height, false);
    if (!window_) return false;
    if (depth > 0) {
      SDL_DisplayMode want{};
      want.w = width;
      want.h = height;
      want.refresh_rate = hertz;
      // Only a mode of exactly this size: another size would stretch the
      // picture while the program believes in the size it asked for.
      SDL_DisplayMode closest;
      const bool found = SDL_GetClosestDisplayMode(0, &want, &closest) != nullptr &&
                         closest.w == width && closest.h == height;
      if (!found || SDL_SetWindowDisplayMode(window_, &closest) != 0 ||
          SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN) != 0) {
        SDL_DestroyWindow(window_);
        window_ = nullptr;
        return false;
      }
    }
    context_ = SDL_GL_CreateContext(window_);
    if (!context_ || SDL_GL_MakeCurrent(window_, context_) != 0) {
      if (context_) SDL_GL_DeleteContext(context_);
      context_ = nullptr;
      SDL_DestroyWindow(window_);
      window_ = nullptr;
      return false;
    }
    width_ = width;
    height_ = height;
    swapInterval_ = -2;
    SetSwapInterval(0);
    // Shown first: swaps of a window that is not on screen may not show how
    // the swaps of the visible window behave.
    SDL_ShowWindow(window_);
    WatchX11Window(window_);
    gl_.Init(width, height, UseWindowBuffer(width, height));
    SDL_StartTextInput();
    SDL_ShowCursor(cursorVisible_ ? SDL_ENABLE : SDL_DISABLE);
    held_.fill(false);
    buttons_.fill(false);
    return true;
  }

  void CloseDisplay() override {
    if (!window_) return;
    ForgetX11Window();
    if (context_) {
      SDL_GL_MakeCurrent(window_, context_);
      gl_.Shutdown();
      SDL_GL_MakeCurrent(window_, nullptr);
      SDL_GL_DeleteContext(context_);
      context_ = nullptr;
    }
    SDL_StopTextInput();
    SDL_DestroyWindow(window_);
    SettleX11Window();
    window_ = nullptr;
    width_ = height_ = 0;
    held_.fill(false);
    buttons_.fill(false);
  }

  bool DisplayOpen() const override { return window_ != nullptr; }

  void SetTitle(const std::string& title) override {
    title_ = title;
    if (window_) SDL_SetWindowTitle(window_, Utf8FromLatin1(title).c_str());
  }

  void SetCursorVisible(bool visible) override {
    cursorVisible_ = visible;
    if (videoOk_) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
  }

  // -------------------------------------------------------------------------
  // Frame
  // -------------------------------------------------------------------------
  void SetVirtualResolution(float width, float height) override {
    if (window_) gl_.SetVirtualResolution(width, height);
  }
  void Clear(int r, int g, int b) override {
    if (window_) gl_.Clear(r, g, b);
  }

  void Present(int sync) override {
    // A window destroyed under us takes no more pictures.
    if (!window_ || X11WindowGone()) return;
    SetSwapInterval(sync == 0 ? 0 : 1);
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window_, &w, &h);
    gl_.PresentTo(w, h);
    SDL_GL_SwapWindow(window_);
  }

  void DrawImage(TImage& image, int frame, float x, float y, float width, float height,
                 const DrawState& state) override {
    if (window_) gl_.DrawImage(image, frame, x, y, width, height, state);
  }
  void DrawRect(float x, float y, float width, float height, const DrawState& state) override {
    if (window_) gl_.DrawRect(x, y, width, height, state);
  }
  void DrawOval(float x, float y, float width, float height, const DrawState& state) override {
    if (window_) gl_.DrawOval(x, y, width, height, state);
  }
  void DrawLine(float x1, float y1, float x2, float y2, bool lastPixel, const DrawState& state) override {
    if (window_) gl_.DrawLine(x1, y1, x2, y2, lastPixel, state);
  }
  void DrawText(TImageFont& font, const std::string& text, float x, float y,
                const DrawState& state) override {
    if (window_) gl_.DrawText(font, text, x, y, state);
  }
  Pixmap ReadPixels(int x, int y, int width, int height) override {
    if (!window_) return nullptr;
    return gl_.ReadPixels(x, y, width, height);
  }

  // -------------------------------------------------------------------------
  // Input
  // -------------------------------------------------------------------------
  void PumpEvents(InputSink& sink) override {
    if (!videoOk_) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      switch (event.type) {
        case SDL_SYSWMEVENT:
          NoteX11Event(event.syswm.msg);
          break;
        case SDL_KEYDOWN: {
          const int code = sdlmap::KeyCodeFromScancode(event.key.keysym.scancode);
          if (code && !event.key.repeat) {
            held_[code] = true;
            sink.OnKey(code, true);
          }
          if (const int ch = sdlmap::ControlCharFromKeyCode(code)) sink.OnChar(ch);
          break;
        }
        case SDL_KEYUP: {
          const int code = sdlmap::KeyCodeFromScancode(event.key.keysym.scancode);
          if (code) {
            held_[code] = false;
            sink.OnKey(code, false);
          }
          break;
        }
        case SDL_TEXTINPUT:
          for (int ch : sdlmap::Latin1FromUtf8(event.text.text)) sink.OnChar(ch);
          break;
        case SDL_MOUSEMOTION:
          MoveTo(sink, event.motion.x, event.motion.y);
          break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
          MoveTo(sink, event.button.x, event.button.y);
          const int button = sdlmap::MouseButtonFromSdl(event.button.button);
          if (button) {
            const bool down = event.type == SDL_MOUSEBUTTONDOWN;
            buttons_[button] = down;
            sink.OnMouseButton(button, down);
          }
          break;
        }
        case SDL_WINDOWEVENT:
          if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
            sink.OnCloseRequest();
          } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            // Releases go to the window that has the focus now: let go of
            // everything so that no key stays held for good.
            ReleaseAll(sink);
          }
          break;
        case SDL_QUIT:
          sink.OnCloseRequest();
          break;
        case SDL_JOYBUTTONDOWN:
          for (size_t port = 0; port < pads_.size(); ++port) {
            if (pads_[port] && SDL_JoystickInstanceID(pads_[port]) == event.jbutton.which) {
              sink.OnJoyButtonDown(static_cast<int>(port), event.jbutton.button);
            }
          }
          break;
        default:
          break;
      }
    }
    // A window that is gone asks to close at every look, as a close
    // request that cannot be answered with a new input.
    if (window_ && X11WindowGone()) sink.OnCloseRequest();
  }

  void WarpMouse(int x, int y) override {
    if (!window_) return;
    int ww = 0, wh = 0;
    SDL_GetWindowSize(window_, &ww, &wh);
    if (ww > 0 && wh > 0 && width_ > 0 && height_ > 0) {
      x = static_cast<int>(static_cast<int64_t>(x) * ww / width_);
      y = static_cast<int>(static_cast<int64_t>(y) * wh / height_);
    }
    SDL_WarpMouseInWindow(window_, x, y);
  }

  // -------------------------------------------------------------------------
  // Joysticks
  // -------------------------------------------------------------------------
  int JoyCount() override {
    FindPads();
    return static_cast<int>(pads_.size());
  }

  std::string JoyName(int port) override {
    return Pad(port) ? "System Joystick" : "";
  }

  int JoyButtonCaps(int port) override {
    SDL_Joystick* pad = Pad(port);
    if (!pad) return 0;
    const int count = std::clamp(SDL_JoystickNumButtons(pad), 0, 32);
    return count >= 32 ? -1 : static_cast<int>((1u << count) - 1u);
  }

  float JoyAxis(int port, int axis) override {
    SDL_Joystick* pad = Pad(port);
    if (!pad || axis < 0 || axis >= SDL_JoystickNumAxes(pad)) return 0.0f;
    SDL_JoystickUpdate();
    return sdlmap::AxisFromSdl(SDL_JoystickGetAxis(pad, axis));
  }

  float JoyHat(int port) override {
    SDL_Joystick* pad = Pad(port);
    // A pad without a hat reads 0, as the start-up's hat check expects.
    if (!pad || SDL_JoystickNumHats(pad) < 1) return 0.0f;
    SDL_JoystickUpdate();
    return sdlmap::HatFromSdl(SDL_JoystickGetHat(pad, 0));
  }

  bool JoyButton(int port, int button) override {
    SDL_Joystick* pad = Pad(port);
    if (!pad || button < 0 || button >= SDL_JoystickNumButtons(pad)) return false;
    SDL_JoystickUpdate();
    return SDL_JoystickGetButton(pad, button) != 0;
  }

  // -------------------------------------------------------------------------
  // Clock
  // -------------------------------------------------------------------------
  uint32_t Millis() override { return SDL_GetTicks(); }
  void Sleep(int ms) override {
    // The program waits (typically for its frame time): let the GL render
    // what was drawn so far meanwhile instead of all of it at Present.
    if (window_) gl_.Kick();
    if (ms > 0) SDL_Delay(static_cast<Uint32>(ms));
  }

  // -------------------------------------------------------------------------
  // Audio
  // -------------------------------------------------------------------------
  std::unique_ptr<AudioOutput> OpenAudioOutput(int bufferFrames, AudioPull pull) override {
    return OpenSdlAudioOutput(bufferFrames, std::move(pull));
  }
  bool OffersOpenAL() override { return true; }
  uint32_t AudioMillis() override { return SDL_GetTicks(); }

 private:
  bool timerOk_ = false, videoOk_ = false, joyOk_ = false;
  std::string problem_;  // SDL's reason when the video system did not start
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
  GlRenderer gl_;
  int width_ = 0, height_ = 0;
  std::string title_;
  bool cursorVisible_ = true;
  int swapInterval_ = -2;
  std::array<bool, 256> held_{};
  std::array<bool, 4> buttons_{};
  std::vector<SDL_Joystick*> pads_;
  bool padSearchDone_ = false;
  uint32_t lastPadSearch_ = 0;

  SDL_Window* CreateWindow(int width, int height, bool eightBits) {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    if (eightBits) {
      SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
      SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
      SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    }
    return SDL_CreateWindow(Utf8FromLatin1(title_).c_str(), SDL_WINDOWPOS_CENTERED,
                            SDL_WINDOWPOS_CENTERED, width, height,
                            SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  }

  // Whether to draw straight into the window's back buffer: only when a swap
  // leaves it as it was (checked with three swaps, so that a chain of
  // rotating buffers is not taken for one kept buffer). The environment
  // variable PIBBO_GL_BACKBUFFER=fbo or =window overrides the check.
  bool UseWindowBuffer(int width, int height) {
    const char* choice = SDL_getenv("PIBBO_GL_BACKBUFFER");
    if (choice && SDL_strcmp(choice, "fbo") == 0) return false;
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window_, &w, &h);
    if (w != width || h != height) return false;
    if (choice && SDL_strcmp(choice, "window") == 0) return true;
    static const uint8_t kColors[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    glViewport(0, 0, w, h);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    bool kept = true;
    for (const auto& c : kColors) {
      glClearColor(c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f, 1.0f);
      glClear(GL_COLOR_BUFFER_BIT);
      SDL_GL_SwapWindow(window_);
      glReadBuffer(GL_BACK);
      uint8_t px[2][4] = {};
      glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px[0]);
      glReadPixels(w - 1, h - 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px[1]);
      for (const auto& p : px) kept = kept && p[0] == c[0] && p[1] == c[1] && p[2] == c[2];
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    return kept;
  }

  void SetSwapInterval(int interval) {
    if (interval == swapInterval_) return;
    swapInterval_ = interval;
    if (SDL_GL_SetSwapInterval(interval) != 0 && interval != 0) SDL_GL_SetSwapInterval(0);
  }

  // Window pixels to display pixels (they differ only when a full screen
  // mode stretches the picture).
  void MoveTo(InputSink& sink, int x, int y) {
    int ww = 0, wh = 0;
    if (window_) SDL_GetWindowSize(window_, &ww, &wh);
    if (ww > 0 && wh > 0 && (ww != width_ || wh != height_)) {
      x = static_cast<int>(static_cast<int64_t>(x) * width_ / ww);
      y = static_cast<int>(static_cast<int64_t>(y) * height_ / wh);
    }
    sink.OnMouseMove(x, y);
  }

  void ReleaseAll(InputSink& sink) {
    for (int code = 0; code < 256; ++code) {
      if (held_[code]) {
        held_[code] = false;
        sink.OnKey(code, false);
      }
    }
    for (int b = 1; b <= 3; ++b) {
      if (buttons_[b]) {
        buttons_[b] = false;
        sink.OnMouseButton(b, false);
      }
    }
  }

  // Opens the attached pads; searches again later only while none was found.
  void FindPads() {
    if (!pads_.empty()) return;
    const uint32_t now = SDL_GetTicks();
    if (padSearchDone_ && now - lastPadSearch_ < kPadRescanMs) return;
    padSearchDone_ = true;
    lastPadSearch_ = now;
    if (!joyOk_) {
      joyOk_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
      if (!joyOk_) return;
      // Pads are read by polling; their button presses also come as events,
      // so that a press and release between two polls still counts.
      SDL_JoystickEventState(SDL_ENABLE);
    }
    SDL_JoystickUpdate();
    const int count = std::min(SDL_NumJoysticks(), kMaxPads);
    for (int i = 0; i < count; ++i) {
      if (SDL_Joystick* pad = SDL_JoystickOpen(i)) pads_.push_back(pad);
    }
  }

  SDL_Joystick* Pad(int port) {
    FindPads();
    if (port < 0 || port >= static_cast<int>(pads_.size())) return nullptr;
    return pads_[port];
  }
};

}  // namespace

namespace {

// A window needs a display to show it on. SDL would otherwise fall back to
// a driver with nothing to show (offscreen, dummy), and the game would run
// unseen; those count only when the user asks for them by name.
bool UsableVideo(bool videoOk) {
  if (!videoOk) return false;
  if (EnvSet("SDL_VIDEODRIVER")) return true;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
      std::strcmp(driver, "evdev") == 0)
    return false;
  return EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY") || std::strcmp(driver, "KMSDRM") == 0;
}

}  // namespace

namespace {
std::string gRealBackendProblem;
}  // namespace

std::unique_ptr<Backend> CreateRealBackend() {
  auto backend = std::make_unique<SdlBackend>();
  if (!UsableVideo(backend->VideoOk())) {
    gRealBackendProblem = backend->VideoOk() ? "no display to show a window on" : backend->Problem();
    if (gRealBackendProblem.empty()) gRealBackendProblem = "the video system did not start";
    return nullptr;
  }
  gRealBackendProblem.clear();
  return backend;
}

std::string RealBackendProblem() { return gRealBackendProblem; }
