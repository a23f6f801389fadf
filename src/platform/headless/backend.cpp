// The headless back end: no window. It records every draw call with its
// state (recorder.h), paints a software picture of the back buffer
// (picture.h), runs a virtual millisecond clock, replays scripted input on
// it (script.h) and mixes audio into memory on demand.
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "platform/backend.h"
#include "platform/core/front_internal.h"
#include "platform/headless.h"
#include "platform/core/image.h"
#include "platform/headless/picture.h"
#include "platform/headless/recorder.h"
#include "platform/headless/script.h"

namespace {

using headless_detail::Recorder;
using headless_detail::ScriptEvent;

constexpr uint32_t kClockStart = 1000;
constexpr int kMaxPads = 8;
constexpr int kPadButtons = 12;
// Back-to-back clock reads and event pumps with no sleep in between move the
// clock on by 1 ms after this many, so a loop that busy-waits on input or
// on the clock still reaches its scripted events.
constexpr int kIdleCallsPerMs = 1000;

struct Pad {
  std::string name;
  int buttonCaps = (1 << kPadButtons) - 1;
  float axes[6] = {0, 0, 0, 0, 0, 0};
  float hat = -1.0f;
  uint32_t buttons = 0;
};

std::vector<GraphicsMode> DefaultModes() {
  std::vector<GraphicsMode> modes;
  for (auto [w, h] : {std::pair{1024, 768}, {1280, 960}, {1280, 720}, {1600, 900}, {1280, 800},
                      {1440, 900}, {1920, 1080}})
    modes.push_back({w, h, 32, 60});
  return modes;
}

bool ParseSize(const std::string& text, int& w, int& h) {
  char x = 0;
  std::istringstream in(text);
  if (!(in >> w >> x >> h) || (x != 'x' && x != 'X') || w <= 0 || h <= 0) return false;
  return true;
}

std::vector<GraphicsMode> ParseModes(const std::string& text) {
  std::vector<GraphicsMode> modes;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    int w, h;
    if (ParseSize(item, w, h)) modes.push_back({w, h, 32, 60});
  }
  return modes;
}

class HeadlessBackend;
HeadlessBackend* gActive = nullptr;

// Mixes only when asked (headless::MixAudio).
class MemoryAudioOutput final : public AudioOutput {
 public:
  explicit MemoryAudioOutput(AudioPull pull);
  ~MemoryAudioOutput() override;
  bool Audible() const override { return false; }
  void Mix(int16_t* out, int frames) { pull_(out, frames); }

 private:
  AudioPull pull_;
};

class HeadlessBackend : public Backend {
 public:
  HeadlessBackend() : script_(kClockStart) {
    modes_ = DefaultModes();
    if (const char* env = std::getenv("PIBBO_MODES")) {
      std::vector<GraphicsMode> parsed = ParseModes(env);
      if (!parsed.empty()) modes_ = parsed;
    }
    if (const char* env = std::getenv("PIBBO_DESKTOP")) {
      int w, h;
      if (ParseSize(env, w, h)) desktopW_ = w, desktopH_ = h;
    }
    int pads = 0;
    if (const char* env = std::getenv("PIBBO_PADS")) pads = std::atoi(env);
    SetPads(pads);
    gActive = this;
    if (const char* env = std::getenv("PIBBO_INPUT_SCRIPT"); env && *env) fileScript_ = script_.Load(env);
  }
  ~HeadlessBackend() override {
    if (gActive == this) gActive = nullptr;
  }

  const char* Name() const override { return "Headless"; }

  // --- display --------------------------------------------------------------
  std::vector<GraphicsMode> ListModes() override { return modes_; }
  void DesktopSize(int& width, int& height) override {
    width = desktopW_;
    height = desktopH_;
  }
  bool OpenDisplay(int width, int height, int depth, int hertz, const std::string& title) override {
    CloseDisplay();
    if (failOpen_ || width <= 0 || height <= 0) return false;
    if (depth != 0) {
      // Full screen needs a mode of that size and depth; the refresh rate
      // is only a wish.
      bool found = false;
      for (const GraphicsMode& m : modes_) found |= m.width == width && m.height == height && m.depth == depth;
      if (!found) return false;
    }
    open_ = true;
    display_ = {width, height, depth, hertz};
    title_ = title;
    picture_.Open(width, height);
    return true;
  }
  void CloseDisplay() override {
    open_ = false;
    display_ = {};
    picture_.Close();
  }
  bool DisplayOpen() const override { return open_; }
  void SetTitle(const std::string& title) override { title_ = title; }
  void SetCursorVisible(bool visible) override { cursorVisible_ = visible; }

  // --- frame ----------------------------------------------------------------
  void SetVirtualResolution(float width, float height) override { picture_.SetVirtualResolution(width, height); }
  void Clear(int r, int g, int b) override {
    DrawCall call;
    call.kind = DrawCall::Clear;
    call.r = r, call.g = g, call.b = b;
    recorder_.Record(std::move(call));
    picture_.Clear(r, g, b);
  }
  void Present(int) override {
    DrawCall call;
    call.kind = DrawCall::Flip;
    recorder_.Record(std::move(call));
  }
  void DrawImage(TImage& image, int frame, float x, float y, float width, float height,
                 const DrawState& state) override {
    DrawCall call = Recorder::WithState(DrawCall::Image, state);
    call.image = image.source;
    call.frame = frame;
    call.x = x, call.y = y, call.x2 = width, call.y2 = height;
    recorder_.Record(std::move(call));
    ChargeImageDraw();
    picture_.DrawImage(image, frame, x, y, width, height, state);
  }
  void DrawRect(float x, float y, float width, float height, const DrawState& state) override {
    DrawCall call = Recorder::WithState(DrawCall::Rect, state);
    call.x = x, call.y = y, call.x2 = width, call.y2 = height;
    recorder_.Record(std::move(call));
    picture_.DrawRect(x, y, width, height, state);
  }
  void DrawOval(float x, float y, float width, float height, const DrawState& state) override {
    DrawCall call = Recorder::WithState(DrawCall::Oval, state);
    call.x = x, call.y = y, call.x2 = width, call.y2 = height;
    recorder_.Record(std::move(call));
    picture_.DrawOval(x, y, width, height, state);
  }
  void DrawLine(float x1, float y1, float x2, float y2, bool lastPixel, const DrawState& state) override {
    DrawCall call = Recorder::WithState(DrawCall::Line, state);
    call.x = x1, call.y = y1, call.x2 = x2, call.y2 = y2;
    recorder_.Record(std::move(call));
    picture_.DrawLine(x1, y1, x2, y2, lastPixel, state);
  }
  void DrawText(TImageFont& font, const std::string& text, float x, float y,
                const DrawState& state) override {
    DrawCall call = Recorder::WithState(DrawCall::Text, state);
    call.text = text;
    call.font = font.source + ":" + std::to_string(font.size);
    call.anchor = state.textAnchor;
    call.x = x, call.y = y;
    recorder_.Record(std::move(call));
    picture_.DrawText(font, text, x, y, state);
  }
  Pixmap ReadPixels(int x, int y, int width, int height) override { return picture_.Read(x, y, width, height); }

  // --- input ----------------------------------------------------------------
  void PumpEvents(InputSink& sink) override {
    IdleTick();
    ScriptEvent e;
    while (script_.PopDue(now_, false, e)) {
      switch (e.type) {
        case ScriptEvent::Key: sink.OnKey(e.a, e.down); break;
        case ScriptEvent::Char: sink.OnChar(e.a); break;
        case ScriptEvent::MouseMove:
          mouseX_ = e.a, mouseY_ = e.b;
          sink.OnMouseMove(e.a, e.b);
          break;
        case ScriptEvent::Button: sink.OnMouseButton(e.a, e.down); break;
        case ScriptEvent::Close: sink.OnCloseRequest(); break;
        default: ApplyPad(e); break;
      }
    }
    for (const auto& [port, button] : padPresses_) sink.OnJoyButtonDown(port, button);
    padPresses_.clear();
    EndOfScript(sink);
  }
  void WarpMouse(int x, int y) override {
    mouseX_ = x;
    mouseY_ = y;
  }

  // --- joysticks --------------------------------------------------------------
  int JoyCount() override { return static_cast<int>(pads_.size()); }
  std::string JoyName(int port) override { return Valid(port) ? pads_[port].name : std::string(); }
  int JoyButtonCaps(int port) override { return Valid(port) ? pads_[port].buttonCaps : 0; }
  float JoyAxis(int port, int axis) override {
    ApplyDuePadEvents();
    return Valid(port) && axis >= 0 && axis < 6 ? pads_[port].axes[axis] : 0.0f;
  }
  float JoyHat(int port) override {
    ApplyDuePadEvents();
    return Valid(port) ? pads_[port].hat : 0.0f;
  }
  bool JoyButton(int port, int button) override {
    ApplyDuePadEvents();
    if (!Valid(port) || button < 0 || button > 31) return false;
    return (pads_[port].buttons >> button) & 1u;
  }

  // --- clock ----------------------------------------------------------------
  uint32_t Millis() override {
    IdleTick();
    return now_;
  }
  void Sleep(int ms) override {
    idleCalls_ = 0;
    if (ms > 0) now_ += static_cast<uint32_t>(ms);
  }

  // --- audio ----------------------------------------------------------------
  std::unique_ptr<AudioOutput> OpenAudioOutput(int, AudioPull pull) override {
    return std::make_unique<MemoryAudioOutput>(std::move(pull));
  }
  bool OffersOpenAL() override { return false; }
  // Read without the idle tick that busy polling gives the clock.
  uint32_t AudioMillis() override { return now_; }
  std::vector<int16_t> MixAudio(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2, 0);
    if (audio_) audio_->Mix(out.data(), frames);
    return out;
  }
  MemoryAudioOutput* audio_ = nullptr;

  // --- control (headless.h) ---------------------------------------------------
  Recorder& Recording() { return recorder_; }
  headless_detail::Script& Input() { return script_; }

  void SetImageDrawCost(int microseconds) {
    imageDrawCostUs_ = microseconds > 0 ? microseconds : 0;
    drawCostCarryUs_ = 0;
  }

  uint32_t Now() const { return now_; }
  uint32_t Start() const { return kClockStart; }
  void SetNow(uint32_t ms) {
    idleCalls_ = 0;
    now_ = ms;
  }

  void SetModes(const std::vector<GraphicsMode>& modes) { modes_ = modes; }
  void SetDesktop(int w, int h) { desktopW_ = w, desktopH_ = h; }
  void SetPads(int count) {
    count = std::clamp(count, 0, kMaxPads);
    pads_.resize(count);
    for (int i = 0; i < count; ++i)
      if (pads_[i].name.empty()) pads_[i].name = "Headless Pad " + std::to_string(i + 1);
  }
  Pad* PadAt(int port) { return Valid(port) ? &pads_[port] : nullptr; }
  // A button's new state; a press is also told at the next pump, so that a
  // press and release between two pumps is not lost.
  void SetButton(int port, int button, bool down) {
    Pad* pad = PadAt(port);
    if (!pad || button < 0 || button > 31) return;
    const uint32_t bit = 1u << button;
    if (down && !(pad->buttons & bit)) padPresses_.emplace_back(port, button);
    if (down) pad->buttons |= bit;
    else pad->buttons &= ~bit;
  }

  std::string title_;
  bool cursorVisible_ = true;
  GraphicsMode display_{};
  bool failOpen_ = false;
  int mouseX_ = 0, mouseY_ = 0;

 private:
  bool Valid(int port) const { return port >= 0 && port < static_cast<int>(pads_.size()); }

  // A run driven by a script file that has delivered its last event gets,
  // half an hour of its clock later, a close request, as a player closing
  // the window would give: the program saves and ends instead of waiting
  // for ever (and at full speed, the clock being virtual) for input that
  // will not come. Repeated every half hour for screens that outlast one.
  static constexpr uint32_t kScriptIdleLimitMs = 30u * 60u * 1000u;
  void EndOfScript(InputSink& sink) {
    if (!fileScript_ || script_.Pending() > 0) return;
    if (!scriptDone_) {
      scriptDone_ = true;
      scriptDoneAt_ = now_;
      return;
    }
    if (now_ - scriptDoneAt_ < kScriptIdleLimitMs) return;
    if (!endReported_) {
      std::fprintf(stderr, "pibbo: the input script ended %u ms ago with no further input; closing the game\n",
                   now_ - scriptDoneAt_);
      endReported_ = true;
    }
    scriptDoneAt_ = now_;
    sink.OnCloseRequest();
  }
  bool fileScript_ = false;
  bool scriptDone_ = false;
  bool endReported_ = false;
  uint32_t scriptDoneAt_ = 0;

  void IdleTick() {
    if (++idleCalls_ >= kIdleCallsPerMs) {
      idleCalls_ = 0;
      ++now_;
    }
  }

  void ChargeImageDraw() {
    if (imageDrawCostUs_ == 0) return;
    drawCostCarryUs_ += imageDrawCostUs_;
    now_ += static_cast<uint32_t>(drawCostCarryUs_ / 1000);
    drawCostCarryUs_ %= 1000;
  }

  void ApplyPad(const ScriptEvent& e) {
    Pad* pad = PadAt(e.a);
    if (!pad) return;
    switch (e.type) {
      case ScriptEvent::PadAxis:
        if (e.b >= 0 && e.b < 6) pad->axes[e.b] = std::clamp(e.value, -1.0f, 1.0f);
        break;
      case ScriptEvent::PadHat: pad->hat = e.value; break;
      case ScriptEvent::PadButton: SetButton(e.a, e.b, e.down); break;
      default: break;
    }
  }
  // Pads are read directly, not through the input sink: their events apply
  // as soon as the clock has reached them.
  void ApplyDuePadEvents() {
    ScriptEvent e;
    while (script_.PopDue(now_, true, e)) ApplyPad(e);
  }

  std::vector<std::pair<int, int>> padPresses_;  // (port, button) since the last pump
  std::vector<GraphicsMode> modes_;
  int desktopW_ = 1920, desktopH_ = 1080;
  bool open_ = false;
  headless_detail::Picture picture_;
  Recorder recorder_;
  headless_detail::Script script_;
  std::vector<Pad> pads_;

  uint32_t now_ = kClockStart;
  int idleCalls_ = 0;
  int imageDrawCostUs_ = 0;  // virtual time one image draw takes
  int drawCostCarryUs_ = 0;  // microseconds not yet moved onto the clock
};

MemoryAudioOutput::MemoryAudioOutput(AudioPull pull) : pull_(std::move(pull)) {
  if (gActive) gActive->audio_ = this;
}
MemoryAudioOutput::~MemoryAudioOutput() {
  if (gActive && gActive->audio_ == this) gActive->audio_ = nullptr;
}

HeadlessBackend* Active() { return gActive; }

}  // namespace

std::unique_ptr<Backend> CreateHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }

namespace headless {

const std::vector<DrawCall>& DrawCalls() {
  static const std::vector<DrawCall> kNone;
  return Active() ? Active()->Recording().Calls() : kNone;
}
void ClearDrawCalls() {
  if (Active()) Active()->Recording().Clear();
}
std::vector<DrawCall> LastFrame() { return Active() ? Active()->Recording().LastFrame() : std::vector<DrawCall>(); }
int FlipCount() { return Active() ? Active()->Recording().TotalFlips() : 0; }
void SetImageDrawCost(int microseconds) {
  if (Active()) Active()->SetImageDrawCost(microseconds);
}

// Scripted events wait for the next intake of input, as the window
// system's do; a move of the clock stands for time given up, so the next
// input query takes in what came due.
void Script(const std::string& lines) {
  if (Active()) Active()->Input().Add(lines, "script");
}
void LoadScript(const std::string& path) {
  if (Active()) Active()->Input().Load(path);
}
void ClearScript() {
  if (Active()) Active()->Input().Clear();
}
int PendingEvents() { return Active() ? Active()->Input().Pending() : 0; }

uint32_t Now() { return Active() ? Active()->Now() : 0; }
uint32_t StartTime() { return Active() ? Active()->Start() : 0; }
void Advance(int ms) {
  if (Active() && ms > 0) Active()->SetNow(Active()->Now() + static_cast<uint32_t>(ms));
  InputTimePassed();
}
void SetClock(uint32_t ms) {
  if (Active()) Active()->SetNow(ms);
  InputTimePassed();
}

void SetModes(const std::vector<GraphicsMode>& modes) {
  if (Active()) Active()->SetModes(modes);
}
void SetDesktop(int width, int height) {
  if (Active()) Active()->SetDesktop(width, height);
}
void SetPads(int count) {
  if (Active()) Active()->SetPads(count);
}
void SetPadName(int port, const std::string& name) {
  if (Pad* pad = Active() ? Active()->PadAt(port) : nullptr) pad->name = name;
}
void SetPadButtonCaps(int port, int caps) {
  if (Pad* pad = Active() ? Active()->PadAt(port) : nullptr) pad->buttonCaps = caps;
}
void SetPadAxis(int port, int axis, float value) {
  Pad* pad = Active() ? Active()->PadAt(port) : nullptr;
  if (pad && axis >= 0 && axis < 6) pad->axes[axis] = std::clamp(value, -1.0f, 1.0f);
}
void SetPadHat(int port, float value) {
  if (Pad* pad = Active() ? Active()->PadAt(port) : nullptr) pad->hat = value;
}
void SetPadButton(int port, int button, bool down) {
  if (Active()) Active()->SetButton(port, button, down);
  InputTimePassed();
}

std::string Title() { return Active() ? Active()->title_ : std::string(); }
bool CursorVisible() { return Active() ? Active()->cursorVisible_ : true; }
GraphicsMode Display() { return Active() ? Active()->display_ : GraphicsMode(); }
void SetOpenFails(bool fail) {
  if (Active()) Active()->failOpen_ = fail;
}
void SetRecordLimit(int flips) {
  if (Active()) Active()->Recording().SetLimit(flips);
}
void MousePosition(int& x, int& y) {
  x = Active() ? Active()->mouseX_ : 0;
  y = Active() ? Active()->mouseY_ : 0;
}

std::vector<int16_t> MixAudio(int frames) {
  if (frames <= 0) return {};
  if (!Active()) return std::vector<int16_t>(static_cast<size_t>(frames) * 2, 0);
  return Active()->MixAudio(frames);
}

}  // namespace headless
