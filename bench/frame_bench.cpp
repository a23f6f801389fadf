// Cost of the game's frame on the real back end: one pass of the engine
// test's busy screen (gradient backdrop, two logos and N rotated 16x16
// sprites at scale 2, drawn at alpha 0) ended by `fps`, at several loads;
// then the budgets that the engine test itself settles on here.
//
//   frame_bench [--size WxH] [--frames N] [--loads N,N,...] [--no-aim]
//
// The display is a window of the given size (default 800x600) on the
// 1280x960 virtual screen. Assets come from the run folder. Runs on an X
// display (e.g. under xvfb-run). Build a Release tree for real numbers.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The engine test's frame body, without its `fps`.
void DrawBusyScreen(int load) {
  CLS3d(1);
  ResetDraw();
  AddGradient();
  SetSize(1.5f);
  DrawImage(logo, JScrw * 0.3f, JScrh * 0.3f, 0);
  DrawImage(DrennicLogo, JScrw * 0.7f, JScrh * 0.7f, 0);
  SetSize(1.0f);
  for (int i = 0; i <= load; ++i) {
    SetRot(static_cast<float>(Rand(360, 1)));
    SetCol(0, 0, 0, 0);
    SetSize(2.0f);
    const int y = Rand(JScrh, 1);
    const int x = Rand(JScrw, 1);
    DrawImage(CommonIcons, static_cast<float>(x), static_cast<float>(y), 0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int width = 800, height = 600, frames = 120;
  bool aim = true;
  std::vector<int> loads = {0, 500, 2000, 5000, 10000, 20000};
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--size" && i + 1 < argc) {
      std::sscanf(argv[++i], "%dx%d", &width, &height);
    } else if (a == "--frames" && i + 1 < argc) {
      frames = std::atoi(argv[++i]);
    } else if (a == "--loads" && i + 1 < argc) {
      loads.clear();
      std::stringstream list(argv[++i]);
      for (std::string n; std::getline(list, n, ',');) loads.push_back(std::atoi(n.c_str()));
    } else if (a == "--no-aim") {
      aim = false;
    } else {
      std::fprintf(stderr, "usage: %s [--size WxH] [--frames N] [--loads N,N,...] [--no-aim]\n", argv[0]);
      return 2;
    }
  }

  PlatformInit(BackendKind::Real);
  CreateStartupTables();
  SetDefaults();
  DebugMode = 0;
  DrawMax[1] = DrawMax[2] = 50000;
  MyScrw = width;
  MyScrh = height;
  JScrw = 1280;
  JScrh = 960;
  SetGraphicsDriverGL();
  if (!Graphics(width, height, 0, 60)) {
    std::fprintf(stderr, "frame_bench: cannot open a %dx%d window\n", width, height);
    return 1;
  }
  SetVirtualResolution(static_cast<float>(JScrw), static_cast<float>(JScrh));
  AutoMidHandle(1);
  const std::string common = PIBBO_RUN_DIR "/Files/Common/";
  CommonIconsF = LoadAnimImage(common + "icons.png", 16, 16, 0, 64, 3);
  CommonIcons = LoadAnimImage(common + "icons.png", 16, 16, 0, 64, 1);
  logo = LoadImage(common + "logo.png");
  DrennicLogo = LoadImage(common + "Drennic.png");
  if (!CommonIcons || !logo || !DrennicLogo) {
    std::fprintf(stderr, "frame_bench: assets missing under %s\n", common.c_str());
    return 1;
  }

  std::printf("Display %dx%d on the %dx%d virtual screen, %d frames per load\n", width, height, JScrw, JScrh,
              frames);
  std::printf("%8s %12s %14s %14s %10s\n", "sprites", "draw ms", "fps() ms", "frame ms", "rate");
  for (int load : loads) {
    // A few frames to settle (texture upload, driver warm-up).
    LastFrame = MMillisecs();
    for (int i = 0; i < 10; ++i) {
      DrawBusyScreen(load);
      fps(250, 0, 0);
    }
    double draw = 0, end = 0;
    const Clock::time_point t0 = Clock::now();
    for (int i = 0; i < frames; ++i) {
      const Clock::time_point f0 = Clock::now();
      DrawBusyScreen(load);
      const Clock::time_point f1 = Clock::now();
      fps(250, 0, 0);
      draw += std::chrono::duration<double, std::milli>(f1 - f0).count();
      end += MsSince(f1);
    }
    const double total = MsSince(t0);
    std::printf("%8d %12.2f %14.2f %14.2f %10.1f\n", load + (load > 0 ? 1 : 0), draw / frames, end / frames,
                total / frames, 1000.0 * frames / total);
  }
  std::printf("(fps() ms holds the 15 ms pacing wait and the present: a frame costs more than\n"
              " its pacing only when frame ms exceeds ~15-16.)\n");

  if (aim) {
    Options[7] = 0;
    LastFrame = MMillisecs();
    const Clock::time_point t0 = Clock::now();
    AimFor(60, 2);
    std::printf("\nEngine test (%.1f s): DrawMax[1] = %d, DrawMax[2] = %d, DrawMax[3] = %d, UseFPS = %d, "
                "frame skip = %d\n",
                MsSince(t0) / 1000.0, DrawMax[1], DrawMax[2], DrawMax[3], UseFPS, Options[7]);
  }
  EndGraphics();
  PlatformShutdown();
  return 0;
}
