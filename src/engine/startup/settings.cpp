// "Setup.ini": reading it at start-up, writing it back, and the choice of
// the audio driver that depends on it.
#include <cstdio>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"

namespace {

// Text to number, made non-negative.
int Number(const std::string& value) { return Abs(ToInt(value)); }

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
    Options[kOptWidth] = Number(value);
  } else if (key == "HEIGHT") {
    Options[kOptHeight] = Number(value);
  } else if (key == "ESS") {
    Options[kOptFrameSkip] = 1;
    Debug("\tAssuming Emergency Slow System values.");
  } else if (key == "KEY") {
    // A line whose index holds no digit at all ("Key=", "Key=abc,5") is
    // taken as damaged: reading it as index 0 would unbind player 1's Up.
    const std::string indexText = SplitText(value, ",", 1, 0);
    if (indexText.find_first_of("0123456789") == std::string::npos) return;
    int index = Number(indexText);
    int code = Number(SplitText(value, ",", 2, 0));
    if (index >= 0 && index <= 99) KeyV[index] = code;
  } else if (key == "MASTER") {
    Options[kOptMaster] = Number(value);
  } else if (key == "SOUND") {
    Options[kOptSound] = Number(value);
  } else if (key == "MUSIC") {
    Options[kOptMusic] = Number(value);
  }
}

void ReadIni() {
  AudioDriverChosen = 0;
  // A folder of that name, or a file that can't be read, counts as missing.
  if (FileType("Setup.ini") != 1) return;
  std::vector<std::string> lines;
  if (!LoadLines("Setup.ini", lines)) return;
  Debug("\tReading Setup File");
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
  return out;
}

int SaveIni() {
  if (FilesDir.empty()) {
    DebugLog("Setup.ini not saved: no Files folder");
    return 0;
  }
  if (!SaveLinesAtomic(FilesDir + "/Setup.ini", IniLines())) Debug("\tCould not save Setup.ini");
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
