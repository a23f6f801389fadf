// The Online tab of the title screen's side panel.
#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "online/online.h"

int intextedit = 0;

void OnlineView(int panelX, int panelW, int selected) {
  if (!selected) return;
  AimGradR = 0;
  AimGradG = 1;
  AimGradB = 0.2f;
  // Colour and font are the ones the Hiscore view leaves set.
  Text(panelX + panelW / 2, 50, "Online", 1, 0);
}
