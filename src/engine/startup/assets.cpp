// Shared assets (fonts, icons, logos, the badge jingle, the badge sheet and
// the numbered sound effects) and the font grid.
#include "engine/frame/frame.h"
#include "engine/startup/startup.h"

namespace {

struct NamedFont {
  int face;
  int base;
  int factor;  // 0 none, 1 font scale, 2 small-print scale
};

// Named fonts 1..13.
const NamedFont kNamed[14] = {{0, 0, 0},   {1, 24, 1},  {1, 16, 2},  {1, 16, 2}, {1, 20, 1},
                              {2, 96, 1},  {2, 72, 1},  {2, 32, 1},  {1, 32, 1}, {1, 14, 1},
                              {3, 112, 0}, {3, 96, 0},  {3, 32, 0},  {3, 20, 0}};
const int kGridBase[9] = {8, 12, 18, 24, 32, 40, 52, 64, 96};

std::string FaceFile(int face, const FontScale& scale) {
  if (face == 1) return scale.mainFace + ".ttf";
  if (face == 2) return SubFont + ".ttf";
  return "Acknowledge TT QXV.ttf";
}

}  // namespace

// Displays below 900 wide get larger fonts, to stay readable when the
// virtual screen is shown smaller; below 600 they keep the sizes of a 600
// wide one, as any larger would not fit the screens' rows and columns.
FontScale FontScaleFor(int displayWidth) {
  FontScale s;
  if (displayWidth < 900) {
    s.font = 1.2f;
    s.small = 1.4f;
  }
  s.mainFace = displayWidth > 800 ? "November" : "SVBasicManual";
  return s;
}

int NamedFontSize(int element, int displayWidth) {
  if (element < 1 || element > 13) return 0;
  FontScale s = FontScaleFor(displayWidth);
  const NamedFont& f = kNamed[element];
  float factor = f.factor == 1 ? s.font : f.factor == 2 ? s.small : 1.0f;
  return static_cast<int>(static_cast<float>(f.base) * factor);
}

int GridFontSize(int sizeIndex, int displayWidth) {
  if (sizeIndex < 0 || sizeIndex > 8) return 0;
  return static_cast<int>(static_cast<float>(kGridBase[sizeIndex]) * FontScaleFor(displayWidth).font);
}

int FontGridIndex(int face, int size) {
  if (face < 1 || face > 3) face = 1;
  if (size < 0 || size > 8) size = 0;
  return (face - 1) * 10 + size;
}

int UseFont(int face, int size) {
  SetImageFont(Fontb[FontGridIndex(face, size)]);
  return 0;
}

int UseFontWithin(int face, int size, int height) {
  size = FontGridIndex(1, size);
  for (; size > 0; --size) {
    UseFont(face, size);
    if (TextHeight("Ay") <= height) return size;
  }
  UseFont(face, 0);
  return 0;
}

namespace {

void LoadFonts() {
  FontScale scale = FontScaleFor(MyScrw);
  MainFont = scale.mainFace;
  // A face that cannot be read leaves its fonts empty (drawn in the
  // built-in font), told once.
  bool told[4] = {};
  auto load = [&](int face, int size) {
    Font font = LoadImageFont(FaceFile(face, scale), size, SMOOTHFONT);
    if (!font && !told[face]) {
      told[face] = true;
      Debug("\tMissing font : " + FaceFile(face, scale));
    }
    return font;
  };
  for (int e = 1; e <= 13; e++) Fonts[e] = load(kNamed[e].face, NamedFontSize(e, MyScrw));
  for (int face = 1; face <= 3; face++) {
    for (int size = 0; size <= 8; size++) Fontb[(face - 1) * 10 + size] = load(face, GridFontSize(size, MyScrw));
  }
}

void Splash() {
  CLS3d(1);
  AddGradient();
  SetSize(1.5f);
  if (logo) DrawImage(logo, JScrh * 0.4f, JScrh * 0.3f, 0);
  if (DrennicLogo) DrawImage(DrennicLogo, JScrw - JScrh * 0.4f, JScrh * 0.7f, 0);
  SetSize(1.0f);
  if (BadgeGet) {
    Channel[256] = CueSound(BadgeGet);
    if (Channel[256]) {
      SetChannelVolume(Channel[256], static_cast<float>(Options[kOptSound] * Options[kOptMaster]) / 100.0f / 100.0f);
      ResumeChannel(Channel[256]);
    }
  }
  Flip(-1);
}

}  // namespace

int LoadCommon() {
  AutoMidHandle(1);
  Debug("");
  Debug("Loading : Common Objects");
  Debug("");
  Debug("Switching to Default Folder");
  Debug("");
  bool common = !CommonDir.empty() && ChangeDir(CommonDir);
  if (!common) Debug("\tMissing folder : Common/");

  // Fonts first: the loads of a missing folder leave empty handles.
  Debug("\tDefault Fonts");
  if (common) {
    LoadFonts();
  } else {
    MainFont = FontScaleFor(MyScrw).mainFace;
    for (auto& f : Fonts) f.reset();
    for (auto& f : Fontb) f.reset();
  }
  Debug("\tDefault Icons");
  CommonIconsF = common ? LoadAnimImage("icons.png", 16, 16, 0, 64, MASKEDIMAGE | FILTEREDIMAGE) : nullptr;
  CommonIcons = common ? LoadAnimImage("icons.png", 16, 16, 0, 64, MASKEDIMAGE) : nullptr;
  Debug("\tLogos");
  logo = common ? LoadImage("logo.png", MASKEDIMAGE | FILTEREDIMAGE) : nullptr;
  DrennicLogo = common ? LoadImage("Drennic.png", MASKEDIMAGE | FILTEREDIMAGE) : nullptr;
  Debug("\tBadgeGet");
  BadgeGet = common ? LoadSound("badgeget.wav", 0) : nullptr;

  if (FirstRun == 0) {
    Splash();
    FirstRun = 1;
  }

  Debug("");
  Debug("Switching to Game Folder");
  bool game = !GameDir.empty() && ChangeDir(GameDir);
  if (!game) {
    Debug("\tMissing folder : " + GameFolder());
    if (!FilesDir.empty()) ChangeDir(FilesDir);
  }
  BadgeIcons = game ? LoadAnimImage("badges.png", 64, 64, 0, 16, MASKEDIMAGE | FILTEREDIMAGE) : nullptr;
  Debug("");
  Debug("Loading Sound effects");
  for (int n = 1; game && n <= 200; n++) {
    std::string name = Right("000" + std::to_string(n), 3) + ".wav";
    if (FileType(name) == 0) continue;
    Debug("\tSFX(" + std::to_string(n) + ")");
    sfx[n] = LoadSound(name, 0);
  }
  Debug("Sounds loaded");
  Debug("");
  return 0;
}
