// F11: the back buffer saved as a PNG beside the settings file.
#include <cerrno>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"

std::string SFW(const std::string& text) {
  static const std::string unsafe = "#',`.\\/:|*?\"";
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    if (unsafe.find(ch) == std::string::npos) out += ch;
  }
  return out;
}

namespace {

// The shot saved under the first name where nothing stands (a file, a
// folder, a node or a link, even one that leads nowhere): a second shot
// within the same second gets " 2", then " 3", ... before the extension.
// Each is made new, so whatever stands at a name stays as it is. The name
// used, or "" when none could be.
std::string SaveUnderFreeName(const Pixmap& pixels, const std::string& stem) {
  for (int n = 1; n < 1000; ++n) {
    const std::string name = n == 1 ? stem + ".png" : stem + " " + std::to_string(n) + ".png";
    if (NameTaken(name)) continue;
    Debug("\tSaving Screenshot : " + name);
    errno = 0;
    if (SavePixmapPNG(pixels, name, 9, true)) return name;
    if (errno != EEXIST) return "";
  }
  return "";
}

}  // namespace

int SaveScreenshot() {
  Debug("");
  Debug("\tScreenshot");
  ChangeDir("..");
  Debug("\tGrabbing Screenshot");
  const Pixmap pixels = GrabPixmap(0, 0, MyScrw, MyScrh);

  ResetDraw();
  SetImageFont(Fonts[5]);
  Text(JScrw / 2, JScrh / 2 - 30, "Saving Screenshot", 1, 1);
  SetImageFont(Fonts[6]);
  Text(JScrw / 2, JScrh / 2 + 30, "Sometimes, this takes a while!", 1, 1);
  Flip(-1);

  const std::string time = CurrentTime();
  const std::string date = CurrentDate();
  const std::string stem = SFW(GameName1 + " " + GameName2 + " (Screenshot_" + date + "_" + time + ")");
  const int saved = pixels && !SaveUnderFreeName(pixels, stem).empty() ? 1 : 0;
  Debug("\tSaved Screenshot " + std::to_string(saved));
  Debug("");
  ChangeDir(Right("000" + std::to_string(GameWeek), 3) + "/");
  AddComment(saved ? "Saved Screenshot" : "Screenshot could not be saved", 1);
  return 0;
}
