// The platform layer: every operation of the 2D framework that the game and
// its engine call. Two back ends sit under it (see backend.h): the real one
// (SDL2 window, OpenGL drawing, SDL/OpenAL audio) and a headless one used by
// the tests, which records draw calls, replays scripted input and runs a
// virtual clock. Nothing outside src/platform/ includes SDL, GL, FreeType,
// libpng or vorbis headers.
//
// Text is a Latin-1 byte string (std::string): one byte per character in
// memory, in files and on the wire. Typed characters above 255 never enter
// (GetChar refuses them).
//
// Handles: images, sounds, fonts, pixmaps, streams and sockets are shared
// pointers; an empty pointer is "no object" (a file that failed to load).
// Audio channels are small positive ints, 0 meaning none.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// ---------------------------------------------------------------------------
// Back end selection and life cycle
// ---------------------------------------------------------------------------
enum class BackendKind { Real, Headless };

// Selects and starts the back end. Must be called before anything else of
// this header. Calling it again shuts the previous back end down first
// (tests use this to start from a clean state).
void PlatformInit(BackendKind kind);
// The back end the environment asks for: PIBBO_HEADLESS=1 selects Headless.
BackendKind PlatformKindFromEnvironment();
bool PlatformIsHeadless();
void PlatformShutdown();

// Window title of the next (and the open) display.
void AppTitle(const std::string& title);
// Hands text to the debug output; nothing listens in a normal run.
void DebugLog(const std::string& text);

// ---------------------------------------------------------------------------
// Display
// ---------------------------------------------------------------------------
struct GraphicsMode {
  int width = 0, height = 0, depth = 0, hertz = 0;
};

// Full-screen modes of the main display with 16 or more bits per pixel, in
// the order the display reports them (at most 1024).
int CountGraphicsModes();
// Mode `index` (0-based); out-parameters stay untouched for a bad index.
void GetGraphicsMode(int index, int& width, int& height, int& depth, int& hertz);
// 1 when a full-screen mode of that size and depth exists (hertz 0: any).
int GraphicsModeExists(int width, int height, int depth, int hertz = 0);
// Size of the desktop (the display's current mode).
void DesktopSize(int& width, int& height);

// Only one 2D driver exists (OpenGL); kept so that callers can state it.
void SetGraphicsDriverGL();

// Opens a window (depth 0) or a full screen (depth 16, 24, 32), closing any
// open display first. Returns 1 on success. Images and fonts stay valid
// across displays (they re-upload themselves as needed).
int Graphics(int width, int height, int depth = 0, int hertz = 60, int flags = 0);
void EndGraphics();
int GraphicsOpen();
int GraphicsWidth();   // real display size, 0 when closed
int GraphicsHeight();

// Presents the back buffer. sync 0: at once; -1: default (vertical sync).
// The back buffer keeps its content after Flip.
void Flip(int sync = -1);

// All drawing and the virtual mouse use a width x height space stretched
// over the whole display. Default: the real display size.
void SetVirtualResolution(float width, float height);
float VirtualResolutionWidth();
float VirtualResolutionHeight();

void SetClsColor(int r, int g, int b);
void Cls();

void HideMouse();
void ShowMouse();

// ---------------------------------------------------------------------------
// Drawing state
// ---------------------------------------------------------------------------
// Blend modes (the game's Blend codes 0..3 map to 2, 3, 5, 4).
constexpr int MASKBLEND = 1;
constexpr int SOLIDBLEND = 2;
constexpr int ALPHABLEND = 3;
constexpr int LIGHTBLEND = 4;  // additive: src * alpha + dst
constexpr int SHADEBLEND = 5;  // multiply: src * dst

void SetColor(int r, int g, int b);
void GetColor(int& r, int& g, int& b);
void SetAlpha(float alpha);
float GetAlpha();
void SetBlend(int mode);
int GetBlend();
// Degrees; positive turns clockwise on screen (y grows downward). Applies
// about the drawn thing's handle: an image's handle point, the top-left of a
// rectangle or a text.
void SetRotation(float degrees);
float GetRotation();
void SetScale(float sx, float sy);
void GetScale(float& sx, float& sy);
void SetLineWidth(float width);
float GetLineWidth();

// ---------------------------------------------------------------------------
// Primitives (virtual-screen coordinates)
// ---------------------------------------------------------------------------
void DrawRect(float x, float y, float width, float height);
void DrawLine(float x1, float y1, float x2, float y2, int drawLastPixel = 1);
void DrawOval(float x, float y, float width, float height);
void Plot(float x, float y);

// ---------------------------------------------------------------------------
// Pixmaps and images
// ---------------------------------------------------------------------------
// 8-bit RGBA pixels, row by row from the top, no padding.
struct TPixmap {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4
  uint8_t* At(int x, int y) { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
  const uint8_t* At(int x, int y) const { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
};
using Pixmap = std::shared_ptr<TPixmap>;

Pixmap CreatePixmap(int width, int height);
// Decodes a PNG file (any colour type) to RGBA. Empty on failure.
Pixmap LoadPixmapPNG(const std::string& path);
// Writes an RGBA PNG at zlib level 0..9. Returns 1 on success; the file is
// written whole or not at all. `onlyNew`: only where nothing stands at
// `path` (0 and errno EEXIST when something does; it is left as it is).
int SavePixmapPNG(const Pixmap& pixmap, const std::string& path, int compression = 9, bool onlyNew = false);

// Image flags: 1 masked (black becomes transparent in images without an
// alpha channel), 2 filtered (linear when scaled). -1: the default, 3.
constexpr int MASKEDIMAGE = 1;
constexpr int FILTEREDIMAGE = 2;
constexpr int DYNAMICIMAGE = 8;

struct TImage;  // defined in image.h (platform-internal)
using Image = std::shared_ptr<TImage>;

// When on, images loaded or created later get their handle at their centre.
void AutoMidHandle(int on);
Image LoadImage(const std::string& path, int flags = -1);
// Cuts the picture into equal cells, row by row.
Image LoadAnimImage(const std::string& path, int cellWidth, int cellHeight, int firstCell,
                    int cellCount, int flags = -1);
Image LoadImageFromPixmap(const Pixmap& pixmap, int flags = -1);
Image CreateImage(int width, int height, int frames = 1, int flags = -1);
// Copies the back-buffer rectangle of the image's cell size whose top-left
// is window pixel (x, y) (real pixels; the handle plays no part) into the
// image's frame.
void GrabImage(const Image& image, float x, float y, int frame = 0);
void DrawImage(const Image& image, float x, float y, int frame = 0);
// Draws a frame stretched to width x height (handle scaled along).
void DrawImageRect(const Image& image, float x, float y, float width, float height, int frame = 0);
int ImageWidth(const Image& image);
int ImageHeight(const Image& image);
int ImageFrames(const Image& image);
void MidHandleImage(const Image& image);
void SetImageHandle(const Image& image, float x, float y);
// The image frame's pixels (the source, not the texture).
Pixmap LockImage(const Image& image, int frame = 0);

// Reads the back buffer in real display pixels (origin top-left).
Pixmap GrabPixmap(int x, int y, int width, int height);

// ---------------------------------------------------------------------------
// Image fonts and text
// ---------------------------------------------------------------------------
constexpr int BOLDFONT = 1;
constexpr int ITALICFONT = 2;
constexpr int SMOOTHFONT = 4;

struct TImageFont;
using Font = std::shared_ptr<TImageFont>;

// Renders a TrueType face at `size` pixels (SMOOTHFONT: anti-aliased).
// Empty when the file cannot be read.
Font LoadImageFont(const std::string& path, int size, int style = SMOOTHFONT);
// Makes the font current for drawing and measuring; empty: the built-in font.
void SetImageFont(const Font& font);
Font GetImageFont();
// Draws with the current colour, alpha, blend, rotation and scale, the
// top-left corner at (x, y). Text that lands smaller than its font's size is
// set with the advances of the size it lands at, which may take a pixel more
// or less than TextWidth measured: `anchor` is the point of the measured
// width that stays put (0 the start, 0.5 the middle, 1 the end), so that
// centred and right-aligned texts stay so.
void DrawText(const std::string& text, float x, float y, float anchor = 0.0f);
// Unscaled measures in the current font.
int TextWidth(const std::string& text);
int TextHeight(const std::string& text);

// ---------------------------------------------------------------------------
// Polled input, while a display is open. The first query after the program
// gave up time (Delay; a Flip does not count) takes in the events that came
// meanwhile; the queries until then answer from that intake, so every
// reader of a frame sees the same input. A key or button that went down in
// an intake reads as held until the next intake, even when it was released
// again before it: a tap shorter than a frame is held for one frame.
// PollSystem takes in events at once (for loops that wait on input without
// giving up time). Key codes are the framework's (Windows virtual-key
// values): 8 Backspace, 9 Tab, 13 Return, 27 Escape, 32 Space, 37..40 Left,
// Up, Right, Down, 48..57 digits, 65..90 letters, 96..105 keypad digits,
// 112..123 F1..F12, 160..165 left/right Shift, Control, Alt.
// ---------------------------------------------------------------------------
constexpr int KEY_BACKSPACE = 8, KEY_TAB = 9, KEY_ENTER = 13, KEY_RETURN = 13, KEY_ESCAPE = 27,
              KEY_SPACE = 32, KEY_LEFT = 37, KEY_UP = 38, KEY_RIGHT = 39, KEY_DOWN = 40,
              KEY_DELETE = 46, KEY_F1 = 112, KEY_F4 = 115, KEY_F11 = 122, KEY_F12 = 123,
              KEY_LSHIFT = 160, KEY_RSHIFT = 161, KEY_LCONTROL = 162, KEY_RCONTROL = 163,
              KEY_LALT = 164, KEY_RALT = 165;

void PollSystem();
int KeyDown(int code);   // 1 while held, or pressed since the last intake (codes 0..255; mouse buttons never)
int KeyHit(int code);    // presses since the last call for this key; resets
int GetChar();           // next typed character (1..255), 0 when none
void FlushKeys();        // forgets held keys, hits and typed characters
int MouseDown(int button);  // 1 left, 2 right, 3 middle
int MouseHit(int button);  // presses since the last call for this button; resets
// Claims the mouse buttons over an area of the virtual screen, until the
// next claim (a width or height of 0 claims nothing): a press made with the
// pointer inside it belongs to the claimant until it is released.
// MouseDown and MouseHit never answer such a press; ClaimedMouseDown and
// ClaimedMouseHit answer only such presses.
void ClaimMouseButtons(float x, float y, float w, float h);
int ClaimedMouseDown(int button);
int ClaimedMouseHit(int button);
// 1 when the virtual-screen point lies inside the claimed area: a pointer
// resting there is the claimant's too, and what lies beneath should not
// follow it.
int InMouseClaim(float x, float y);
void FlushMouse();
// The pointer of this intake: where its first mouse press was made, or
// without a press where the last move left it.
int MouseX();  // real display pixels
int MouseY();
float VirtualMouseX();
float VirtualMouseY();
void MoveMouse(int x, int y);
void MoveVirtualMouse(float x, float y);
// True once after the user asked to close the window; always true once the
// process got a termination signal (see CatchTerminationSignals).
int AppTerminate();
// From now on SIGTERM, SIGINT and SIGHUP ask the program to close (through
// AppTerminate) instead of killing it, so it can save what it holds.
void CatchTerminationSignals();

// ---------------------------------------------------------------------------
// Joysticks (ports from 0)
// ---------------------------------------------------------------------------
int JoyCount();
std::string JoyName(int port);
int JoyButtonCaps(int port);  // bit n: the pad has button n
float JoyX(int port);  // -1..+1; 0 for an axis the pad lacks
float JoyY(int port);
float JoyZ(int port);
float JoyR(int port);
float JoyU(int port);
float JoyV(int port);
// -1 centred, else eighths of a turn clockwise from up (0 up, 0.25 right,
// 0.5 down, 0.75 left).
float JoyHat(int port);
int JoyDown(int button, int port);  // held, or pressed since the last intake

// ---------------------------------------------------------------------------
// Audio
// ---------------------------------------------------------------------------
// Registered drivers, newest first: "OpenAL" (only when OpenAL opens a
// device), "FreeMix", "FreeMix System", "Null".
std::vector<std::string> AudioDrivers();
int AudioDriverExists(const std::string& name);  // case ignored
// Starts the named driver (case ignored); 1 on success, else 0 and "Null".
int SetAudioDriver(const std::string& name);
std::string CurrentAudioDriver();
// True when what plays is heard: a driver with a sound device behind it
// (false for "Null", without a device, and on the headless back end).
bool AudioAudible();
// Registers "OpenAL <device>" per device and "OpenAL Default"; 1 when the
// OpenAL library is usable.
int EnableOpenALAudio();

struct TSound;
using Sound = std::shared_ptr<TSound>;
constexpr int SOUND_LOOP = 1;

// WAV (PCM 8/16-bit, mono/stereo) or Ogg Vorbis, decoded whole.
Sound LoadSound(const std::string& path, int flags = 0);
int AllocChannel();
// Prepares the sound paused on `channel` (0: a new channel); returns the
// channel, 0 when none could be had.
int CueSound(const Sound& sound, int channel = 0);
// Cue and resume in one.
int PlaySound(const Sound& sound, int channel = 0);
void ResumeChannel(int channel);
void PauseChannel(int channel);
void StopChannel(int channel);
// 1 from the cue until the sound ends or the channel is stopped (a cued or
// paused channel counts: its sound has not ended). Under "Null" sounds end
// when their length has passed on the clock.
int ChannelPlaying(int channel);
void SetChannelVolume(int channel, float volume);  // above 1 amplifies; clipped at output
void SetChannelPan(int channel, float pan);        // -1 left .. +1 right
void SetChannelRate(int channel, float rate);      // 1 = the sound's own rate

// ---------------------------------------------------------------------------
// Files, folders and text streams
// ---------------------------------------------------------------------------
class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to n bytes; answers how many.
  virtual int Read(void* buffer, int n) = 0;
  // Writes n bytes; answers how many.
  virtual int Write(const void* buffer, int n) = 0;
  virtual int Eof() = 0;
  // Hands buffered bytes on (to the disk, the network); nothing by default.
  virtual void Flush() {}
  // The error (errno) of the first write or flush that failed; 0 while none did.
  virtual int WriteError() const { return 0; }
  virtual void Close() = 0;
};
using Stream = std::shared_ptr<TStream>;

Stream ReadFile(const std::string& path);
Stream WriteFile(const std::string& path);  // creates or cuts to length 0
// The same open as a C stream, for readers that take one: only a regular
// file is opened (a FIFO or a device is refused, errno ENODEV), and the
// open never blocks. Null on failure.
FILE* OpenRegularFile(const std::string& path, bool write = false);
// Bytes up to LF, a zero byte or the end; CR dropped; Latin-1.
std::string ReadLine(const Stream& stream);
// Low byte of each character, then CR LF.
void WriteLine(const Stream& stream, const std::string& text);
void WriteString(const Stream& stream, const std::string& text);
int ReadByte(const Stream& stream);  // -1 at the end
int Eof(const Stream& stream);
void FlushStream(const Stream& stream);
// Flushes, then answers the error of the first write that failed (0: none).
int FlushedWriteError(const Stream& stream);
void CloseFile(const Stream& stream);
void CloseStream(const Stream& stream);

int FileType(const std::string& path);  // 0 nothing, 1 file, 2 folder
// True when `path` (after its links) names a device, a FIFO or a socket:
// ReadFile and WriteFile refuse such a file, and no save replaces it.
bool IsSpecialFile(const std::string& path);
int DeleteFile(const std::string& path);
int RenameFile(const std::string& from, const std::string& to);
int CreateDir(const std::string& path);
int ChangeDir(const std::string& path);  // 1 on success; a trailing "/" is ignored
std::string CurrentDir();
// The folder that holds the running executable.
std::string AppDir();

// Writes the lines (CR LF) to a temporary file beside `path` and renames it
// over `path`: the file is written whole or not at all. An existing file
// keeps its mode and group (and its owner where we may set it). A symbolic
// link is written through (its target replaced, the link kept). 1 on
// success; on failure 0, and `why` (when given) says why.
//
// Where that cannot be done (no temporary file can be made in the folder,
// or the file's group could not be kept) but the file may be written, it
// is written in place when `safeCopy` is given: the new content is saved
// whole there first (its folders made), then the file is cut to nothing,
// written and flushed, and the copy removed. A kill in between leaves the
// copy whole and the file as it was or holding a first part of the new
// content (see IsFirstPartOf); a failed write leaves the copy too.
// `inPlace` (when given) is set to 1 once the file is being written in place:
// a failure after that leaves the new content whole in `safeCopy`.
//
// Only a regular file is replaced: where `path` names a device, a FIFO or
// a socket, or a file that cannot be read, nothing is written. The save
// holds the SaveLock of the file's folder (and of the copy's).
int SaveLinesAtomic(const std::string& path, const std::vector<std::string>& lines,
                    std::string* why = nullptr, const std::string& safeCopy = "", int* inPlace = nullptr);
// The lock of the folder that holds the file `file` names (after its
// links), held while the object lives: a save of a file there by another
// process waits for it, a save of ours takes it again at no cost. The wait
// is bounded: after `waitMs` the lock is not held (WaitedOut) and the
// caller must not replace what another copy may be writing there. A
// folder that not every player may list is locked through a lock file in
// it (".pibbo-save.lock"), which a player who may not list it takes too.
// A folder that can be locked neither way is not locked.
class SaveLock {
 public:
  static constexpr int kWaitMs = 3000;
  explicit SaveLock(const std::string& file, int waitMs = kWaitMs);
  // The locks of the folders of all the files, waited for together: at
  // most `waitMs` in all. When one of them could not be had, none is held.
  explicit SaveLock(const std::vector<std::string>& files, int waitMs = kWaitMs);
  ~SaveLock();
  SaveLock(const SaveLock&) = delete;
  SaveLock& operator=(const SaveLock&) = delete;
  bool WaitedOut() const { return waitedOut_; }
  // Whether another process holds the lock of the file's folder now (no wait).
  static bool HeldBySomeoneElse(const std::string& file);

 private:
  std::vector<std::pair<unsigned long, unsigned long>> keys_;
  bool waitedOut_ = false;
};

// Writes the lines (CR LF) to a new file at `path`, only where nothing
// stands at that name (not even a dangling link): written whole beside it,
// then linked into place, so it never replaces anything. 1 on success; else
// 0, `why` says why, and `taken` (when given) is set when the name was taken.
int SaveLinesNew(const std::string& path, const std::vector<std::string>& lines, std::string* why = nullptr,
                 bool* taken = nullptr);
// The same with the bytes as they are.
int SaveBytesNew(const std::string& path, const std::string& bytes, std::string* why = nullptr,
                 bool* taken = nullptr);
// Puts the whole file `temp` at `path` only where nothing stands there (a
// hard link, `temp` left to the caller): 0, or the errno (EEXIST: taken).
int LinkNewFile(const std::string& temp, const std::string& path);
// The device and inode of the file a path names (after its links);
// {0, 0} when there is none.
std::pair<unsigned long, unsigned long> FileIdentity(const std::string& path);
// Whether anything at all stands at `path`: a file, a folder, a node or a
// link (a dangling one or a loop too).
bool NameTaken(const std::string& path);

// Makes a folder and those above it that are missing (new ones 0700). 1 on
// success; else 0, and `why` says why.
int MakeFolderPath(const std::string& folder, std::string* why = nullptr);
// True when every byte of the file at `path` (none included) stands at the
// start of the file at `whole`: a write of `whole`'s content over `path`
// was cut short, or had not begun. False when either cannot be read.
bool IsFirstPartOf(const std::string& path, const std::string& whole);
// Reads every byte of a regular file; false when it can't be read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Reads every line of a file as ReadLine does; false when it can't be read.
bool LoadLines(const std::string& path, std::vector<std::string>& lines);

// ---------------------------------------------------------------------------
// TCP
// ---------------------------------------------------------------------------
struct TSocket;
using Socket = std::shared_ptr<TSocket>;

// IPv4 address of a host name (network order folded to an int, as
// a.b.c.d -> a<<24|b<<16|c<<8|d), 0 when the look-up fails.
int HostIp(const std::string& host, int index = 0);
std::string DottedIP(int ip);
Socket CreateTCPSocket();
int ConnectSocket(const Socket& socket, int ip, int port);  // 1 on success
Stream CreateSocketStream(const Socket& socket, int autoClose = 1);
// 1 when a socket stream ended because the peer kept it waiting past the
// read time-out or the reply time limit, not because the peer closed.
int SocketStreamTimedOut(const Stream& stream);
// 1 when a socket stream ended at the reply byte cap (SetNetLimits), with
// the peer still connected: what it sent may go on past what was read.
int SocketStreamCapped(const Stream& stream);
void CloseSocket(const Socket& socket);
// Limits that keep a slow or hostile server from freezing the game.
// Defaults 5 s, 5 s and 1 MiB; a value of 0 or less restores its default.
// The connect time-out also bounds the name look-up of HostIp; the read
// time-out bounds each wait for bytes; a stream past the byte cap reports Eof.
void SetNetLimits(int connectTimeoutMs, int readTimeoutMs, int maxReplyBytes);
// Longest time a socket stream delivers bytes, counted from its creation
// (default 20 s); past it the stream reports Eof.
void SetNetReplyTimeLimit(int ms);

// ---------------------------------------------------------------------------
// Time
// ---------------------------------------------------------------------------
int MilliSecs();  // 32-bit count; compare as differences (wraps)
void Delay(int ms);
std::string CurrentDate();  // "09 Dec 2026" (English month names)
std::string CurrentTime();  // "21:05:09"
// Tests: CurrentDate and CurrentTime answer this local date and time (month
// 1..12) until ClearFixedLocalTime.
void SetFixedLocalTime(int year, int month, int day, int hour, int minute, int second);
void ClearFixedLocalTime();

// ---------------------------------------------------------------------------
// Random numbers: one generator for the whole program.
// ---------------------------------------------------------------------------
void SeedRnd(int seed);
int RndSeed();
double RndDouble();                      // [0, 1)
double Rnd(double a = 1.0, double b = 0.0);  // min + r * |b - a|
int Rand(int a, int b = 1);              // both ends included

// ---------------------------------------------------------------------------
// Strings (positions count from 1)
// ---------------------------------------------------------------------------
std::string Mid(const std::string& s, int pos, int count = -1);
std::string Left(const std::string& s, int count);
std::string Right(const std::string& s, int count);
int Instr(const std::string& s, const std::string& sub, int start = 1);
std::string Replace(const std::string& s, const std::string& from, const std::string& to);
std::string Trim(const std::string& s);
std::string Upper(const std::string& s);
std::string Lower(const std::string& s);
std::string Hex(int value);  // eight upper-case digits
std::string Chr(int code);
int Asc(const std::string& s);  // first character, -1 for ""
// Text to number: leading blanks, one sign, then "%" binary, "$" hex or
// decimal digits up to the first other character; wraps; no digit gives 0.
int ToInt(const std::string& s);
// The size of the number a text begins with, as ToLong reads it (blanks, a
// sign, "$" hex, "%" binary), sign dropped and held at UINT64_MAX instead of
// wrapping. False when no digit follows.
bool NumberMagnitude(const std::string& s, uint64_t& magnitude);
int64_t ToLong(const std::string& s);
double ToDouble(const std::string& s);
float ToFloat(const std::string& s);
std::string FloatToString(double value);  // shortest decimal with a point

// ---------------------------------------------------------------------------
// Maths in degrees
// ---------------------------------------------------------------------------
double Sin(double degrees);
double Cos(double degrees);
double Tan(double degrees);
double ATan2(double y, double x);
double ATan(double x);
int Abs(int n);  // 32-bit: Abs(INT_MIN) stays INT_MIN

// ---------------------------------------------------------------------------
// Linked lists of records (see list.h)
// ---------------------------------------------------------------------------
#include "platform/list.h"

// ---------------------------------------------------------------------------
// Integer handles for objects: the first object ever handed over gets 1,
// the next a new number; the same object keeps its number; null gives 0.
// ---------------------------------------------------------------------------
// The table holds its objects until ReleaseHandle. Each handle remembers the
// type it was made from: HandleToObject<T> answers null for 0, for a number
// never handed out, and for an object made from another type (an image
// handle asked for as a font). Untyped handles (shared_ptr<void>) answer
// only through HandleToObjectRaw / HandleToObject<void>.
namespace handle_detail {
template <class T>
inline const char kTypeTag = 0;
using TypeTag = const void*;
int Register(const std::shared_ptr<void>& object, TypeTag tag);
std::shared_ptr<void> Lookup(int handle, TypeTag tag);
}  // namespace handle_detail

template <class T>
int HandleFromObject(const std::shared_ptr<T>& object) {
  return handle_detail::Register(std::shared_ptr<void>(object), &handle_detail::kTypeTag<T>);
}
int HandleFromObject(const std::shared_ptr<void>& object);
std::shared_ptr<void> HandleToObjectRaw(int handle);  // any type
template <class T>
std::shared_ptr<T> HandleToObject(int handle) {
  return std::static_pointer_cast<T>(handle_detail::Lookup(handle, &handle_detail::kTypeTag<T>));
}
// Drops the table's hold on the object; the number is never handed out again.
void ReleaseHandle(int handle);
