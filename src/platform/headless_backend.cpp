// The headless back end: no window. It records every draw call with its
// state, keeps a simple software picture of the back buffer (clears,
// unrotated rectangles and images; no text, lines or ovals), runs a virtual
// millisecond clock and replays scripted input on it.
#include <algorithm>
#include <cstring>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <sstream>

#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/image.h"

namespace {

constexpr uint32_t kClockStart = 1000;
constexpr int kMaxPads = 8;
constexpr int kPadButtons = 12;
// Back-to-back clock reads and event pumps with no sleep in between move the
// clock on by 1 ms after this many, so a loop that busy-waits on input or
// on the clock still reaches its scripted events.
constexpr int kIdleCallsPerMs = 1000;
// Recording never holds more than about this many calls.
constexpr size_t kMaxCalls = 1u << 20;

struct ScriptEvent {
  enum Type { Key, Char, MouseMove, Button, Close, PadAxis, PadHat, PadButton } type = Key;
  uint32_t at = 0;   // absolute virtual time
  uint64_t seq = 0;  // keeps the order of events with the same time
  int a = 0, b = 0;  // code / x / button / port; down / y / axis / pad button
  bool down = false;
  float value = 0;
};

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

class HeadlessBackend : public Backend {
 public:
  HeadlessBackend() {
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
    if (const char* env = std::getenv("PIBBO_INPUT_SCRIPT"); env && *env) LoadScript(env);
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
    virtualW_ = static_cast<float>(width);
    virtualH_ = static_cast<float>(height);
    SetUniform(0, 0, 0);
    return true;
  }
  void CloseDisplay() override {
    open_ = false;
    display_ = {};
    picture_.clear();
    picture_.shrink_to_fit();
    pending_.clear();
    uniform_ = false;
  }
  bool DisplayOpen() const override { return open_; }
  void SetTitle(const std::string& title) override { title_ = title; }
  void SetCursorVisible(bool visible) override { cursorVisible_ = visible; }

  // --- frame ----------------------------------------------------------------
  void SetVirtualResolution(float width, float height) override {
    virtualW_ = width;
    virtualH_ = height;
  }
  void Clear(int r, int g, int b) override {
    DrawCall call;
    call.kind = DrawCall::Clear;
    call.r = r, call.g = g, call.b = b;
    Record(std::move(call));
    pending_.clear();
    if (open_) SetUniform(r, g, b);
  }
  void Present(int) override {
    DrawCall call;
    call.kind = DrawCall::Flip;
    Record(std::move(call));
  }
  void DrawImage(TImage& image, int frame, float x, float y, float width, float height,
                 const DrawState& state) override {
    DrawCall call = WithState(DrawCall::Image, state);
    call.image = image.source;
    call.frame = frame;
    call.x = x, call.y = y, call.x2 = width, call.y2 = height;
    Record(std::move(call));
    ChargeImageDraw();
    if (CanPaint(state) && frame >= 0 && frame < static_cast<int>(image.frames.size()) && image.frames[frame]) {
      Defer({true, image.frames[frame], x, y, width, height, image.width, image.height, image.handleX,
             image.handleY, state});
    }
  }
  void DrawRect(float x, float y, float width, float height, const DrawState& state) override {
    DrawCall call = WithState(DrawCall::Rect, state);
    call.x = x, call.y = y, call.x2 = width, call.y2 = height;
    Record(std::move(call));
    if (CanPaint(state)) Defer({false, nullptr, x, y, width, height, 0, 0, 0, 0, state});
  }
  void DrawOval(float x, float y, float width, float height, const DrawState& state) override {
    DrawCall call = WithState(DrawCall::Oval, state);
    call.x = x, call.y = y, call.x2 = width, call.y2 = height;
    Record(std::move(call));
  }
  void DrawLine(float x1, float y1, float x2, float y2, bool, const DrawState& state) override {
    DrawCall call = WithState(DrawCall::Line, state);
    call.x = x1, call.y = y1, call.x2 = x2, call.y2 = y2;
    Record(std::move(call));
  }
  void DrawText(TImageFont& font, const std::string& text, float x, float y,
                const DrawState& state) override {
    DrawCall call = WithState(DrawCall::Text, state);
    call.text = text;
    call.font = font.source + ":" + std::to_string(font.size);
    call.x = x, call.y = y;
    Record(std::move(call));
  }
  Pixmap ReadPixels(int x, int y, int width, int height) override {
    if (width <= 0 || height <= 0) return nullptr;
    PaintPending();
    Pixmap pixmap = CreatePixmap(width, height);
    if (!pixmap) return nullptr;
    for (int row = 0; row < height; ++row) {
      int sy = y + row;
      if (sy < 0 || sy >= display_.height) continue;
      for (int col = 0; col < width; ++col) {
        int sx = x + col;
        if (sx < 0 || sx >= display_.width) continue;
        const uint8_t* src = uniform_ ? uniformColour_
                                      : &picture_[(static_cast<size_t>(sy) * display_.width + sx) * 4];
        std::copy(src, src + 4, pixmap->At(col, row));
      }
    }
    return pixmap;
  }

  // --- input ----------------------------------------------------------------
  void PumpEvents(InputSink& sink) override {
    IdleTick();
    while (!queue_.empty() && queue_.front().at <= now_) {
      ScriptEvent e = queue_.front();
      queue_.pop_front();
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

  // --- control (headless.h) ---------------------------------------------------
  const std::vector<DrawCall>& Calls() const { return calls_; }
  void ClearCalls() {
    calls_.clear();
    flips_ = 0;
  }
  std::vector<DrawCall> LastFrameCalls() const {
    auto last = std::find_if(calls_.rbegin(), calls_.rend(),
                             [](const DrawCall& c) { return c.kind == DrawCall::Flip; });
    if (last == calls_.rend()) return {};
    auto before = std::find_if(last + 1, calls_.rend(),
                               [](const DrawCall& c) { return c.kind == DrawCall::Flip; });
    return std::vector<DrawCall>(before.base(), last.base() - 1);
  }
  int FlipCount() const { return totalFlips_; }

  void SetImageDrawCost(int microseconds) {
    imageDrawCostUs_ = microseconds > 0 ? microseconds : 0;
    drawCostCarryUs_ = 0;
  }
  void ChargeImageDraw() {
    if (imageDrawCostUs_ == 0) return;
    drawCostCarryUs_ += imageDrawCostUs_;
    now_ += static_cast<uint32_t>(drawCostCarryUs_ / 1000);
    drawCostCarryUs_ %= 1000;
  }

  void AddScript(const std::string& text, const std::string& origin) {
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
      ++lineNo;
      if (!ParseLine(line))
        std::fprintf(stderr, "headless: %s line %d ignored: %s\n", origin.c_str(), lineNo, line.c_str());
    }
    std::stable_sort(queue_.begin(), queue_.end(), [](const ScriptEvent& a, const ScriptEvent& b) {
      return a.at != b.at ? static_cast<int32_t>(a.at - b.at) < 0 : a.seq < b.seq;
    });
  }
  bool LoadScript(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "headless: cannot read input script %s\n", path.c_str());
      return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    AddScript(text.str(), path);
    return true;
  }
  void ClearScript() { queue_.clear(); }
  int Pending() const { return static_cast<int>(queue_.size()); }

  uint32_t Now() const { return now_; }
  uint32_t Start() const { return start_; }
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

  std::string title_;
  bool cursorVisible_ = true;
  GraphicsMode display_{};
  bool failOpen_ = false;
  int recordFlips_ = 64;
  int mouseX_ = 0, mouseY_ = 0;

 private:
  bool Valid(int port) const { return port >= 0 && port < static_cast<int>(pads_.size()); }

  void IdleTick() {
    if (++idleCalls_ >= kIdleCallsPerMs) {
      idleCalls_ = 0;
      ++now_;
    }
  }

  static DrawCall WithState(DrawCall::Kind kind, const DrawState& s) {
    DrawCall call;
    call.kind = kind;
    call.r = s.r, call.g = s.g, call.b = s.b;
    call.alpha = s.alpha;
    call.blend = s.blend;
    call.rotation = s.rotation;
    call.scaleX = s.scaleX, call.scaleY = s.scaleY;
    call.lineWidth = s.lineWidth;
    return call;
  }

  // Keeps the recording bounded: once it holds twice the wanted number of
  // frames, the older half goes. The last frame always survives.
  void Record(DrawCall&& call) {
    const DrawCall::Kind kind = call.kind;
    calls_.push_back(std::move(call));
    if (kind == DrawCall::Flip) {
      ++totalFlips_;
      ++flips_;
      if (flips_ > 2 * recordFlips_) Trim(recordFlips_);
    } else if (calls_.size() > kMaxCalls) {
      // A long run without flips: keep the last frame if that suffices,
      // else the newer half of the calls.
      if (flips_ > 1) Trim(1);
      if (calls_.size() > kMaxCalls) {
        calls_.erase(calls_.begin(), calls_.begin() + static_cast<long>(calls_.size() / 2));
        flips_ = static_cast<int>(std::count_if(calls_.begin(), calls_.end(), [](const DrawCall& c) {
          return c.kind == DrawCall::Flip;
        }));
      }
    }
  }
  // Drops calls up to the flip that leaves `keep` flips recorded.
  void Trim(int keep) {
    int drop = flips_ - keep, flipsSeen = 0;
    for (size_t i = 0; i < calls_.size(); ++i) {
      if (calls_[i].kind == DrawCall::Flip && ++flipsSeen == drop) {
        calls_.erase(calls_.begin(), calls_.begin() + static_cast<long>(i) + 1);
        break;
      }
    }
    flips_ = keep;
  }

  // The picture stays one colour after a clear until something is drawn on
  // it, so that clearing a large display every frame costs nothing.
  void SetUniform(int r, int g, int b) {
    uniform_ = true;
    uniformColour_[0] = static_cast<uint8_t>(r);
    uniformColour_[1] = static_cast<uint8_t>(g);
    uniformColour_[2] = static_cast<uint8_t>(b);
    uniformColour_[3] = 255;
  }
  void Materialise() {
    if (!uniform_) return;
    picture_.resize(static_cast<size_t>(display_.width) * display_.height * 4);
    uint8_t* out = picture_.data();
    for (size_t i = 0; i < picture_.size(); i += 4) std::memcpy(out + i, uniformColour_, 4);
    uniform_ = false;
  }

  // Real-pixel bounds of an unrotated, scaled box at virtual (x, y); false
  // when nothing of it lands on the display.
  bool PixelBox(float x, float y, float w, float h, int box[4]) const {
    float kx = display_.width / virtualW_, ky = display_.height / virtualH_;
    float x0 = x * kx, x1 = (x + w) * kx, y0 = y * ky, y1 = (y + h) * ky;
    box[0] = std::max(0, static_cast<int>(std::lround(std::min(x0, x1))));
    box[1] = std::max(0, static_cast<int>(std::lround(std::min(y0, y1))));
    box[2] = std::min(display_.width, static_cast<int>(std::lround(std::max(x0, x1))));
    box[3] = std::min(display_.height, static_cast<int>(std::lround(std::max(y0, y1))));
    return box[0] < box[2] && box[1] < box[3];
  }

  // src: colour 0..255 per channel, a: its coverage times the draw alpha.
  static void BlendPixel(uint8_t* d, const float src[3], float a, int blend) {
    for (int c = 0; c < 3; ++c) {
      float v;
      switch (blend) {
        case ALPHABLEND: v = src[c] * a + d[c] * (1.0f - a); break;
        case LIGHTBLEND: v = src[c] * a + d[c]; break;
        case SHADEBLEND: v = src[c] * d[c] / 255.0f; break;
        default: v = src[c]; break;
      }
      d[c] = static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
    }
  }

  bool CanPaint(const DrawState& s) const {
    return open_ && s.rotation == 0.0f && virtualW_ > 0 && virtualH_ > 0;
  }

  void FillRect(float x, float y, float w, float h, const DrawState& s) {
    int box[4];
    if (!CanPaint(s) || !PixelBox(x, y, w * s.scaleX, h * s.scaleY, box)) return;
    Materialise();
    const float src[3] = {static_cast<float>(s.r), static_cast<float>(s.g), static_cast<float>(s.b)};
    for (int py = box[1]; py < box[3]; ++py)
      for (int px = box[0]; px < box[2]; ++px)
        BlendPixel(&picture_[(static_cast<size_t>(py) * display_.width + px) * 4], src, s.alpha, s.blend);
  }

  // Painting the software picture is deferred until someone reads it, so a
  // busy frame costs only its recording; a long run without clears paints
  // in batches to keep the queue bounded.
  struct PaintOp {
    bool image;
    Pixmap pixels;
    float x, y, w, h;
    int cellW, cellH;
    float handleX, handleY;
    DrawState state;
  };
  void Defer(PaintOp op) {
    pending_.push_back(std::move(op));
    if (pending_.size() >= 65536) PaintPending();
  }
  void PaintPending() {
    for (const PaintOp& op : pending_) {
      if (op.image) PaintImage(*op.pixels, op);
      else FillRect(op.x, op.y, op.w, op.h, op.state);
    }
    pending_.clear();
  }

  // Nearest-pixel copy of an unrotated image frame, tinted by the colour.
  void PaintImage(const TPixmap& pix, const PaintOp& op) {
    const DrawState& s = op.state;
    const float x = op.x, y = op.y, w = op.w, h = op.h;
    if (pix.width <= 0 || pix.height <= 0 || op.cellW <= 0 || op.cellH <= 0) return;
    float sw = w * s.scaleX, sh = h * s.scaleY;
    float left = x - op.handleX * (w / op.cellW) * s.scaleX;
    float top = y - op.handleY * (h / op.cellH) * s.scaleY;
    int box[4];
    if (!CanPaint(s) || sw == 0 || sh == 0 || !PixelBox(left, top, sw, sh, box)) return;
    Materialise();
    float kx = display_.width / virtualW_, ky = display_.height / virtualH_;
    for (int py = box[1]; py < box[3]; ++py) {
      int sy = static_cast<int>(std::floor(((py + 0.5f) / ky - top) / sh * pix.height));
      if (sy < 0 || sy >= pix.height) continue;
      for (int px = box[0]; px < box[2]; ++px) {
        int sx = static_cast<int>(std::floor(((px + 0.5f) / kx - left) / sw * pix.width));
        if (sx < 0 || sx >= pix.width) continue;
        const uint8_t* p = pix.At(sx, sy);
        if (s.blend == MASKBLEND && p[3] < 128) continue;
        const float src[3] = {p[0] * s.r / 255.0f, p[1] * s.g / 255.0f, p[2] * s.b / 255.0f};
        BlendPixel(&picture_[(static_cast<size_t>(py) * display_.width + px) * 4], src,
                   p[3] / 255.0f * s.alpha, s.blend);
      }
    }
  }


  void ApplyPad(const ScriptEvent& e) {
    Pad* pad = PadAt(e.a);
    if (!pad) return;
    switch (e.type) {
      case ScriptEvent::PadAxis:
        if (e.b >= 0 && e.b < 6) pad->axes[e.b] = std::clamp(e.value, -1.0f, 1.0f);
        break;
      case ScriptEvent::PadHat: pad->hat = e.value; break;
      case ScriptEvent::PadButton:
        if (e.b >= 0 && e.b < 32) {
          if (e.down) pad->buttons |= 1u << e.b;
          else pad->buttons &= ~(1u << e.b);
        }
        break;
      default: break;
    }
  }
  // Pads are read directly, not through the input sink: their events apply
  // as soon as the clock has reached them.
  void ApplyDuePadEvents() {
    for (auto it = queue_.begin(); it != queue_.end() && it->at <= now_;) {
      if (it->type >= ScriptEvent::PadAxis) {
        ApplyPad(*it);
        it = queue_.erase(it);
      } else {
        ++it;
      }
    }
  }

  // Events of the line being parsed; queued once the whole line is good.
  void Push(ScriptEvent e, uint32_t at) {
    e.at = at;
    parsed_.push_back(e);
  }

  static bool ParseUpDown(std::istream& in, bool& down) {
    std::string word;
    if (!(in >> word)) return false;
    if (word == "down") down = true;
    else if (word == "up") down = false;
    else return false;
    return true;
  }

  bool ParseLine(const std::string& raw) {
    parsed_.clear();
    if (!ParseEvents(raw)) return false;
    for (ScriptEvent& e : parsed_) {
      e.seq = nextSeq_++;
      queue_.push_back(e);
    }
    return true;
  }

  bool ParseEvents(const std::string& raw) {
    std::string line = raw;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') return true;
    std::istringstream in(line);
    long long ms;
    std::string event;
    if (!(in >> ms >> event) || ms < 0) return false;
    uint32_t at = start_ + static_cast<uint32_t>(ms);
    ScriptEvent e;
    std::string extra;
    if (event == "key") {
      e.type = ScriptEvent::Key;
      if (!(in >> e.a) || !ParseUpDown(in, e.down)) return false;
      Push(e, at);
    } else if (event == "tap") {
      e.type = ScriptEvent::Key;
      if (!(in >> e.a)) return false;
      e.down = true;
      Push(e, at);
      e.down = false;
      Push(e, at + 1);
    } else if (event == "char") {
      e.type = ScriptEvent::Char;
      if (!(in >> e.a)) return false;
      Push(e, at);
    } else if (event == "text") {
      std::string word;
      if (!(in >> word)) return false;
      e.type = ScriptEvent::Char;
      for (size_t i = 0; i < word.size(); ++i) {
        e.a = static_cast<unsigned char>(word[i]);
        Push(e, at + static_cast<uint32_t>(i));
      }
    } else if (event == "mouse") {
      e.type = ScriptEvent::MouseMove;
      if (!(in >> e.a >> e.b)) return false;
      Push(e, at);
    } else if (event == "button") {
      e.type = ScriptEvent::Button;
      if (!(in >> e.a) || !ParseUpDown(in, e.down)) return false;
      Push(e, at);
    } else if (event == "click") {
      e.type = ScriptEvent::Button;
      if (!(in >> e.a)) return false;
      e.down = true;
      Push(e, at);
      e.down = false;
      Push(e, at + 1);
    } else if (event == "close") {
      e.type = ScriptEvent::Close;
      Push(e, at);
    } else if (event == "pad") {
      std::string what;
      if (!(in >> e.a >> what)) return false;
      if (what == "axis") {
        e.type = ScriptEvent::PadAxis;
        if (!(in >> e.b >> e.value) || e.b < 0 || e.b > 5) return false;
      } else if (what == "hat") {
        e.type = ScriptEvent::PadHat;
        if (!(in >> e.value)) return false;
      } else if (what == "button") {
        e.type = ScriptEvent::PadButton;
        if (!(in >> e.b) || e.b < 0 || e.b > 31 || !ParseUpDown(in, e.down)) return false;
      } else {
        return false;
      }
      Push(e, at);
    } else {
      return false;
    }
    return !(in >> extra);  // nothing may follow the arguments
  }

  std::vector<GraphicsMode> modes_;
  int desktopW_ = 1920, desktopH_ = 1080;
  bool open_ = false;
  float virtualW_ = 0, virtualH_ = 0;
  std::vector<uint8_t> picture_;  // RGBA, display size; unused while uniform_
  std::vector<PaintOp> pending_;  // drawn since the picture was last painted
  bool uniform_ = false;
  uint8_t uniformColour_[4] = {0, 0, 0, 255};

  std::vector<DrawCall> calls_;
  int flips_ = 0;       // flips held in calls_
  int totalFlips_ = 0;  // flips since the back end started

  std::deque<ScriptEvent> queue_;  // sorted by time
  std::vector<ScriptEvent> parsed_;
  uint64_t nextSeq_ = 0;

  std::vector<Pad> pads_;

  uint32_t start_ = kClockStart;
  uint32_t now_ = kClockStart;
  int idleCalls_ = 0;
  int imageDrawCostUs_ = 0;  // virtual time one image draw takes
  int drawCostCarryUs_ = 0;  // microseconds not yet moved onto the clock
};

HeadlessBackend* Active() { return gActive; }

}  // namespace

std::unique_ptr<Backend> CreateHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }

namespace headless {

const std::vector<DrawCall>& DrawCalls() {
  static const std::vector<DrawCall> kNone;
  return Active() ? Active()->Calls() : kNone;
}
void ClearDrawCalls() {
  if (Active()) Active()->ClearCalls();
}
std::vector<DrawCall> LastFrame() { return Active() ? Active()->LastFrameCalls() : std::vector<DrawCall>(); }
int FlipCount() { return Active() ? Active()->FlipCount() : 0; }
void SetImageDrawCost(int microseconds) {
  if (Active()) Active()->SetImageDrawCost(microseconds);
}

void Script(const std::string& lines) {
  if (Active()) Active()->AddScript(lines, "script");
}
void LoadScript(const std::string& path) {
  if (Active()) Active()->LoadScript(path);
}
void ClearScript() {
  if (Active()) Active()->ClearScript();
}
int PendingEvents() { return Active() ? Active()->Pending() : 0; }

uint32_t Now() { return Active() ? Active()->Now() : 0; }
uint32_t StartTime() { return Active() ? Active()->Start() : 0; }
void Advance(int ms) {
  if (Active() && ms > 0) Active()->SetNow(Active()->Now() + static_cast<uint32_t>(ms));
}
void SetClock(uint32_t ms) {
  if (Active()) Active()->SetNow(ms);
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
  Pad* pad = Active() ? Active()->PadAt(port) : nullptr;
  if (!pad || button < 0 || button > 31) return;
  if (down) pad->buttons |= 1u << button;
  else pad->buttons &= ~(1u << button);
}

std::string Title() { return Active() ? Active()->title_ : std::string(); }
bool CursorVisible() { return Active() ? Active()->cursorVisible_ : true; }
GraphicsMode Display() { return Active() ? Active()->display_ : GraphicsMode(); }
void SetOpenFails(bool fail) {
  if (Active()) Active()->failOpen_ = fail;
}
void SetRecordLimit(int flips) {
  if (Active()) Active()->recordFlips_ = std::max(flips, 1);
}
void MousePosition(int& x, int& y) {
  x = Active() ? Active()->mouseX_ : 0;
  y = Active() ? Active()->mouseY_ : 0;
}

}  // namespace headless
