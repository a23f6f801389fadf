// Polled keyboard, mouse and joystick input. The back end hands the window
// system's events to the sink below when a query pumps them; the queries
// answer from the state the events built.
//
// One press model for every reader: events are pumped once per frame, by
// the first query after the program has given up time (Delay), and
// every query until the next pump answers from that one intake. A key,
// mouse button or pad button that went down in an intake reads as held
// (KeyDown, MouseDown, JoyDown) until the next intake, even when it was
// released again before it: a tap shorter than a frame is a one-frame hold
// that every reader of the frame sees, that nobody consumes and that is
// gone in the next frame. The hit counts (KeyHit, MouseHit) count the same
// presses, so a frame that reads both sees them agree.
//
// The pointer an intake leaves is where its first mouse press was made, so
// that the press is tested where it was made even when the pointer moved on
// before the intake; without a press it is where the last move left it.
// Motion after a press shows at the next intake.
//
// A reader can claim the mouse buttons over an area of the virtual screen
// (ClaimMouseButtons): a press made with the pointer inside it, held or
// counted, is then answered only by the claimed queries, and every other
// reader sees the button up, until it is released. The pointer resting over
// the area is the claimant's as well (InMouseClaim): the engine's hover
// test answers only the claimant there.
#include <algorithm>
#include <array>
#include <csignal>
#include <signal.h>
#include <cmath>
#include <deque>

#include "platform/backend.h"
#include "platform/core/front_internal.h"
#include "platform/platform.h"

namespace {

constexpr int kKeys = 256;
constexpr int kButtons = 4;           // 1 left, 2 right, 3 middle
constexpr size_t kMaxTypedChars = 256;  // typed characters waiting at most
constexpr int kPads = 8;
constexpr int kPadButtons = 32;

struct InputState {
  std::array<bool, kKeys> keyDown{};
  std::array<bool, kKeys> keyPressed{};  // went down in the last intake
  std::array<int, kKeys> keyHits{};
  std::array<bool, kButtons> buttonDown{};
  std::array<bool, kButtons> buttonPressed{};
  std::array<int, kButtons> buttonHits{};
  std::array<uint32_t, kPads> padDown{};     // bit n: button n held at the last intake
  std::array<uint32_t, kPads> padPressed{};  // bit n: went down in the last intake
  std::array<bool, kButtons> buttonClaimed{};  // the press belongs to the claim
  std::array<int, kButtons> claimedHits{};
  std::deque<int> typed;
  int mouseX = 0, mouseY = 0;  // the pointer as the last intake left it
  int liveX = 0, liveY = 0;    // where the last move went
  bool pressTaken = false;     // a press fixed the pointer in this intake
  // The claimed area, virtual-screen pixels; none while its width or height is 0.
  float claimX = 0, claimY = 0, claimW = 0, claimH = 0;
  bool terminate = false;
  bool enabled = false;  // polled input runs only while a display is open
  bool stale = true;     // time was given up since the last intake

  void ForgetKeys() {
    keyDown.fill(false);
    keyPressed.fill(false);
    keyHits.fill(0);
    typed.clear();
  }
  void ForgetMouse() {
    buttonDown.fill(false);
    buttonPressed.fill(false);
    buttonHits.fill(0);
    buttonClaimed.fill(false);
    claimedHits.fill(0);
  }
};

InputState gInput;

float VirtualScaleX();
float VirtualScaleY();

bool InClaim(int x, int y) {
  return InMouseClaim(static_cast<float>(x) * VirtualScaleX(), static_cast<float>(y) * VirtualScaleY()) != 0;
}

class FrontInputSink : public InputSink {
 public:
  void OnKey(int code, bool down) override {
    if (code < 1 || code >= kKeys) return;
    // A key held down repeats its down event; only a fresh press counts.
    if (down && !gInput.keyDown[code]) {
      ++gInput.keyHits[code];
      gInput.keyPressed[code] = true;
    }
    gInput.keyDown[code] = down;
  }
  void OnChar(int character) override {
    if (character < 1 || character > 255) return;
    if (gInput.typed.size() >= kMaxTypedChars) return;
    gInput.typed.push_back(character);
  }
  void OnMouseMove(int x, int y) override {
    gInput.liveX = x;
    gInput.liveY = y;
  }
  void OnMouseButton(int button, bool down) override {
    if (button < 1 || button >= kButtons) return;
    if (down && !gInput.buttonDown[button]) {
      if (!gInput.pressTaken) {
        gInput.pressTaken = true;
        gInput.mouseX = gInput.liveX;
        gInput.mouseY = gInput.liveY;
      }
      const bool claimed = InClaim(gInput.liveX, gInput.liveY);
      gInput.buttonClaimed[button] = claimed;
      ++(claimed ? gInput.claimedHits : gInput.buttonHits)[button];
      gInput.buttonPressed[button] = true;
    }
    gInput.buttonDown[button] = down;
  }
  void OnJoyButtonDown(int port, int button) override {
    if (port < 0 || port >= kPads || button < 0 || button >= kPadButtons) return;
    gInput.padPressed[port] |= 1u << button;
  }
  void OnCloseRequest() override { gInput.terminate = true; }
};

FrontInputSink gSink;

// One intake: what went down in the previous one no longer counts as held
// unless it still is; then the waiting events, then the pads' buttons.
void Intake(Backend& backend) {
  gInput.stale = false;
  gInput.keyPressed.fill(false);
  gInput.buttonPressed.fill(false);
  for (int b = 0; b < kButtons; ++b)
    if (!gInput.buttonDown[b]) gInput.buttonClaimed[b] = false;
  gInput.padPressed.fill(0);
  gInput.pressTaken = false;
  backend.PumpEvents(gSink);
  if (!gInput.pressTaken) {
    gInput.mouseX = gInput.liveX;
    gInput.mouseY = gInput.liveY;
  }
  gInput.padDown.fill(0);
  const int pads = std::min(backend.JoyCount(), kPads);
  for (int port = 0; port < pads; ++port)
    for (int button = 0; button < kPadButtons; ++button)
      if (backend.JoyButton(port, button)) gInput.padDown[port] |= 1u << button;
}

// Makes the input of this frame available: an intake when time was given up
// since the last one (or when `force`), else the last intake stands. False
// while polled input is off.
bool Pump(bool force = false) {
  if (!gInput.enabled) return false;
  Backend* backend = ActiveBackendOrNull();
  if (!backend || !backend->DisplayOpen()) return false;
  if (gInput.stale || force) Intake(*backend);
  return true;
}

float VirtualScaleX() {
  int w = GraphicsWidth();
  float vw = VirtualResolutionWidth();
  return (w > 0 && vw > 0) ? vw / static_cast<float>(w) : 1.0f;
}

float VirtualScaleY() {
  int h = GraphicsHeight();
  float vh = VirtualResolutionHeight();
  return (h > 0 && vh > 0) ? vh / static_cast<float>(h) : 1.0f;
}

}  // namespace

void ResetInputState() { gInput = InputState(); }

void InputDisplayOpened() {
  gInput.ForgetKeys();
  gInput.ForgetMouse();
  gInput.padDown.fill(0);
  gInput.padPressed.fill(0);
  gInput.terminate = false;
  gInput.enabled = true;
  gInput.stale = true;
}

void InputTimePassed() { gInput.stale = true; }

void InputDisplayClosed() {
  // No window, no key-up events: forget what was held so that nothing stays
  // stuck down when the next display opens.
  gInput.ForgetKeys();
  gInput.ForgetMouse();
  gInput.padDown.fill(0);
  gInput.padPressed.fill(0);
  gInput.terminate = false;
  gInput.enabled = false;
}

void PollSystem() { Pump(true); }

// ---------------------------------------------------------------------------
// Keyboard
// ---------------------------------------------------------------------------
int KeyDown(int code) {
  if (!Pump() || code < 0 || code >= kKeys) return 0;
  return gInput.keyDown[code] || gInput.keyPressed[code] ? 1 : 0;
}

int KeyHit(int code) {
  if (!Pump() || code < 0 || code >= kKeys) return 0;
  int hits = gInput.keyHits[code];
  gInput.keyHits[code] = 0;
  return hits;
}

int GetChar() {
  if (!Pump() || gInput.typed.empty()) return 0;
  int c = gInput.typed.front();
  gInput.typed.pop_front();
  return c;
}

void FlushKeys() {
  Pump();
  gInput.ForgetKeys();
}

// ---------------------------------------------------------------------------
// Mouse
// ---------------------------------------------------------------------------
namespace {

int Held(int button, bool claimed) {
  if (!Pump() || button < 1 || button >= kButtons || gInput.buttonClaimed[button] != claimed) return 0;
  return gInput.buttonDown[button] || gInput.buttonPressed[button] ? 1 : 0;
}

int TakeHits(int button, std::array<int, kButtons>& counts) {
  if (!Pump() || button < 1 || button >= kButtons) return 0;
  const int hits = counts[button];
  counts[button] = 0;
  return hits;
}

}  // namespace

int MouseDown(int button) { return Held(button, false); }
int MouseHit(int button) { return TakeHits(button, gInput.buttonHits); }
int ClaimedMouseDown(int button) { return Held(button, true); }
int ClaimedMouseHit(int button) { return TakeHits(button, gInput.claimedHits); }

void ClaimMouseButtons(float x, float y, float w, float h) {
  gInput.claimX = x;
  gInput.claimY = y;
  gInput.claimW = w;
  gInput.claimH = h;
}

int InMouseClaim(float x, float y) {
  return gInput.claimW > 0 && gInput.claimH > 0 && x >= gInput.claimX && x < gInput.claimX + gInput.claimW &&
                 y >= gInput.claimY && y < gInput.claimY + gInput.claimH
             ? 1
             : 0;
}

void FlushMouse() {
  Pump();
  gInput.ForgetMouse();
}

int MouseX() {
  Pump();
  return gInput.mouseX;
}

int MouseY() {
  Pump();
  return gInput.mouseY;
}

float VirtualMouseX() { return static_cast<float>(MouseX()) * VirtualScaleX(); }
float VirtualMouseY() { return static_cast<float>(MouseY()) * VirtualScaleY(); }

void MoveMouse(int x, int y) {
  gInput.mouseX = gInput.liveX = x;
  gInput.mouseY = gInput.liveY = y;
  Backend* backend = ActiveBackendOrNull();
  if (backend && backend->DisplayOpen()) backend->WarpMouse(x, y);
}

void MoveVirtualMouse(float x, float y) {
  MoveMouse(static_cast<int>(std::lround(x / VirtualScaleX())),
            static_cast<int>(std::lround(y / VirtualScaleY())));
}

namespace {
volatile std::sig_atomic_t gTerminationSignal = 0;
// The first signal asks the program to close; a second one, while the
// first is being handled, ends it at once as the signal's default does.
extern "C" void OnTerminationSignal(int signal) {
  if (gTerminationSignal) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  gTerminationSignal = 1;
}
}  // namespace

void CatchTerminationSignals() {
  // No SA_RESTART: a call that blocks returns (EINTR) when the signal
  // comes, so the frame loop gets to see it.
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

int AppTerminate() {
  // Once the process was told to end, every later ask answers yes, so the
  // closing sequence saves everything and does not wait for a key.
  if (gTerminationSignal) return 1;
  if (!Pump()) return 0;
  bool asked = gInput.terminate;
  gInput.terminate = false;
  return asked ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Joysticks
// ---------------------------------------------------------------------------
namespace {
bool ValidPort(int port) { return port >= 0 && port < ActiveBackend().JoyCount(); }
float Axis(int port, int axis) { return ValidPort(port) ? ActiveBackend().JoyAxis(port, axis) : 0.0f; }
}  // namespace

int JoyCount() { return ActiveBackend().JoyCount(); }
std::string JoyName(int port) { return ValidPort(port) ? ActiveBackend().JoyName(port) : std::string(); }
int JoyButtonCaps(int port) { return ValidPort(port) ? ActiveBackend().JoyButtonCaps(port) : 0; }
float JoyX(int port) { return Axis(port, 0); }
float JoyY(int port) { return Axis(port, 1); }
float JoyZ(int port) { return Axis(port, 2); }
float JoyR(int port) { return Axis(port, 3); }
float JoyU(int port) { return Axis(port, 4); }
float JoyV(int port) { return Axis(port, 5); }
// A port without a pad reads 0, like a pad without a hat.
float JoyHat(int port) { return ValidPort(port) ? ActiveBackend().JoyHat(port) : 0.0f; }

int JoyDown(int button, int port) {
  if (button < 0 || button >= kPadButtons || port < 0 || port >= kPads || !ValidPort(port)) return 0;
  if (!Pump()) {
    // No display: no intakes, the pad is read as it is now.
    return ActiveBackend().JoyButton(port, button) ? 1 : 0;
  }
  return ((gInput.padDown[port] | gInput.padPressed[port]) >> button) & 1u ? 1 : 0;
}
