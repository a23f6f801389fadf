// The About text and the About tab that lists it.
#include <algorithm>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "title/title.h"

namespace {

// Lines 1..29, in order; "" is an empty line that keeps its row.
const char* const kAboutText[] = {
    "A Game by Quenlor",
    "arcade.example | quenlor.example",
    "",
    "-=-=--=-=-=-=-=-=-=-=-",
    "Instructions",
    "",
    "Keep Pibbo parachuting for",
    "as long as you can..",
    "",
    "He can land 5 times,",
    "before his game is over.",
    "-=-=--=-=-=-=-=-=-=-=-",
    "",
    "Credits",
    "",
    "Game",
    "Made with C++ and SDL2",
    "using Quenlor's Framework",
    "",
    "Graphics",
    // The faces the build ships as SVBasicManual.ttf, November.ttf,
    // "Blue Highway.ttf" and "Acknowledge TT QXV.ttf" (tools/CMakeLists.txt):
    // narrow faces where the screens' texts are tight, each line narrow
    // enough for the About panel.
    "Font : Liberation Sans Narrow, Oracle",
    "Font : Roboto Condensed by Google",
    "Font : Liberation Sans Narrow Bold, Oracle",
    "Font : DejaVu Sans Mono by DejaVu",
    "All other graphics by Quenlor",
    "",
    "Sound",
    "Title Music by Quenlor",
    "Sound Effects by Quenlor",
};

}  // namespace

void StoreAboutText() {
  for (const char* line : kAboutText) {
    if (credits > 98) break;  // the tab also lists the first free element
    Credit[credits] = line;
    credits += 1;
  }
}

void AboutView() {
  SetCol(255, 255, 255, 1);
  UseFont(1, 7);
  if (TitleTab != 2) return;
  const int x = PanelX + PanelW / 2;
  Text(x, 50, "About", 1, 0);
  // The lines begin below the heading and stand a line height apart where
  // the font is taller than their 20 pixels.
  const int top = std::max(115, 50 + TextHeight("About"));
  UseFont(1, 2);
  const int pitch = std::max(20, TextHeight("Ay"));
  AimGradR = 0;
  AimGradG = 0.2f;
  AimGradB = 1;
  const int last = credits;
  for (int n = 1; n <= last && n < 100; ++n) Text(x, top + pitch * (n - 1), Credit[n], 1, 0);
}
