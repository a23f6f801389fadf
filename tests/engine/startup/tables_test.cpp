// The log, the display-mode table, the joystick table and the font grid.
#include "engine/frame/frame.h"
#include "startup_fixture.h"

namespace startup_test {
namespace {

class TablesTest : public StartupTest {};

TEST_F(TablesTest, LogStartsWithItsHeaderAndEachLineIsOnDiskAtOnce) {
  GameName = MakeGameName(260, "Pibbo", "Zorravel");
  WriteBytes("Debug.txt", std::string(10000, 'o'));  // a longer log of an earlier run
  ASSERT_TRUE(OpenLog());
  Debug("\tSFX(7)");
  Debug(std::string("caf\xE9"));
  // Still open: the lines must already be in the file.
  std::string bytes = ReadBytes("Debug.txt");
  EXPECT_EQ(bytes,
            "Quenlor's Vellumbra Engine\r\n----------------------------\r\nWeek #260\r\n"
            "----------------------------\r\n#260 : Pibbo Zorravel\r\n----------------------------\r\n"
            "\r\nLoading\r\n\tSFX(7)\r\ncaf\xE9\r\n");
  CloseLog();
  EXPECT_EQ(Debug("dropped"), 0);  // no open log: the line is dropped
  EXPECT_EQ(ReadBytes("Debug.txt"), bytes);
}

TEST_F(TablesTest, GameNameAndFolder) {
  EXPECT_EQ(MakeGameName(260, "Pibbo", "Zorravel"), "#260 : Pibbo Zorravel");
  struct Case {
    int week;
    const char* folder;
  } cases[] = {{260, "260/"}, {7, "007/"}, {5, "005/"}, {1234, "234/"}};
  int saved = GameWeek;
  for (const Case& c : cases) {
    GameWeek = c.week;
    EXPECT_EQ(GameFolder(), c.folder);
  }
  GameWeek = saved;
}

TEST_F(TablesTest, ModeTableKeepsEachUsableSizeOnceInListedOrder) {
  headless::SetModes({{1280, 800, 32, 60}, {1280, 800, 16, 75}, {1366, 768, 32, 60},
                      {1280, 1024, 32, 60}, {854, 480, 32, 60}, {1360, 768, 32, 60},
                      {640, 480, 32, 60}, {1280, 768, 32, 60}, {1024, 600, 32, 60},
                      {848, 480, 32, 60}, {720, 480, 32, 60}, {800, 600, 32, 60},
                      {1920, 1080, 32, 60}, {1680, 1050, 32, 60}, {1600, 1200, 32, 60}});
  Options[5] = 800;
  Options[6] = 600;
  BuildModeTable();
  std::vector<std::pair<int, int>> got;
  for (int k = 1; k <= MostResses; k++) got.push_back({ResolutionW[k], ResolutionH[k]});
  EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{1280, 800}, {1366, 768}, {854, 480}, {640, 480},
                                                   {800, 600}, {1920, 1080}, {1680, 1050},
                                                   {1600, 1200}}));
  EXPECT_EQ(Options[4], 5);
  EXPECT_EQ(MyScrw, 800);
  EXPECT_EQ(MyScrh, 600);

  // A size that is not offered falls back to the size in use; slot 4 stays.
  Options[5] = 1280;
  Options[6] = 1024;
  BuildModeTable();
  EXPECT_EQ(Options[5], 800);
  EXPECT_EQ(Options[6], 600);
  EXPECT_EQ(Options[4], 5);

  Options[5] = 1920;
  Options[6] = 1080;
  BuildModeTable();
  EXPECT_EQ(Options[4], 6);
  EXPECT_EQ(MyScrw, 1920);
}

TEST_F(TablesTest, DisplayWithoutUsableModesStillOffersAWindowedSize) {
  headless::SetModes({{1280, 1024, 32, 60}, {720, 480, 32, 60}});
  BuildModeTable();
  ASSERT_EQ(MostResses, 1);
  EXPECT_EQ(ResolutionW[1], 800);
  EXPECT_EQ(ResolutionH[1], 600);
  EXPECT_EQ(Options[5], 800);
  EXPECT_EQ(Options[6], 600);
}

TEST_F(TablesTest, VirtualScreenByShape) {
  struct Case {
    int w, h, jw, jh, wide;
  } cases[] = {
      {640, 480, 1280, 960, 0},   {800, 600, 1280, 960, 0},   {1600, 1200, 1280, 960, 0},
      {1280, 720, 1600, 900, 1},  {1366, 768, 1600, 900, 1},  {854, 480, 1600, 900, 1},
      {1920, 1080, 1600, 900, 1}, {1280, 800, 1440, 900, 1},  {1680, 1050, 1440, 900, 1},
      {1920, 1200, 1440, 900, 1}, {1280, 1024, 1280, 960, 0},
  };
  for (const Case& c : cases) {
    int jw = 0, jh = 0, wide = -1;
    VirtualScreenFor(c.w, c.h, jw, jh, wide);
    EXPECT_EQ(jw, c.jw) << c.w << "x" << c.h;
    EXPECT_EQ(jh, c.jh) << c.w << "x" << c.h;
    EXPECT_EQ(wide, c.wide) << c.w << "x" << c.h;
  }
}

TEST_F(TablesTest, JoystickTableFromHeadlessPads) {
  for (int pads : {0, 1, 4, 6}) {
    headless::SetPads(pads);
    CreateStartupTables();
    int found = pads > 4 ? 4 : pads;
    EXPECT_EQ(StickCount, found) << pads;
    for (int p = 1; p <= 4; p++) {
      bool in = p <= found;
      EXPECT_EQ(StickOn[p], in ? 1 : 0) << pads << " pad " << p;
      EXPECT_EQ(Stick[p].empty(), !in) << pads << " pad " << p;
      if (in) {
        EXPECT_EQ(Stick[p], JoyName(p - 1));
        EXPECT_GT(StickBut[p], 0);
        EXPECT_EQ(StickHat[p], JoyHat(p - 1) == -1.0f ? 1 : 0);
        EXPECT_EQ(StickX[p], JoyX(p - 1));
      }
    }
    EXPECT_EQ(StickOn[0], 0);
  }
}

TEST_F(TablesTest, JoystickRestAndHatAreTakenAtDiscovery) {
  headless::SetPads(2);
  headless::SetPadAxis(0, 0, 1.0f);
  headless::SetPadHat(0, 0.25f);
  headless::SetPadHat(1, -1.0f);
  headless::SetPadButtonCaps(1, 0x5);  // buttons 0 and 2: button 2 still scanned
  CreateStartupTables();
  ASSERT_EQ(StickCount, 2);
  EXPECT_FLOAT_EQ(StickX[1], 1.0f);
  EXPECT_EQ(StickHat[1], 0);  // hat held in a direction at start: never read
  EXPECT_EQ(StickHat[2], 1);
  EXPECT_EQ(StickBut[2], 3);
}

TEST_F(TablesTest, FontScalesAndSizesFollowTheDisplayWidth) {
  struct Case {
    int width;
    float font, small;
    const char* face;
  } scales[] = {{599, 1.2f, 1.4f, "SVBasicManual"}, {600, 1.2f, 1.4f, "SVBasicManual"},
                {800, 1.2f, 1.4f, "SVBasicManual"}, {801, 1.2f, 1.4f, "November"},
                {899, 1.2f, 1.4f, "November"},      {900, 1.0f, 1.0f, "November"}};
  for (const Case& c : scales) {
    FontScale s = FontScaleFor(c.width);
    EXPECT_EQ(s.font, c.font) << c.width;
    EXPECT_EQ(s.small, c.small) << c.width;
    EXPECT_EQ(s.mainFace, c.face) << c.width;
  }

  struct Sizes {
    int width;
    std::vector<int> named;  // elements 1..13
    std::vector<int> grid;   // size indexes 0..8
  } sizes[] = {
      {599, {28, 22, 22, 24, 115, 86, 38, 38, 16, 112, 96, 32, 20}, {9, 14, 21, 28, 38, 48, 62, 76, 115}},
      {800, {28, 22, 22, 24, 115, 86, 38, 38, 16, 112, 96, 32, 20}, {9, 14, 21, 28, 38, 48, 62, 76, 115}},
      {1280, {24, 16, 16, 20, 96, 72, 32, 32, 14, 112, 96, 32, 20}, {8, 12, 18, 24, 32, 40, 52, 64, 96}},
  };
  for (const Sizes& s : sizes) {
    for (int e = 1; e <= 13; e++) EXPECT_EQ(NamedFontSize(e, s.width), s.named[e - 1]) << s.width << " font " << e;
    for (int i = 0; i <= 8; i++) EXPECT_EQ(GridFontSize(i, s.width), s.grid[i]) << s.width << " size " << i;
  }
}

TEST_F(TablesTest, UseFontReplacesOutOfRangeArguments) {
  struct Case {
    int face, size, element;
  } cases[] = {{0, 5, 5}, {1, 5, 5}, {3, 8, 28}, {4, 9, 0}, {-1, -1, 0}, {2, 0, 10}, {2, 9, 10}, {3, 3, 23}};
  for (const Case& c : cases) EXPECT_EQ(FontGridIndex(c.face, c.size), c.element) << c.face << "," << c.size;
}

TEST_F(TablesTest, DefaultsOfAFreshStart) {
  std::vector<int> keys(std::begin(KeyV), std::end(KeyV));
  std::vector<int> want(101, 0);
  want[0] = 38;
  want[3] = 37;
  want[5] = 39;
  want[8] = 40;
  want[10] = 90;
  want[11] = 88;
  want[12] = 67;
  want[13] = 86;
  EXPECT_EQ(keys, want);
  for (int slot = 0; slot < 100; slot++) {
    int expected = 0;
    if (slot == 5) expected = 800;
    if (slot == 6) expected = 600;
    if (slot >= 11 && slot <= 13) expected = 50;
    EXPECT_EQ(Options[slot], expected) << slot;
  }
}

}  // namespace
}  // namespace startup_test
