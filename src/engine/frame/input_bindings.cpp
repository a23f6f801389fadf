// Input codes: keys (10..254), joystick axes, hat and buttons (300..499),
// the player bindings in KeyV and the "press any control" scan.
#include "engine/frame/frame.h"
#include "engine/startup/startup.h"

namespace {

constexpr float kAxisBand = 0.3f;

// Fresh reading of axis `sub / 2` (order Y, X, Z, U, V, R) and its rest value.
float AxisReading(int sub, int port, int pad, float& rest) {
  switch (sub / 2) {
    case 0: rest = StickY[pad]; return JoyY(port);
    case 1: rest = StickX[pad]; return JoyX(port);
    case 2: rest = StickZ[pad]; return JoyZ(port);
    case 3: rest = StickU[pad]; return JoyU(port);
    case 4: rest = StickV[pad]; return JoyV(port);
    default: rest = StickR[pad]; return JoyR(port);
  }
}

bool AxisActive(int sub, int port, int pad) {
  float rest = 0;
  const float value = AxisReading(sub, port, pad, rest);
  return (sub % 2 == 0) ? value < rest - kAxisBand : value > rest + kAxisBand;
}

// Hat windows: the hat reports whole eighths, so a diagonal holds both of
// its neighbouring directions.
bool HatActive(int sub, float h) {
  if (h < 0) return false;
  switch (sub) {
    case 20: return h < 0.2f || h > 0.8f;  // up
    case 23: return h > 0.6f && h < 0.9f;  // left
    case 25: return h > 0.1f && h < 0.4f;  // right
    case 28: return h > 0.3f && h < 0.7f;  // down
    default: return false;
  }
}

}  // namespace

int key(int code) {
  if (code >= 10 && code <= 254 && KeyDown(code)) return 1;
  if (code < 300 || code >= 500) return 0;
  const int pad = code / 50 - 5;
  const int sub = code % 50;
  const int port = pad - 1;
  if (StickOn[pad] == 0) return 0;
  if (sub <= 11) return AxisActive(sub, port, pad) ? 1 : 0;
  if (sub == 20 || sub == 23 || sub == 25 || sub == 28) {
    return (StickHat[pad] == 1 && HatActive(sub, JoyHat(port))) ? 1 : 0;
  }
  if (sub >= 30) return JoyDown(sub - 30, port) ? 1 : 0;
  return 0;
}

int PlayKey(int control, int player) {
  const int slot = (player - 1) * 20 + control;
  if (slot < 0 || slot > 100) return 0;
  return key(KeyV[slot]);
}

int GetKey() {
  if (KeyDown(122) || KeyDown(123)) return 0;
  for (int code = 1; code <= 255; ++code) {
    if (KeyDown(code)) return code;
  }
  for (int pad = 1; pad <= StickCount && pad <= 4; ++pad) {
    if (StickOn[pad] == 0) continue;
    const int base = 250 + 50 * pad;
    const int port = pad - 1;
    for (int sub = 0; sub <= 11; ++sub) {
      if (AxisActive(sub, port, pad)) return base + sub;
    }
    if (StickHat[pad] == 1) {
      const float hat = JoyHat(port);
      if (hat == 0.0f) return base + 20;
      if (hat == 0.25f) return base + 25;
      if (hat == 0.5f) return base + 28;
      if (hat == 0.75f) return base + 23;
    }
    for (int n = 0; n <= 18; ++n) {
      if (n < StickBut[pad] && JoyDown(n, port)) return base + 30 + n;  // StickBut: the button count
    }
  }
  return 0;
}

