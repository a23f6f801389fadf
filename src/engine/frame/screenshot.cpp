// F11: the back buffer saved as a PNG beside the settings file.
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

// A name not taken yet: a second shot within the same second gets " 2",
// then " 3", ... before the extension instead of replacing the first.
std::string FreeName(const std::string& stem) {
  std::string name = stem + ".png";
  for (int n = 2; FileType(name) != 0 && n < 1000; ++n) name = stem + " " + std::to_string(n) + ".png";
  return name;
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
  const std::string name =
      FreeName(SFW(GameName1 + " " + GameName2 + " (Screenshot_" + date + "_" + time + ")"));
  Debug("\tSaving Screenshot : " + name);
  const int saved = pixels ? SavePixmapPNG(pixels, name, 9) : 0;
  Debug("\tSaved Screenshot " + std::to_string(saved));
  Debug("");
  ChangeDir(Right("000" + std::to_string(GameWeek), 3) + "/");
  AddComment(saved ? "Saved Screenshot" : "Screenshot could not be saved", 1);
  return 0;
}
