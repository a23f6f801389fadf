// Title screen stand-in: the backdrop of the selected tab, frame after
// frame, until Escape ends the program through Finish.
#include "title/title.h"

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"

int TitleTab = 0;
int SlideIn = 0;

void TitleLoop() {
  for (;;) {
    CLS3d(1);
    ResetDraw();
    switch (TitleTab) {
      case 1: AimGradR = 0; AimGradG = 1; AimGradB = 0.2f; break;
      case 2: AimGradR = 0; AimGradG = 0.2f; AimGradB = 1; break;
      default: AimGradR = 1; AimGradG = 0; AimGradB = 0.2f; break;
    }
    AddGradient();
    if (SlideIn < 32) SlideIn++;
    fps(UseFPS, 1, 1);
    if (KeyDown(KEY_ESCAPE)) Finish();
  }
}
