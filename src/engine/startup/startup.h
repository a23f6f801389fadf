// Start-up and configuration: the program's top level (global tables and
// defaults, the log "Debug.txt", the settings file "Setup.ini", the audio
// driver choice, the per-game folder), the display set-up with the virtual
// resolution (ChangeRes), the shared assets and the font grid (LoadCommon,
// UseFont), the settings writer (SaveIni), the log writer (Debug) and the
// closing sequence (Finish).
//
// The frame services' globals that the start-up fills (DrawMax, DrawCount,
// Channel, ChannelVol, LChan, sfx, LastFrame, InGame, comments, scoreget)
// are declared in engine/frame/frame.h. The subsystems above the engine
// create their own tables when the start-up raises
// EngineEvent::TablesCreated (engine/frame/hooks.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"


// ---------------------------------------------------------------------------
// Process entry and game identity
// ---------------------------------------------------------------------------
// The start-up, from the framework's start to the end of the loading
// screen: tables and defaults, log, settings, audio driver, per-game folder,
// display and assets. 0 when the title screen may follow, else the exit
// code (no window could be opened). Runs once; later calls answer 0.
int StartUp();

extern std::string ScoreServer;  // "host" or "host:port" from "Setup.ini"; "" when it names none
extern int GameWeek;            // 260: number of the game in its series
extern std::string GameName1;   // "Pibbo"
extern std::string GameName2;   // "Zorravel"
extern std::string GameName;    // "#260 : Pibbo Zorravel"

// "260/": the per-game folder's name, the last three digits of the number.
std::string GameFolder();
// "#" + number + " : " + short title + " " + long title.
std::string MakeGameName(int week, const std::string& shortTitle, const std::string& longTitle);

// ---------------------------------------------------------------------------
// Start-up tables of play, backdrop and title
// ---------------------------------------------------------------------------
extern float GradR, GradG, GradB;           // backdrop colour as drawn
extern float AimGradR, AimGradG, AimGradB;  // backdrop colour aimed for

// ---------------------------------------------------------------------------
// Global tables created at start-up
// ---------------------------------------------------------------------------
// Settings, by slot: 1 fullscreen, 2 widescreen, 3 graphics engine,
// 4 display-mode index, 5 width, 6 height, 7 frame-skip mode, 11 master,
// 12 sound, 13 music volume, 14 audio driver index into AuxDrivers.
extern int Options[100];
enum OptionSlot {
  kOptFullscreen = 1,
  kOptWidescreen = 2,
  kOptGraphicsEngine = 3,
  kOptModeIndex = 4,
  kOptWidth = 5,
  kOptHeight = 6,
  kOptFrameSkip = 7,
  kOptMaster = 11,
  kOptSound = 12,
  kOptMusic = 13,
  kOptAudioDriver = 14,
};

// Display-mode table: sizes 1..MostResses of shape 16:10, 16:9 or 4:3.
extern int ResolutionW[2500];
extern int ResolutionH[2500];
extern int MostResses;

// Named fonts (elements 1..13) and the font grid (element
// (face - 1) * 10 + size, faces 1..3, sizes 0..8). An empty handle draws with
// the built-in font. (The named-font table is called Fonts because Font is
// the platform's font handle type.)
extern Font Fonts[20];
extern Font Fontb[100];

// Joystick table, pads 1..StickCount (pad p is port p - 1).
extern int StickCount;
extern std::string Stick[5];
extern int StickBut[5];
extern float StickX[5], StickY[5], StickZ[5], StickU[5], StickV[5], StickR[5];
extern int StickHat[5];
extern int StickOn[5];


// Fills the joystick table from the pads attached now (at most four).
void DiscoverJoysticks();

// ---------------------------------------------------------------------------
// Bindings, defaults, log, settings file
// ---------------------------------------------------------------------------
// Control bindings: element (player - 1) * 20 + control.
extern int KeyV[101];

extern std::vector<std::string> AuxDrivers;  // audio drivers, taken once
extern int AudioDriverChosen;  // 1 once "Setup.ini" named an audio driver
extern Stream DebugFile;       // the open log, empty when none

// Absolute paths of the folders the run works in; empty when the folder was
// missing, and then nothing is read from or written into it.
extern std::string FilesDir;   // "Files/": the log and "Setup.ini"
extern std::string GameDir;    // the per-game folder
extern std::string CommonDir;  // "Common/": shared fonts, icons, logos

// Creates the tables of start-up with their defaults (Options, KeyV, the
// display-mode, font, joystick, score and message tables, ...). Also used
// by tests to get a clean state.
void CreateStartupTables();
// Writes player 1's default bindings and the default settings.
void SetDefaults();

// Writes one line to the log; each line reaches the disk at once. When
// "Debug.txt" could not be created (or "Files/" is missing) the lines go
// to the terminal (stderr) instead; before any attempt they are dropped.
int Debug(const std::string& text);
// Creates "Debug.txt" in the current folder and writes its header. False
// when the file could not be created: the terminal gets the log instead.
bool OpenLog();
// The log goes to the terminal from here on (no "Debug.txt" can be made).
void LogToTerminal(const std::string& why);
void CloseLog();

// What the closing sequence could not save, in the player's words: shown
// on the closing screen and printed to the terminal. The savers add their
// lines while the closing sequence runs.
void ReportClosingProblem(const std::string& text);
const std::vector<std::string>& ClosingProblems();
void ClearClosingProblems();
// Why the last SaveIni failed; empty after one that worked.
extern std::string IniSaveProblem;

// Applies one line of "Setup.ini" to Options, KeyV and AudioDriverChosen.
void ReadIniLine(const std::string& line);
// Reads "Setup.ini" from the current folder when it exists and is readable.
void ReadIni();
// The lines SaveIni writes, from the current settings.
std::vector<std::string> IniLines();
// Writes "Setup.ini" one folder up (from the per-game folder) and comes
// back; written whole or not at all. Returns 0.
int SaveIni();
// The player's data folder for the game's kept files:
// $XDG_DATA_HOME/pibbo-zorravel, else ~/.local/share/pibbo-zorravel; ""
// when neither is known.
std::string DataFolder();
// Where a file `name` of the game's folder `folder` (an absolute path) is
// kept when that folder cannot take it: one folder per kind and game
// folder in the data folder, so that two copies of the game never mix; ""
// when there is no data folder.
std::string KeptFileFor(const std::string& kind, const std::string& folder, const std::string& name);
// A path as the player knows it: from the run folder when it lies under
// "Files/"'s parent, with "~" for the home folder.
std::string ShownPath(const std::string& path);
// True when file `a` was written after file `b` (or `b` is missing).
bool NewerFile(const std::string& a, const std::string& b);
// Where "Setup.ini" is kept when "Files/" cannot take it; "" when nowhere.
std::string KeptSettingsFile();
// Why "Setup.ini" could not be read at start ("" when it could, or was
// missing): such a file is never replaced.
extern std::string IniUnreadable;
// Where the last SaveIni that failed kept the settings; "" when nowhere.
extern std::string IniKeptAt;
// What the closing screen says when the last SaveIni that failed could keep
// the settings nowhere and "Setup.ini" does not hold them as they are:
// they are lost, and why. "" otherwise.
extern std::string IniLost;
// Removes what an interrupted save left in `folder`: the temporary files
// name + ".tmp-XXXXXX". Answers how many were removed.
int RemoveStaleTemporaries(const std::string& folder, const std::string& name);

// The driver that the automatic choice picks from a driver list (the last
// "FREE..." or "DIRECT..." name, else the first "OPENAL..." name), or -1.
int AutoAudioDriver(const std::vector<std::string>& drivers);
// The audio-driver step: automatic choice unless "Setup.ini" named one,
// then starts the driver at Options[kOptAudioDriver].
void ChooseAudioDriver();

// ---------------------------------------------------------------------------
// Display set-up, shared assets, font grid
// ---------------------------------------------------------------------------
extern int MyScrw, MyScrh;  // real display size
extern int JScrw, JScrh;    // virtual screen
extern int FirstRun;        // 1 once the first display set-up showed the splash

// Rebuilds the display-mode table from the platform's modes and looks the
// configured size (Options[kOptWidth] x Options[kOptHeight]) up in it.
void BuildModeTable();
// Virtual screen for a display size: 1600x900 (16:9), 1440x900 (16:10),
// else 1280x960; wide is set to 1 for the two wide ones.
void VirtualScreenFor(int width, int height, int& jw, int& jh, int& wide);
// Opens the display from the settings and loads every asset again.
int ChangeRes();
// Display openings by ChangeRes so far: an image or font taken before the
// count changed belongs to a closed display.
extern int DisplayChanges;

extern std::string MainFont;  // face 1: "SVBasicManual" or "November"
extern std::string SubFont;   // face 2: "Blue Highway"
extern Image CommonIconsF;    // icons.png, 64 cells of 16x16, filtered
extern Image CommonIcons;     // the same, not filtered
extern Image logo;
extern Image DrennicLogo;
extern Sound BadgeGet;
extern Image BadgeIcons;      // badges.png, 16 cells of 64x64

// Font sizes for a real display width.
struct FontScale {
  float font = 1.0f, small = 1.0f;
  std::string mainFace;
};
FontScale FontScaleFor(int displayWidth);
// Pixel size of named font 1..13 and of grid size index 0..8 at a width.
int NamedFontSize(int element, int displayWidth);
int GridFontSize(int sizeIndex, int displayWidth);
// Fontb element that UseFont selects (out-of-range face 1, size 0).
int FontGridIndex(int face, int size);

int LoadCommon();
int UseFont(int face, int size);
// Selects, like UseFont, the largest size of `face` from index `size` down
// whose line height is at most `height` pixels (index 0 when none is), and
// answers that size index.
int UseFontWithin(int face, int size, int height);

// ---------------------------------------------------------------------------
// Title hand-over and closing
// ---------------------------------------------------------------------------
extern int MouseInput;        // 1: the game is played with the mouse
extern int AvailablePlayers;  // players offered in the settings panel
extern int GameBadges;        // badges shown per score entry

// The closing sequence: saves settings and scores, shows the thank-you
// screen until a new input, ends the process with exit code 0.
[[noreturn]] void Finish();
// Saves what the closing sequence saves, when the process ends without it:
// the windowing system can end the program (its window destroyed, the X
// server gone away) by calling exit, and this run's games would go with it.
// Does nothing once the closing sequence has begun. The start-up has it
// run at exit.
void SaveAtUnplannedExit();
// The thank-you screen of the closing sequence: drawn and shown once, then
// held until everything held at its start is let go (or about 2 s have
// passed) and a new input comes.
void ThanksScreen();
