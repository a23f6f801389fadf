// The contract between the platform front end (platform.h, shared code:
// drawing state, images, fonts, input state, audio mixer, files, ...) and the
// two back ends: the real one (SDL2 + OpenGL) and the headless one (tests).
// Platform-internal: only src/platform/ and tests include it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

// The full drawing state at the moment of a draw call.
struct DrawState {
  int r = 255, g = 255, b = 255;
  float alpha = 1.0f;
  int blend = MASKBLEND;
  float rotation = 0.0f;  // degrees, clockwise on screen
  float scaleX = 1.0f, scaleY = 1.0f;
  float lineWidth = 1.0f;
  // Text: the point of its measured width (TextWidth) that stays where it
  // was placed when the glyphs drawn take a pixel more or less: 0 its start,
  // 0.5 its middle, 1 its end.
  float textAnchor = 0.0f;
};

// Receives the window system's events; kept by the front end (input.cpp).
class InputSink {
 public:
  virtual ~InputSink() = default;
  virtual void OnKey(int code, bool down) = 0;        // framework key codes 1..255
  virtual void OnChar(int character) = 0;             // typed text, Latin-1 (1..255)
  virtual void OnMouseMove(int x, int y) = 0;         // real display pixels
  virtual void OnMouseButton(int button, bool down) = 0;  // 1 left, 2 right, 3 middle
  // A pad's button went down (ports from 0, buttons 0..31). Pads are read by
  // polling; this only tells of presses the polling could miss.
  virtual void OnJoyButtonDown(int /*port*/, int /*button*/) {}
  virtual void OnCloseRequest() = 0;
};

struct TImageFont;
struct TImage;

// An open audio output; closing it (destruction) stops the pulls.
class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // False when the output plays to no device (nothing is heard).
  virtual bool Audible() const = 0;
};
// Fills `frames` frames of interleaved 16-bit stereo at 44100 Hz.
using AudioPull = std::function<void(int16_t* out, int frames)>;

class Backend {
 public:
  virtual ~Backend() = default;
  virtual const char* Name() const = 0;

  // Display modes and the display.
  virtual std::vector<GraphicsMode> ListModes() = 0;
  virtual void DesktopSize(int& width, int& height) = 0;
  virtual bool OpenDisplay(int width, int height, int depth, int hertz, const std::string& title) = 0;
  virtual void CloseDisplay() = 0;
  virtual bool DisplayOpen() const = 0;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetCursorVisible(bool visible) = 0;

  // Frame. Coordinates are virtual-screen coordinates; the back end maps the
  // virtual resolution onto the display.
  virtual void SetVirtualResolution(float width, float height) = 0;
  virtual void Clear(int r, int g, int b) = 0;
  virtual void Present(int sync) = 0;
  // Draws frame `frame` of the image with its handle point at (x, y).
  virtual void DrawImage(TImage& image, int frame, float x, float y, float width, float height,
                         const DrawState& state) = 0;
  virtual void DrawRect(float x, float y, float width, float height, const DrawState& state) = 0;
  virtual void DrawOval(float x, float y, float width, float height, const DrawState& state) = 0;
  virtual void DrawLine(float x1, float y1, float x2, float y2, bool lastPixel, const DrawState& state) = 0;
  virtual void DrawText(TImageFont& font, const std::string& text, float x, float y,
                        const DrawState& state) = 0;
  // Back-buffer pixels, real display coordinates.
  virtual Pixmap ReadPixels(int x, int y, int width, int height) = 0;

  // Input.
  virtual void PumpEvents(InputSink& sink) = 0;
  virtual void WarpMouse(int x, int y) = 0;  // real display pixels

  // Joysticks.
  virtual int JoyCount() = 0;
  virtual std::string JoyName(int port) = 0;
  virtual int JoyButtonCaps(int port) = 0;
  // axis 0 X, 1 Y, 2 Z, 3 R, 4 U, 5 V
  virtual float JoyAxis(int port, int axis) = 0;
  virtual float JoyHat(int port) = 0;
  virtual bool JoyButton(int port, int button) = 0;

  // Clock.
  virtual uint32_t Millis() = 0;
  virtual void Sleep(int ms) = 0;

  // Audio output for the software mixer, `bufferFrames` per pull; the pulls
  // may come from another thread. Empty when no output can be had.
  virtual std::unique_ptr<AudioOutput> OpenAudioOutput(int bufferFrames, AudioPull pull) = 0;
  // Whether the OpenAL drivers may be offered.
  virtual bool OffersOpenAL() = 0;
  // The clock the silent driver keeps time by (never moved by reading it).
  virtual uint32_t AudioMillis() = 0;
};

// The active back end (set by PlatformInit).
Backend& ActiveBackend();
Backend* ActiveBackendOrNull();

// Factories, one per back end.
std::unique_ptr<Backend> CreateRealBackend();
// Why the last CreateRealBackend answered none ("" after one that worked).
std::string RealBackendProblem();
std::unique_ptr<Backend> CreateHeadlessBackend();
