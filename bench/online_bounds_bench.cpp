// What oversized server text costs the title screen's Online step (the
// Online tab's view and the online score table with its details), per
// frame, on the headless back end: a message of the day with a 1 MiB line,
// and a table whose first row has a 900 KB name with the pointer resting
// on that row. Each is measured as the client now keeps it (the reply read
// by JudgeLogin and ReadOnlineTable) and, as the peer in the same run, with
// the same text put in place whole, as a client that keeps it unbounded
// would hold it.
//
//   online_bounds_bench [--frames N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "online/online.h"
#include "platform/headless.h"
#include "scores/scores.h"
#include "title/graph.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kBest = "0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0";

// The Online step of `frames` title passes: median and longest, in ms.
std::pair<double, double> StepTimes(int frames) {
  std::vector<double> ms;
  for (int f = 0; f < frames; ++f) {
    CLS3d(1);
    const auto t0 = Clock::now();
    OnlineView(940, 335, 1);
    ScoreScreen(AltScores, 940, 335, -(GameMode + 1), GameLevel, GameFlags, 1);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    fps(250, 0, 0);
  }
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.back()};
}

void Report(const char* what, const char* kept, std::pair<double, double> t) {
  std::printf("%-44s %-22s %10.3f %10.3f\n", what, kept, t.first, t.second);
}

}  // namespace

int main(int argc, char** argv) {
  int frames = 200;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--frames" && i + 1 < argc) {
      frames = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: %s [--frames N]\n", argv[0]);
      return 2;
    }
  }
  PlatformInit(BackendKind::Headless);
  CreateStartupTables();
  SetDefaults();
  GetUniqueKey();
  MyScrw = JScrw = 1280;
  MyScrh = JScrh = 960;
  if (Graphics(MyScrw, MyScrh, 0, 60) != 1) return 1;
  SetVirtualResolution(1280, 960);
  AutoMidHandle(1);
  GameMode = 1;
  std::printf("%d frames each; the Online step's median and longest, ms\n", frames);
  std::printf("%-44s %-22s %10s %10s\n", "server text", "kept", "median", "longest");

  const std::string line(1 << 20, 'm');
  ServerAnswer login;
  login.kind = ServerAnswer::Reply;
  login.status = 200;
  login.body = "Welcome!|" + line + "\nsecond line\n";
  for (const bool bounded : {false, true}) {
    ResetOnlineTables();
    AltScores.Clear();
    JudgeLogin(login);
    if (!bounded) MOTD[1] = line;
    Report("message of the day with a 1 MiB line", bounded ? "as read" : "whole (peer)", StepTimes(frames));
    size_t drawn = 0;
    for (const DrawCall& c : headless::LastFrame())
      if (c.kind == DrawCall::Text && c.text.rfind("mmm", 0) == 0) drawn = std::max(drawn, c.text.size());
    std::printf("  (its first line drawn with %zu characters)\n", drawn);
  }

  const std::string name(900000, 'n');
  ServerAnswer table;
  table.kind = ServerAnswer::Reply;
  table.status = 200;
  for (int k = 0; k < 30; ++k) {
    std::string who = "P";
    who += std::to_string(k);
    table.body += std::to_string(5000 - k) + "|" + (k == 0 ? name : who) + "|0|5|0|1|0|0\n" + kBest + "\n";
  }
  for (const bool bounded : {false, true}) {
    ResetOnlineTables();
    LoggedIn = 1;
    AltScores.Clear();
    ReadOnlineTable(table, nullptr, {GameMode, GameLevel, GameFlags});
    AltScores.ForEach([&](const std::shared_ptr<Scores>& r) {
      if (!bounded && r->Score == 5000) r->Name = name;
    });
    // The pointer rests on the first row, the 900 KB name's.
    MoveMouse(1000, JScrh - 10 - (25 * 17 + 154) + 8);
    drawscore.reset();
    Report("table row with a 900 KB name, pointed at", bounded ? "as read" : "whole (peer)", StepTimes(frames));
    if (!drawscore || drawscore->Score != 5000) std::printf("  (the pointer missed the row)\n");
  }
  PlatformShutdown();
  return 0;
}
