// The closing sequence: save, say thanks, wait for a new input, end.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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
  // The lines stand 40 apart: the largest size of the second face, from 40
  // points down, whose line height fits that spacing.
  UseFontWithin(2, 5, 40);
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
  // What could not be saved, in red on a dark band over the top of the
  // screen (readable over any backdrop), above the logos: in a smaller
  // size where a long report would not fit there.
  if (!ClosingProblems().empty()) {
    const int room = 256 - (logo ? ImageHeight(logo) / 2 : 64) - 8;
    const int top = 10;
    std::vector<std::string> lines;
    int step = 0;
    for (int size = 4; size >= 2; --size) {
      UseFont(2, size);
      lines.clear();
      for (const std::string& report : ClosingProblems()) {
        for (std::string& line : WrapText(report, JScrw - 80)) lines.push_back(std::move(line));
      }
      step = TextHeight("Ay");
      if (top + step * static_cast<int>(lines.size()) <= room) break;
    }
    SetCol(0, 0, 0, 0.65f);
    DrawRect(24, static_cast<float>(top - 6), static_cast<float>(JScrw - 48),
             static_cast<float>(step * static_cast<int>(lines.size()) + 12));
    SetCol(255, 110, 110, 1);
    int y = top;
    for (const std::string& line : lines) {
      Text(40, y, line);
      y += step;
    }
  }
}

// Says what could not be saved: the log, the terminal, and (drawn later)
// the closing screen.
void TellClosingProblems() {
  if (!IniSaveProblem.empty()) {
    ReportClosingProblem("Your settings could not be saved to Files/Setup.ini: " + IniSaveProblem + ".");
    if (!IniKeptAt.empty()) {
      ReportClosingProblem("They are kept in " + ShownPath(IniKeptAt) + ", and the next start reads them back.");
    } else if (!IniLost.empty()) {
      ReportClosingProblem(IniLost);
    }
  }
  for (const std::string& line : ClosingProblems()) {
    // Without "Debug.txt" the log is on the terminal already: once is enough.
    if (DebugFile) Debug(line);
    std::fprintf(stderr, "pibbo: %s\n", line.c_str());
  }
  std::fflush(stderr);
}

[[noreturn]] void CloseUp();

// Set once the saves of the closing sequence have begun, planned or not.
bool gClosing = false;

// The saves of the closing sequence, planned or not: what the game keeps
// at its end, the settings, the scores; then what could not be saved is told.
void SaveForClosing() {
  gClosing = true;
  RaiseEngineEvent(EngineEvent::Finishing);
  SaveIni();
  RaiseEngineEvent(EngineEvent::Closing);
  TellClosingProblems();
  Debug("Closing Up");
}

}  // namespace

void Finish() {
  ShowMouse();
  SaveForClosing();
  Debug("");
  Debug("Bye!");
  Debug("");
  Debug("Play again, soon!!");
  ThanksScreen();
  CloseUp();
}

void SaveAtUnplannedExit() {
  if (gClosing) return;
  Debug("The program is ending without its closing sequence: saving");
  SaveForClosing();
}

void ThanksScreen() {
  DrawThanks();
  Flip(-1);
  // No settings panel here: a press anywhere is an input again.
  ClaimMouseButtons(0, 0, 0, 0);
  // The input as it stands now, not at the last frame's end: saving may
  // have taken a while.
  PollSystem();

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
