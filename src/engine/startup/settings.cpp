// "Setup.ini": reading it at start-up, writing it back, and the choice of
// the audio driver that depends on it.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <cstdint>
#include <cstdio>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"

namespace {

// The number a text begins with, sign dropped, held far above every
// setting's range so no text overflows it. False when no digit follows.
bool Magnitude(const std::string& text, int64_t& out) {
  uint64_t m = 0;
  const bool any = NumberMagnitude(text, m);
  out = static_cast<int64_t>(std::min<uint64_t>(m, INT64_MAX));
  return any;
}

// A setting's number held to its range; a text without digits reads as 0.
int Clamped(const std::string& value, int64_t low, int64_t high) {
  int64_t v = 0;
  Magnitude(value, v);
  return static_cast<int>(std::clamp(v, low, high));
}

constexpr int64_t kLargestSide = 32768;  // pixels of a display side
constexpr int64_t kLastInputCode = 499;  // pad 4's last code

bool StartsWith(const std::string& name, const std::string& prefix) {
  return Upper(Left(name, static_cast<int>(prefix.size()))) == prefix;
}

}  // namespace

void ReadIniLine(const std::string& line) {
  const std::string key = IniLeft(line);
  const std::string value = IniRight(line);

  if (key == "AUDIODRIVER") {
    AudioDriverChosen = 1;
    for (size_t i = 0; i < AuxDrivers.size(); i++) {
      if (AuxDrivers[i] == value) Options[kOptAudioDriver] = static_cast<int>(i);
    }
  } else if (key == "FULLSCREEN") {
    std::string v = Upper(value);
    if (v == "TRUE" || v == "ON") {
      Options[kOptFullscreen] = 1;
      Debug("\tSetting to Fullscreen");
    }
  } else if (key == "GFX ENGINE" || key == "GFXENGINE") {
    std::string v = Upper(value);
    if (v == "DX9") {
      Options[kOptGraphicsEngine] = 1;
      Debug("\tDirectX 9 Mode");
    }
    if (v == "DX7") {
      Options[kOptGraphicsEngine] = 2;
      Debug("\tDirectX 7 Mode");
    }
  } else if (key == "WIDTH") {
    Options[kOptWidth] = Clamped(value, 0, kLargestSide);
  } else if (key == "HEIGHT") {
    Options[kOptHeight] = Clamped(value, 0, kLargestSide);
  } else if (key == "ESS") {
    Options[kOptFrameSkip] = 1;
    Debug("\tAssuming Emergency Slow System values.");
  } else if (key == "KEY") {
    // A line without digits for the action or the code ("Key=", "Key=abc,5"),
    // or with either out of range, is taken as damaged and passed over: the
    // action keeps the binding it had.
    int64_t index = 0, code = 0;
    if (!Magnitude(SplitText(value, ",", 1, 0), index) || !Magnitude(SplitText(value, ",", 2, 0), code)) return;
    if (index > 99 || code > kLastInputCode) return;
    KeyV[index] = static_cast<int>(code);
  } else if (key == "SCORESERVER") {
    ScoreServer = value;
  } else if (key == "MASTER") {
    Options[kOptMaster] = Clamped(value, 0, 100);
  } else if (key == "SOUND") {
    Options[kOptSound] = Clamped(value, 0, 100);
  } else if (key == "MUSIC") {
    Options[kOptMusic] = Clamped(value, 0, 100);
  }
}

std::string IniUnreadable;

std::string KeptSettingsFile() {
  return KeptFileFor("settings", FilesDir.empty() ? AppDir() + "/Files" : FilesDir, "Setup.ini");
}

void ReadIni() {
  AudioDriverChosen = 0;
  IniUnreadable.clear();
  // A folder of that name counts as missing; a file that cannot be read is
  // kept as it is (SaveIni never replaces it).
  bool read = false;
  if (!FilesDir.empty() && FileType("Setup.ini") == 1) {
    std::vector<std::string> lines;
    errno = 0;
    if (LoadLines("Setup.ini", lines)) {
      Debug("\tReading Setup File");
      for (const std::string& line : lines) ReadIniLine(line);
      read = true;
    } else {
      IniUnreadable = std::strerror(errno ? errno : EIO);
      Debug("\tCould not read Setup.ini : " + IniUnreadable + "; it is left as it is");
    }
  }
  // The settings kept elsewhere by a save that could not finish here: when
  // "Setup.ini" could not take them, or its rewrite was cut short.
  const std::string kept = KeptSettingsFile();
  if (kept.empty() || FileType(kept) != 1) return;
  if (read && !NewerFile(kept, "Setup.ini") && !IsFirstPartOf("Setup.ini", kept)) return;
  std::vector<std::string> lines;
  if (!LoadLines(kept, lines)) return;
  Debug("\tReading the settings kept in " + kept);
  for (const std::string& line : lines) ReadIniLine(line);
}

std::vector<std::string> IniLines() {
  auto num = [](int v) { return std::to_string(v); };
  // A size of 0 would make the next start open no display: keep the one in use.
  int width = Options[kOptWidth] > 0 ? Options[kOptWidth] : MyScrw;
  int height = Options[kOptHeight] > 0 ? Options[kOptHeight] : MyScrh;
  std::vector<std::string> out;
  out.push_back("[Graphics]");
  if (Options[kOptFullscreen] == 0) out.push_back("Fullscreen = False");
  if (Options[kOptFullscreen] == 1) out.push_back("Fullscreen = True");
  if (Options[kOptGraphicsEngine] == 0) out.push_back("GFX Engine = OpenGL");
  if (Options[kOptGraphicsEngine] == 1) out.push_back("GFX Engine = DX9");
  if (Options[kOptGraphicsEngine] == 2) out.push_back("GFX Engine = DX7");
  out.push_back("Width=" + num(width));
  out.push_back("Height=" + num(height));
  if (Options[kOptFrameSkip] == 1)
    out.push_back("ESS=1 ; This is a slow system, and things must run a wee bit slower for it.  Awww..");
  out.push_back("");
  out.push_back("[Audio]");
  out.push_back("Master = " + num(Options[kOptMaster]));
  out.push_back("Sound = " + num(Options[kOptSound]));
  out.push_back("Music = " + num(Options[kOptMusic]));
  std::string driver;
  if (Options[kOptAudioDriver] >= 0 && Options[kOptAudioDriver] < static_cast<int>(AuxDrivers.size())) driver = AuxDrivers[Options[kOptAudioDriver]];
  out.push_back("AudioDriver = " + driver);
  for (const std::string& name : AuxDrivers) out.push_back("; AudioDriver = " + name);
  out.push_back("");
  out.push_back("[Controls]");
  for (int i = 0; i <= 99; i++) {
    if (KeyV[i] > 0) out.push_back("Key=" + num(i) + "," + num(KeyV[i]));
  }
  // Only when the file named one: the default file keeps its layout.
  if (!ScoreServer.empty()) {
    out.push_back("");
    out.push_back("[Online]");
    out.push_back("ScoreServer = " + ScoreServer);
  }
  return out;
}

std::string IniSaveProblem;
std::string IniKeptAt;
std::string IniLost;

int SaveIni() {
  const std::vector<std::string> lines = IniLines();
  const std::string kept = KeptSettingsFile();
  const std::string file = FilesDir.empty() ? "" : FilesDir + "/Setup.ini";
  // One wait for another copy's save of the settings, for both folders.
  const SaveLock lock(std::vector<std::string>{file, kept});
  std::string why;
  int inPlace = 0;
  IniLost.clear();
  IniKeptAt.clear();
  if (FilesDir.empty()) {
    why = "the folder Files/ is missing";
  } else if (!IniUnreadable.empty()) {
    why = "it could not be read (" + IniUnreadable + "), so it is left as it was";
  } else if (lock.WaitedOut()) {
    // What the other copy writes is not replaced under it: its settings,
    // saved after ours began, are the ones kept.
    why = "another copy of the game was saving its settings there and kept at it past " +
          std::to_string(SaveLock::kWaitMs / 1000) + " s, so what it writes is left to it";
    IniSaveProblem = why;
    Debug("\tCould not save Setup.ini : " + why);
    std::vector<std::string> held;
    if (!LoadLines(file, held) || held != lines) {
      IniLost = "The settings of this run are lost: the other copy's are saved instead.";
    }
    return 0;
  } else if (SaveLinesAtomic(file, lines, &why, kept, &inPlace)) {
    // Whatever was kept elsewhere is in "Setup.ini" now, unless that is
    // the very file saved (a "Setup.ini" that is a link to it).
    if (!kept.empty() && FileType(kept) == 1 && FileIdentity(kept) != FileIdentity(file)) DeleteFile(kept);
    IniSaveProblem.clear();
    return 0;
  }
  IniSaveProblem = why;
  Debug("\tCould not save Setup.ini : " + why);
  if (inPlace) {
    // The rewrite in place failed after its copy was written whole: the
    // settings are in the copy, and the next start reads them from it.
    IniKeptAt = kept;
    Debug("\tThe settings are kept in " + kept);
    return 0;
  }
  std::string keptWhy = "there is no data folder";
  if (!kept.empty() && MakeFolderPath(std::filesystem::path(kept).parent_path().string(), &keptWhy) &&
      SaveLinesAtomic(kept, lines, &keptWhy)) {
    IniKeptAt = kept;
    Debug("\tThe settings are kept in " + kept);
  } else {
    Debug("\tCould not keep the settings in " + (kept.empty() ? std::string("a data folder") : kept) + " : " + keptWhy);
    // Lost, unless "Setup.ini" holds them as they are.
    std::vector<std::string> held;
    if (file.empty() || !LoadLines(file, held) || held != lines) {
      IniLost = "They could not be kept anywhere else either (" + keptWhy + "): the settings of this run are lost.";
    }
  }
  return 0;
}

int AutoAudioDriver(const std::vector<std::string>& drivers) {
  int chosen = -1;
  for (size_t i = 0; i < drivers.size(); i++) {
    const std::string& name = drivers[i];
    if (chosen < 0 && StartsWith(name, "OPENAL")) chosen = static_cast<int>(i);
    if (StartsWith(name, "FREE")) chosen = static_cast<int>(i);
    if (StartsWith(name, "DIRECT")) chosen = static_cast<int>(i);
  }
  return chosen;
}

void ChooseAudioDriver() {
  if (AudioDriverChosen == 0) {
    int pick = AutoAudioDriver(AuxDrivers);
    if (pick >= 0) {
      Options[kOptAudioDriver] = pick;
      AudioDriverChosen = 1;
    }
  }
  Debug("Setting Audio Driver");
  std::string name;
  if (Options[kOptAudioDriver] >= 0 && Options[kOptAudioDriver] < static_cast<int>(AuxDrivers.size())) name = AuxDrivers[Options[kOptAudioDriver]];
  DebugLog("?" + name);
  if (!name.empty() && AudioDriverExists(name)) {
    if (StartsWith(name, "OPENAL")) {
      if (EnableOpenALAudio()) SetAudioDriver(name);
    } else {
      SetAudioDriver(name);
    }
  }
  DebugLog("!");
  // Once, in the log and on the terminal: what the player will hear.
  const std::string sound = AudioAudible() ? "Sound : " + CurrentAudioDriver()
                                           : "Sound is off (no sound device, or the silent driver)";
  std::printf("pibbo: %s\n", sound.c_str());
  std::fflush(stdout);
  Debug("Set Audio Driver");
  Debug("");
  Debug(sound);
}

int RemoveStaleTemporaries(const std::string& folder, const std::string& name) {
  // SaveLinesAtomic writes name + ".tmp-" + six characters, then renames it.
  const std::string prefix = name + ".tmp-";
  int removed = 0;
  // Another copy of the game saving there now has its own temporary file
  // among them: they stay for a later start.
  if (SaveLock::HeldBySomeoneElse(folder + "/" + name)) {
    Debug("\tAnother copy of the game is saving in " + folder + "; its temporary files stay");
    return 0;
  }
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string file = entry.path().filename().string();
    if (file.size() != prefix.size() + 6 || file.compare(0, prefix.size(), prefix) != 0) continue;
    if (!entry.is_regular_file(ec)) continue;
    std::error_code gone;
    if (std::filesystem::remove(entry.path(), gone)) {
      ++removed;
      Debug("\tRemoved a stale temporary file : " + file);
    }
  }
  return removed;
}
