// Display set-up: the display-mode table, the virtual screen, and opening
// the display with every asset loaded again.
#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"

namespace {

const char* const kFrameLine = "-=-=-=-=-=-=-=-=-=-=-=-=-=-";

bool UsableShape(int w, int h) {
  return (w * 10) / 16 == h || (w * 9) / 16 == h || (w * 3) / 4 == h;
}

void AppendMode(int w, int h) {
  if (MostResses >= 2499) return;
  MostResses++;
  ResolutionW[MostResses] = w;
  ResolutionH[MostResses] = h;
  if (w == Options[kOptWidth] && h == Options[kOptHeight]) {
    Options[kOptModeIndex] = MostResses;
    MyScrw = w;
    MyScrh = h;
  }
}

}  // namespace

void BuildModeTable() {
  MostResses = 0;
  int count = CountGraphicsModes();
  for (int i = 0; i < count; i++) {
    int w = 0, h = 0, depth = 0, hertz = 0;
    GetGraphicsMode(i, w, h, depth, hertz);
    if (w <= 0 || h <= 0 || !UsableShape(w, h)) continue;
    bool seen = false;
    for (int k = 1; k <= MostResses && !seen; k++) seen = ResolutionW[k] == w && ResolutionH[k] == h;
    if (!seen) AppendMode(w, h);
  }
  // A display without a mode of the three shapes still gets the size in use
  // (800 x 600 at first) as a windowed mode, so the panel never offers 0 x 0.
  if (MostResses == 0) AppendMode(MyScrw, MyScrh);
  Options[kOptWidth] = MyScrw;
  Options[kOptHeight] = MyScrh;
}

void VirtualScreenFor(int width, int height, int& jw, int& jh, int& wide) {
  wide = 0;
  jw = 1280;
  jh = 960;
  if (width * 9 / 16 == height) {
    wide = 1;
    jw = 1600;
    jh = 900;
  }
  if (width * 10 / 16 == height) {
    wide = 1;
    jw = 1440;
    jh = 900;
  }
}

int DisplayChanges = 0;

int ChangeRes() {
  ++DisplayChanges;
  BuildModeTable();
  Debug("");
  Debug(kFrameLine);
  Debug("Applying Graphical Settings");
  if (FirstRun == 1) {
    EndGraphics();
    Debug("\tChanged Graphics Mode ingame.");
  }
  Options[kOptGraphicsEngine] = 0;
  SetGraphicsDriverGL();
  Debug("\tUsing OpenGL Driver");

  int depth = 0;
  if (Options[kOptFullscreen] == 1) {
    for (int d : {32, 24, 16}) {
      if (GraphicsModeExists(MyScrw, MyScrh, d, 0)) {
        depth = d;
        break;
      }
    }
    if (depth == 0) AddComment("Can't set to fullscreen in this resolution.", 1);
  }
  Debug("\tResolution : " + std::to_string(MyScrw) + "x" + std::to_string(MyScrh) + "," +
        std::to_string(depth));

  // "crash.dat" marks a display set-up or asset load that did not finish.
  std::string marker = GameDir.empty() ? "" : GameDir + "/crash.dat";
  if (!marker.empty()) {
    Stream s = WriteFile(marker);
    if (s) CloseFile(s);
  }

  if (!Graphics(MyScrw, MyScrh, depth, 60, 0)) {
    if (depth != 0 && Graphics(MyScrw, MyScrh, 0, 60, 0)) {
      AddComment("Can't set to fullscreen in this resolution.", 1);
    } else if (depth == 0 || !GraphicsOpen()) {
      Debug("\tCould not open the display");
    }
  }

  int wide = 0;
  VirtualScreenFor(MyScrw, MyScrh, JScrw, JScrh, wide);
  Options[kOptWidescreen] = wide;
  if (MyScrw * 9 / 16 == MyScrh) Debug("\tWidescreen mode!");
  if (MyScrw * 10 / 16 == MyScrh) Debug("\tWidescreen mode B (10:16)!");
  SetVirtualResolution(static_cast<float>(JScrw), static_cast<float>(JScrh));

  LoadCommon();
  RaiseEngineEvent(EngineEvent::AssetsLoaded);
  Debug(kFrameLine);
  if (!marker.empty()) DeleteFile(marker);
  return 0;
}
