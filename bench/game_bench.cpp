// CPU cost of a game frame on the real back end, beside the title frame's.
//
//   game_bench [--size WxH] [--frames N]
//
// Each load is run for N frames through the game's own frame (PlayFrame,
// paced at 60 Hz by fps) with the hero at rest and the pointer held on a
// valid aim, so the dashed trajectory preview is drawn every frame; the
// pause screen through its own frame. The
// busier loads keep their seed, puff and pop-up counts steady by topping
// them up before each frame. CPU ms is the process's CPU time per frame
// (every thread, the software renderer's included; the pacing sleep costs
// nothing); frame ms is the wall time per frame, pacing included.
//
// Runs on an X display (e.g. under xvfb-run). Assets come from the run
// folder. Build a Release tree for real numbers.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "title/options.h"
#include "title/title.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kBudgetMs = 1000.0 / 60.0;

double CpuMs(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

struct Load {
  const char* name;
  int seeds, puffs, popups;  // 0: what the deal and the play give
};

void AddSeeds(int count) {
  for (int k = 0; k < count; ++k) {
    auto l = std::make_shared<lion>();
    l->x = static_cast<float>(Rand(100, JScrw - 100));
    l->y = static_cast<float>(Rand(-400, JScrh - 300));
    l->ys = static_cast<float>(Rnd(0.25, 0.75));
    l->rot = static_cast<float>(Rnd(-8, 8));
    l->rotgo = static_cast<float>(Rnd(-0.5, 0.5));
    dandys.AddLast(l);
  }
}

void TopUp(const Load& load) {
  // A seed's puff at a random point of its 51 frames, as a caught seed
  // leaves it.
  while (static_cast<int>(shapoofs.Count()) < load.puffs) {
    auto p = std::make_shared<poof>();
    const float age = static_cast<float>(Rand(0, 50));
    p->x = static_cast<float>(Rand(64, JScrw - 64));
    p->y = static_cast<float>(Rand(64, JScrh - 160));
    p->s = 0.25f + 0.02f * age;
    p->alp = 1.0f - 0.02f * age;
    p->r = 255;
    p->g = 255;
    p->b = 180;
    shapoofs.AddLast(p);
  }
  while (static_cast<int>(scoreget.Count()) < load.popups)
    Gimme(Rand(1, 5000), Rand(64, JScrw - 64), Rand(64, JScrh - 160), 2, 255, 0, 255);
}

struct Cost {
  double cpu = 0, main = 0, wall = 0;
};

template <typename Frame>
Cost Measure(int frames, Frame frame) {
  for (int i = 0; i < 20; ++i) frame();  // texture upload, driver warm-up
  const double cpu0 = CpuMs(CLOCK_PROCESS_CPUTIME_ID), main0 = CpuMs(CLOCK_THREAD_CPUTIME_ID);
  const Clock::time_point t0 = Clock::now();
  for (int i = 0; i < frames; ++i) frame();
  Cost c;
  c.wall = std::chrono::duration<double, std::milli>(Clock::now() - t0).count() / frames;
  c.cpu = (CpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpu0) / frames;
  c.main = (CpuMs(CLOCK_THREAD_CPUTIME_ID) - main0) / frames;
  return c;
}

void Row(const char* name, const std::string& what, const Cost& c) {
  std::printf("%-8s %-34s %8.2f %9.0f%% %8.2f %9.0f%% %8.2f\n", name, what.c_str(), c.main,
              100.0 * c.main / kBudgetMs, c.cpu, 100.0 * c.cpu / kBudgetMs, c.wall);
}

}  // namespace

int main(int argc, char** argv) {
  int width = 1280, height = 960, frames = 300;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--size" && i + 1 < argc) {
      std::sscanf(argv[++i], "%dx%d", &width, &height);
    } else if (a == "--frames" && i + 1 < argc) {
      frames = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: %s [--size WxH] [--frames N]\n", argv[0]);
      return 2;
    }
  }

  PlatformInit(BackendKind::Real);
  CreateStartupTables();
  SetDefaults();
  ResetGameTables();
  InstallGame();
  DebugMode = 0;
  MyScrw = width;
  MyScrh = height;
  JScrw = 1280;
  JScrh = 960;
  SetGraphicsDriverGL();
  if (!Graphics(width, height, 0, 60)) {
    std::fprintf(stderr, "game_bench: cannot open a %dx%d window\n", width, height);
    return 1;
  }
  SetVirtualResolution(static_cast<float>(JScrw), static_cast<float>(JScrh));
  FilesDir = PIBBO_RUN_DIR "/Files";
  CommonDir = FilesDir + "/Common";
  GameDir = FilesDir + "/" + GameFolder();
  FirstRun = 1;  // no splash
  LoadCommon();
  ChangeDir(GameDir);
  gamelogo = LoadImage("logo.png", MASKEDIMAGE | FILTEREDIMAGE);
  pibbo = LoadImage("pibbo.png", MASKEDIMAGE | FILTEREDIMAGE);
  chute = LoadImage("pollen.png", MASKEDIMAGE | FILTEREDIMAGE);
  flower = LoadImage("flower.png", MASKEDIMAGE | FILTEREDIMAGE);
  astar = LoadImage("star.png", MASKEDIMAGE | FILTEREDIMAGE);
  poofy = LoadImage("poof.png", MASKEDIMAGE | FILTEREDIMAGE);
  if (!gamelogo || !pibbo || !chute || !flower || !astar || !poofy || !CommonIcons) {
    std::fprintf(stderr, "game_bench: assets missing under %s\n", FilesDir.c_str());
    return 1;
  }
  // No sound: the bench is about drawing and play.
  Options[kOptMaster] = 0;
  UseFPS = 60;
  for (int& m : DrawMax) m = 50000;
  LChan = 20;
  SeedRnd(260);

  std::printf("Window %dx%d on the %dx%d virtual screen, %d frames a row, 60 Hz budget %.2f ms\n", width, height,
              JScrw, JScrh, frames, kBudgetMs);
  std::printf("%-8s %-34s %8s %10s %8s %10s %8s\n", "frame", "load", "main ms", "of budget", "all ms",
              "of budget", "frame ms");

  LastFrame = MMillisecs();
  Row("title", "panel, tabs, prompt, logo", Measure(frames, [] { TitlePass(); }));

  const Load loads[] = {
      {"game", 0, 0, 0},
      {"busy", 100, 30, 20},
      {"crowded", 400, 120, 80},
  };
  for (const Load& load : loads) {
    InGame = 1;
    GameMode = 1;
    StartGame();
    AddSeeds(load.seeds);
    const int seeds = dandys.Count() - 5;
    // The pointer on a valid aim above and left of the hero.
    MoveVirtualMouse(px - 120, py - 200);
    const Cost c = Measure(frames, [&] {
      TopUp(load);
      PlayFrame();
    });
    Row(load.name,
        std::to_string(seeds) + " seeds, " + std::to_string(shapoofs.Count()) + " puffs, " +
            std::to_string(scoreget.Count()) + " pop-ups",
        c);
    InGame = 0;
  }
  {
    // The pause screen over a game: 180 turning names whose size changes
    // every frame.
    InGame = 1;
    GameMode = 1;
    StartGame();
    PlayFrame();
    InGame = 2;
    PauseScreen pause;
    Row("pause", "180 turning, resizing names", Measure(frames, [&] { pause.Frame(); }));
    InGame = 0;
  }
  std::printf("(frame ms is the paced frame, %.2f ms while the frame keeps up with 60 Hz)\n", kBudgetMs);
  EndGraphics();
  PlatformShutdown();
  return 0;
}
