// The start-up: everything from the framework's start to the end of the
// loading screen.
#include <csignal>
#include <cstdlib>
#include <cstdio>

#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"

namespace {

// Enters `name` below `base`; answers the absolute path, "" when missing.
std::string EnterFolder(const std::string& base, const std::string& name) {
  if (base.empty() || !ChangeDir(base + "/" + name)) return "";
  return CurrentDir();
}

}  // namespace

int StartUp() {
  static bool entered = false;
  if (entered) return 0;
  entered = true;

  // A write to a connection the server has closed fails instead of ending us.
  std::signal(SIGPIPE, SIG_IGN);
  CatchTerminationSignals();
  const BackendKind wanted = PlatformKindFromEnvironment();
  PlatformInit(wanted);
  // Asked for a window where none can be shown: say so (and log it once the
  // log is open) and stop, instead of running unseen.
  const bool noDisplay = wanted == BackendKind::Real && PlatformIsHeadless();
  const std::string noDisplayText =
      "cannot open a window: no display is available (PIBBO_HEADLESS=1 runs the game without one)";
  if (noDisplay) std::fprintf(stderr, "pibbo: %s\n", noDisplayText.c_str());
  // Every relative path starts from the executable's folder.
  std::string appDir = AppDir();
  ChangeDir(appDir);

  GameName = MakeGameName(GameWeek, GameName1, GameName2);
  AppTitle(GameName);

  HideMouse();
  LastFrame = MMillisecs();
  DrawMax[kDrawSprites] = 50000;
  DrawMax[kDrawGlow] = 50000;

  CreateStartupTables();
  SetDefaults();
  LChan = 20;
  RaiseEngineEvent(EngineEvent::TablesCreated);

  // Files/ holds the log and the settings; the per-game folder and Common/
  // lie inside it.
  FilesDir = EnterFolder(appDir, "Files");
  if (!FilesDir.empty()) {
    GameDir = EnterFolder(FilesDir, GameFolder());
    CommonDir = EnterFolder(FilesDir, "Common");
    ChangeDir(FilesDir);
    OpenLog();
    // What a run killed while saving left behind.
    RemoveStaleTemporaries(FilesDir, "Setup.ini");
    if (!GameDir.empty()) RemoveStaleTemporaries(GameDir, "nuscores.dat");
  } else {
    LogToTerminal("the folder Files/ is missing");
    Debug("Missing folder : Files/ (no log, no settings file)");
  }
  if (noDisplay) {
    if (DebugFile) Debug(noDisplayText);  // the terminal has it already
    CloseLog();
    return 1;
  }

  AuxDrivers = AudioDrivers();
  for (const std::string& name : AuxDrivers) DebugLog(name);
  ReadIni();
  ChooseAudioDriver();

  Debug("\tRequested Resolution : " + std::to_string(Options[kOptWidth]) + "x" + std::to_string(Options[kOptHeight]));
  Debug("\tSetup Loaded");
  Debug("");
  Debug("Grabbing Previous Scores");
  Debug("");
  if (!GameDir.empty()) {
    ChangeDir(GameDir);
  } else {
    Debug("\tMissing folder : " + GameFolder());
  }
  DebugLog(CurrentDir());

  const int loadStart = MMillisecs();
  ChangeRes();
  MouseInput = 1;
  AvailablePlayers = 1;
  GameBadges = 16;
  InGame = 0;
  Debug("Finished Loading");
  // From here on this run's games are saved however the process ends
  // through exit (the closing sequence itself makes this a no-op).
  std::atexit(SaveAtUnplannedExit);
  // Hold the splash until 2.5 s have passed since loading began.
  while (ClockDiff(MMillisecs(), loadStart) < 2500) Delay(5);
  return 0;
}
