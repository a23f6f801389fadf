// The closing sequence: save, say thanks, wait for a new input, end.
#include <cstdio>
#include <cstdlib>

#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"

namespace {

// Any key, joystick input, mouse button, Alt+F4 or a close request; a tap
// between two polls reads as held at the poll after it.
bool AnyInput() {
  if (GetKey() > 0) return true;
  if (MouseDown(1) || MouseDown(2)) return true;
  if (KeyDown(KEY_F4) && (KeyDown(KEY_LALT) || KeyDown(KEY_RALT))) return true;
  return AppTerminate() != 0;
}

void DrawThanks() {
  Cls();
  CLS3d(1);
  AddGradient();
  if (logo) DrawImage(logo, 256, 256, 0);
  if (DrennicLogo) DrawImage(DrennicLogo, static_cast<float>(JScrw - 256), 256, 0);
  int cx = JScrw / 2, cy = JScrh / 2;
  UseFont(1, 6);
  SetCol(180, 255, 255, 1);
  Text(cx, cy, "Thanks for Playing", 1, 1);
  UseFont(2, 5);
  SetCol(255, 255, 180, 1);
  Text(40, cy + 40, "Why not take the next few minutes to hop back to the site");
  Text(40, cy + 80, "where you found this game, and leave a comment.");
  Text(40, cy + 130, "Good or bad, every little helps.");
  SetCol(255, 210, 180, 1);
  Text(40, cy + 180, "There are so many wonderful homebrew communities");
  Text(40, cy + 220, "and developers out there, who bring you hundreds");
  Text(40, cy + 260, "of free games, every month.");
  SetCol(255, 255, 180, 1);
  Text(40, cy + 320, "Give a little back.");
  SetCol(180, 255, 255, 1);
  Text(40, cy + 380, "Feedback is King");
  // What could not be saved, in red over the top of the screen, each
  // report broken into lines at blanks to fit the screen.
  if (!ClosingProblems().empty()) {
    UseFont(2, 4);
    SetCol(255, 90, 90, 1);
    const int width = JScrw - 80;
    int y = 16;
    for (const std::string& report : ClosingProblems()) {
      std::string line;
      size_t at = 0;
      while (at < report.size()) {
        size_t end = report.find(' ', at);
        if (end == std::string::npos) end = report.size();
        const std::string word = report.substr(at, end - at);
        const std::string longer = line.empty() ? word : line + " " + word;
        if (!line.empty() && TextWidth(longer) > width) {
          Text(40, y, line);
          y += 30;
          line = word;
        } else {
          line = longer;
        }
        at = end + 1;
      }
      Text(40, y, line);
      y += 30;
    }
  }
}

// Says what could not be saved: the log, the terminal, and (drawn later)
// the closing screen.
void TellClosingProblems() {
  if (!IniSaveProblem.empty()) {
    ReportClosingProblem("Your settings could not be saved to Files/Setup.ini: " + IniSaveProblem + ".");
  }
  for (const std::string& line : ClosingProblems()) {
    Debug(line);
    std::fprintf(stderr, "pibbo: %s\n", line.c_str());
  }
  std::fflush(stderr);
}

[[noreturn]] void CloseUp();

}  // namespace

void Finish() {
  RaiseEngineEvent(EngineEvent::Finishing);
  ShowMouse();
  SaveIni();
  RaiseEngineEvent(EngineEvent::Closing);
  TellClosingProblems();
  Debug("Closing Up");
  Debug("");
  Debug("Bye!");
  Debug("");
  Debug("Play again, soon!!");
  ThanksScreen();
  CloseUp();
}

void ThanksScreen() {
  DrawThanks();
  Flip(-1);

  // Let go of whatever is still held (the Escape that got us here), for at
  // most 120 passes, then wait for a new input.
  for (int passes = 0;;) {
    bool held = AnyInput();
    Delay(16);
    if (++passes >= 120 || !held) break;
  }
  while (!AnyInput()) Delay(10);
}

namespace {

void CloseUp() {
  EndGraphics();
  CloseLog();
  PlatformShutdown();
  std::exit(0);
}

}  // namespace
