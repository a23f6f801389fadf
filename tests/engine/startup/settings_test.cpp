// Reading and writing "Setup.ini", and the choice of the audio driver.
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "startup_fixture.h"

namespace startup_test {
namespace {

class SettingsTest : public StartupTest {};

// What one file (as lines) leaves in the settings.
struct IniCase {
  const char* what;
  std::vector<std::string> lines;
  int slot;      // Options slot to look at (0: look at KeyV instead)
  int index;     // KeyV index when slot is 0
  int expected;
};

TEST_F(SettingsTest, LinesSetTheirSettings) {
  const std::vector<IniCase> cases = {
      {"width", {"Width=1024"}, 5, 0, 1024},
      {"blanks around =", {"  \tMUSIC  =  30 \r"}, 13, 0, 30},
      {"key case ignored", {"music=7"}, 13, 0, 7},
      {"negative number", {"Width=-1024"}, 5, 0, 1024},
      {"hex number", {"Width=$400"}, 5, 0, 1024},
      {"number with remark", {"Height=768 px"}, 6, 0, 768},
      {"letters give 0", {"Master=abc"}, 11, 0, 0},
      {"volumes held to 0..100", {"Master=150"}, 11, 0, 100},
      {"smallest int is no negative volume", {"Master = -2147483648"}, 11, 0, 100},
      {"huge width held to the largest side", {"Width=99999999999999999999"}, 5, 0, 32768},
      {"later line wins", {"Sound=10", "Sound=20"}, 12, 0, 20},
      {"second = ends the value", {"Sound=40=9"}, 12, 0, 40},
      {"line of only a key", {"Music"}, 13, 0, 0},
      {"fullscreen true", {"Fullscreen = True"}, 1, 0, 1},
      {"fullscreen on, any case", {"fullscreen=oN"}, 1, 0, 1},
      {"fullscreen false after true", {"Fullscreen = True", "Fullscreen = False"}, 1, 0, 1},
      {"fullscreen yes ignored", {"Fullscreen = Yes"}, 1, 0, 0},
      {"gfx dx9", {"GFX Engine = DX9"}, 3, 0, 1},
      {"gfxengine dx7", {"gfxengine=dx7"}, 3, 0, 2},
      {"gfx with two blanks", {"GFX  Engine = DX9"}, 3, 0, 0},
      {"gfx opengl changes nothing", {"GFX Engine = DX9", "GFX Engine = OpenGL"}, 3, 0, 1},
      {"ess with 0", {"ESS=0"}, 7, 0, 1},
      {"ess empty", {"ESS="}, 7, 0, 1},
      {"ess alone", {"ESS"}, 7, 0, 1},
      {"key", {"Key = 12 , 90"}, 0, 12, 90},
      {"key index 0 is taken", {"Key=0,87"}, 0, 0, 87},
      {"key index 100 ignored", {"Key=100,5"}, 0, 100, 0},
      {"key negative index", {"Key=-7,65"}, 0, 7, 65},
      {"key -120 ignored", {"Key=-120,5"}, 0, 12, 67},
      {"key without a code ignored", {"Key=5"}, 0, 5, 39},
      {"key code beyond 32 bits ignored", {"Key=0,4294967296"}, 0, 0, 38},
      {"key without an index number ignored", {"Key=abc,5"}, 0, 0, 38},
      {"empty key line ignored", {"Key="}, 0, 0, 38},
      {"key extra fields ignored", {"Key=12,90,5"}, 0, 12, 90},
      {"key negative code", {"Key=12,-90"}, 0, 12, 90},
      {"key code beyond the last pad ignored", {"Key=99,999999"}, 0, 99, 0},
      {"key code of pad 4 kept", {"Key=12,499"}, 0, 12, 499},
      {"section header", {"[Graphics]"}, 5, 0, 800},
      {"comment driver line", {"; AudioDriver = Null"}, 14, 0, 0},
      {"line starting with =", {"=Width=5"}, 5, 0, 800},
      {"byte-order mark spoils the first key", {"\xEF\xBB\xBFWidth=1024"}, 5, 0, 800},
  };
  for (const IniCase& c : cases) {
    CreateStartupTables();
    SetDefaults();
    for (const std::string& line : c.lines) ReadIniLine(line);
    int got = c.slot ? Options[c.slot] : KeyV[c.index];
    EXPECT_EQ(got, c.expected) << c.what;
  }
}

TEST_F(SettingsTest, AudioDriverLineMatchesExactlyAndAlwaysSetsTheFlag) {
  struct Case {
    std::vector<std::string> lines;
    int slot14;
  } cases[] = {
      {{"AudioDriver = Null"}, 2},
      {{"AudioDriver = FreeMix System"}, 1},
      {{"AudioDriver = freemix"}, 0},  // wrong case: no match
      {{"AudioDriver"}, 0},            // no value
      {{"AudioDriver = Null", "AudioDriver = nothing"}, 2},
      {{"Audio Driver = Null"}, 0},
  };
  for (const Case& c : cases) {
    Options[14] = 0;
    AudioDriverChosen = 0;
    for (const std::string& line : c.lines) ReadIniLine(line);
    EXPECT_EQ(Options[14], c.slot14) << c.lines[0];
    EXPECT_EQ(AudioDriverChosen, c.lines[0] == "Audio Driver = Null" ? 0 : 1) << c.lines[0];
  }
}

TEST_F(SettingsTest, DefaultFileHasTheTwentyFourLineLayout) {
  Options[14] = 1;
  std::vector<std::string> expected = {
      "[Graphics]", "Fullscreen = False", "GFX Engine = OpenGL", "Width=800", "Height=600", "",
      "[Audio]", "Master = 50", "Sound = 50", "Music = 50", "AudioDriver = FreeMix System",
      "; AudioDriver = FreeMix", "; AudioDriver = FreeMix System", "; AudioDriver = Null", "",
      "[Controls]", "Key=0,38", "Key=3,37", "Key=5,39", "Key=8,40", "Key=10,90", "Key=11,88",
      "Key=12,67", "Key=13,86"};
  EXPECT_EQ(IniLines(), expected);

  ASSERT_EQ(SaveIni(), 0);
  std::string bytes = ReadBytes(dir_ + "/Setup.ini");
  EXPECT_EQ(CrLfLines(bytes), expected);
  EXPECT_EQ(bytes.substr(bytes.size() - 11), "Key=13,86\r\n");
}

TEST_F(SettingsTest, EveryKeyRoundTrips) {
  Options[1] = 1;
  Options[3] = 2;
  Options[5] = 1440;
  Options[6] = 900;
  Options[7] = 1;
  Options[11] = 99;
  Options[12] = 0;
  Options[13] = 77;
  Options[14] = 2;
  KeyV[0] = 87;
  KeyV[12] = 0;  // an unbound default comes back bound after a restart
  KeyV[25] = 301;
  KeyV[99] = 13;
  std::vector<std::string> lines = IniLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "ESS=1 ; This is a slow system, and things must run a wee bit slower for it.  Awww.."),
            lines.end());

  int saved[100];
  std::copy(std::begin(Options), std::end(Options), saved);
  int keys[101];
  std::copy(std::begin(KeyV), std::end(KeyV), keys);

  CreateStartupTables();
  SetDefaults();
  AudioDriverChosen = 0;
  for (const std::string& line : lines) ReadIniLine(line);
  for (int slot : {1, 3, 5, 6, 7, 11, 12, 13, 14}) EXPECT_EQ(Options[slot], saved[slot]) << slot;
  EXPECT_EQ(AudioDriverChosen, 1);
  for (int i = 0; i <= 99; i++) {
    if (i == 12) continue;
    EXPECT_EQ(KeyV[i], keys[i]) << i;
  }
  EXPECT_EQ(KeyV[12], 67);
}

TEST_F(SettingsTest, NeverWritesAZeroSize) {
  Options[5] = 0;
  Options[6] = 0;
  MyScrw = 1280;
  MyScrh = 720;
  std::vector<std::string> lines = IniLines();
  EXPECT_EQ(lines[3], "Width=1280");
  EXPECT_EQ(lines[4], "Height=720");
}

TEST_F(SettingsTest, ReadsLfAndCrLfFilesAlike) {
  ASSERT_TRUE(OpenLog());
  for (const char* eol : {"\n", "\r\n"}) {
    CreateStartupTables();
    SetDefaults();
    std::string e = eol;
    WriteBytes("Setup.ini", "[Graphics]" + e + "Width=1280" + e + "Height=720" + e + "Music=20");
    ReadIni();
    EXPECT_EQ(Options[5], 1280) << (e.size() == 1 ? "LF" : "CR LF");
    EXPECT_EQ(Options[6], 720);
    EXPECT_EQ(Options[13], 20);  // last line without a line end
  }
  // A file of CR line ends alone is one line: nothing matches past the first "=".
  CreateStartupTables();
  SetDefaults();
  WriteBytes("Setup.ini", "Width=1280\rHeight=720\r");
  ReadIni();
  EXPECT_EQ(Options[5], 1280);
  EXPECT_EQ(Options[6], 600);
}

TEST_F(SettingsTest, MissingOrUnreadableFileKeepsDefaultsSilently) {
  ASSERT_TRUE(OpenLog());
  ReadIni();  // no file
  std::filesystem::create_directory(dir_ + "/Setup.ini");
  ReadIni();  // a folder of that name
  EXPECT_EQ(Options[5], 800);
  EXPECT_EQ(AudioDriverChosen, 0);
  CloseLog();
  std::vector<std::string> log = CrLfLines(ReadBytes(dir_ + "/Debug.txt"));
  EXPECT_EQ(log.back(), "Loading");  // no "Reading Setup File"
}

TEST_F(SettingsTest, ReadingLogsItsLines) {
  ASSERT_TRUE(OpenLog());
  WriteBytes("Setup.ini", "Fullscreen=on\nGFXEngine=dx7\nGFX Engine=DX9\nESS=0\n");
  ReadIni();
  CloseLog();
  std::vector<std::string> log = CrLfLines(ReadBytes(dir_ + "/Debug.txt"));
  std::vector<std::string> tail(log.end() - 5, log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"\tReading Setup File", "\tSetting to Fullscreen",
                                            "\tDirectX 7 Mode", "\tDirectX 9 Mode",
                                            "\tAssuming Emergency Slow System values."}));
}

TEST_F(SettingsTest, SaveReplacesTheFileWholeAndSkipsAMissingFolder) {
  WriteBytes("Setup.ini", std::string(5000, 'x'));
  SaveIni();
  EXPECT_EQ(ReadBytes("Setup.ini").substr(0, 12), "[Graphics]\r\n");
  EXPECT_EQ(CrLfLines(ReadBytes("Setup.ini")), IniLines());

  // No "Files/" folder: nothing is written anywhere.
  std::filesystem::remove("Setup.ini");
  FilesDir.clear();
  EXPECT_EQ(SaveIni(), 0);
  EXPECT_FALSE(std::filesystem::exists("Setup.ini"));
}

// A player who is not root, "Files/" read-only: a "Setup.ini" the player
// may write takes the settings in place; one the player may not read is
// left as it is (its settings are not lost to the defaults), the settings
// of the run are kept in the data folder and read back at the next start.
TEST_F(SettingsTest, AFileThePlayerMayWriteIsSavedAndAnUnreadableOneIsKept) {
  const std::string kept = "Music = 10\r\nMaster = 90\r\nFullscreen = True\r\n";
  struct Case {
    const char* what;
    mode_t file;
    bool replaced;
  };
  const Case cases[] = {{"writable file", 0666, true}, {"unreadable file", 0000, false}};
  std::filesystem::create_directory(dir_ + "/data");
  std::filesystem::permissions(dir_ + "/data", std::filesystem::perms::all);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    chmod(dir_.c_str(), 0755);
    WriteBytes("Setup.ini", kept);
    ASSERT_EQ(chmod("Setup.ini", c.file), 0);
    ASSERT_EQ(chmod(dir_.c_str(), 0555), 0);
    const auto played = testsupport::AsPlayer([] {
      if (access(".", W_OK) == 0) _exit(78);
      SetDefaults();
      Options[kOptMaster] = 33;
      ReadIni();
      SaveIni();
      return IniUnreadable + "|" + IniSaveProblem + "|" + IniKeptAt;
    });
    if (played.status == 77) GTEST_SKIP() << "cannot become the user nobody";
    if (played.status == 78) GTEST_SKIP() << "the read-only folder stays writable for this user";
    ASSERT_EQ(played.status, 0);
    chmod(dir_.c_str(), 0755);
    chmod("Setup.ini", 0644);
    if (c.replaced) {
      EXPECT_EQ(played.said, "||");
      EXPECT_EQ(ReadBytes("Setup.ini").substr(0, 12), "[Graphics]\r\n");
      EXPECT_NE(ReadBytes("Setup.ini").find("Master = 90\r\nSound = 50\r\nMusic = 10\r\n"), std::string::npos);
      EXPECT_FALSE(std::filesystem::exists(KeptSettingsFile()));
    } else {
      EXPECT_EQ(played.said, "Permission denied|it could not be read (Permission denied), so it is left as it was|" +
                                 KeptSettingsFile());
      EXPECT_EQ(ReadBytes("Setup.ini"), kept);
      // The next start, the file still unreadable: the run's settings.
      chmod("Setup.ini", 0);
      const auto next = testsupport::AsPlayer([] {
        SetDefaults();
        ReadIni();
        return std::to_string(Options[kOptMaster]);
      });
      EXPECT_EQ(next.said, "33");
      chmod("Setup.ini", 0644);
    }
  }
}

// A rewrite in place cut short by a kill leaves the file a first part of
// its copy: the next start reads the copy. A copy older than a whole file
// is not read.
TEST_F(SettingsTest, ACutShortSaveReadsTheCopyAndAnOldCopyIsPassedOver) {
  Options[kOptMaster] = 77;
  const std::vector<std::string> lines = IniLines();
  std::string whole;
  for (const std::string& l : lines) whole += l + "\r\n";
  std::filesystem::create_directories(std::filesystem::path(KeptSettingsFile()).parent_path());
  WriteBytes(KeptSettingsFile(), whole);
  WriteBytes("Setup.ini", whole.substr(0, whole.find("Master")));
  SetDefaults();
  ReadIni();
  EXPECT_EQ(Options[kOptMaster], 77);

  // A whole file written after the copy wins.
  std::filesystem::last_write_time(KeptSettingsFile(),
                                   std::filesystem::last_write_time("Setup.ini") - std::chrono::hours(1));
  WriteBytes("Setup.ini", "Master = 20\r\n");
  std::filesystem::last_write_time("Setup.ini", std::filesystem::file_time_type::clock::now());
  SetDefaults();
  ReadIni();
  EXPECT_EQ(Options[kOptMaster], 20);
}

// A "Setup.ini" that is a link to a FIFO or to a device (stand-in nodes of
// the test's own; a device only as root, who could replace it) is left as
// it is: the settings are kept in the data folder and the next start reads
// them from there.
TEST_F(SettingsTest, ALinkToAFifoOrADeviceIsLeftAsItIs) {
  for (const mode_t kind : {S_IFIFO, S_IFCHR}) {
    SCOPED_TRACE(kind == S_IFIFO ? "a FIFO" : "a character device");
    if (kind == S_IFCHR && geteuid() != 0) continue;
    std::filesystem::remove_all("node");
    std::filesystem::remove_all("Setup.ini");
    std::filesystem::remove_all(dir_ + "/data");
    ASSERT_EQ(mknod("node", kind | 0666, kind == S_IFCHR ? makedev(240, 99) : 0), 0);
    std::filesystem::create_symlink("node", "Setup.ini");
    SetDefaults();
    Options[kOptMaster] = 33;
    SaveIni();
    struct stat st {};
    ASSERT_EQ(stat("node", &st), 0);
    EXPECT_EQ(st.st_mode & S_IFMT, kind);
    EXPECT_TRUE(std::filesystem::is_symlink("Setup.ini"));
    EXPECT_EQ(IniSaveProblem, "it is not a regular file (a device, a FIFO or a socket), so it is left as it is");
    EXPECT_EQ(IniKeptAt, KeptSettingsFile());
    SetDefaults();
    ReadIni();
    EXPECT_EQ(Options[kOptMaster], 33);
  }
}

// A full disk: "Files/" full, with room in the data folder for one copy of
// the settings. The rewrite in place fails after its copy was written
// whole: the settings are told kept there, and the next start reads them.
// (Root only: the disks are small file systems of the test's own.)
TEST_F(SettingsTest, AFullDiskIsToldAsItIs) {
  std::filesystem::create_directory(dir_ + "/files");
  std::filesystem::create_directory(dir_ + "/data");
  chmod(dir_.c_str(), 0755);
  const auto run = testsupport::OnSmallDisks({{dir_ + "/files", 8}, {dir_ + "/data", 12}}, [this] {
    FilesDir = dir_ + "/files";
    std::filesystem::current_path(FilesDir);
    SaveIni();  // one page of the disk
    WriteBytes("filler", std::string(4096, 'x'));
    chmod("Setup.ini", 0666);
    const passwd* nobody = getpwnam("nobody");
    if (!nobody || chown((dir_ + "/data").c_str(), nobody->pw_uid, nobody->pw_gid) != 0) _exit(77);
    if (!testsupport::BecomeNobody()) _exit(77);
    // A server name long enough for the settings to need two pages.
    ScoreServer = std::string(5000, 's');
    SaveIni();
    const std::string told = IniSaveProblem + "|" + (IniKeptAt == KeptSettingsFile() ? "kept" : IniKeptAt);
    ScoreServer.clear();
    SetDefaults();
    ReadIni();
    return told + "|" + std::to_string(ScoreServer.size());
  });
  if (run.status == 77) GTEST_SKIP() << "no small disks of our own (needs root and the user nobody)";
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.said, "No space left on device|kept|5000");
}

// Settings that cannot be saved: a "Setup.ini" that is a link to the
// settings' own spare is saved through the link and the spare stays; with
// no place to keep them they are told lost; while another copy saves its
// settings past the wait, "Setup.ini" is left to it and ours are told lost.
TEST_F(SettingsTest, SettingsThatCannotBeSavedAreKeptOrToldLost) {
  const std::string kept = KeptSettingsFile();
  struct Case {
    const char* what;
    std::function<void()> make;
    std::string problem;  // IniSaveProblem
    std::string lost;     // IniLost
  };
  int holder[2] = {-1, -1};
  const Case cases[] = {
      {"a link to its spare",
       [&] {
         std::filesystem::create_directories(std::filesystem::path(kept).parent_path());
         ASSERT_TRUE(SaveLinesAtomic(kept, IniLines()));
         std::filesystem::create_symlink(kept, "Setup.ini");
       },
       "", ""},
      {"no place to keep them",
       [&] {
         std::filesystem::create_directory("Setup.ini");
         WriteBytes(dir_ + "/data", "a file where the data folder belongs");
       },
       "a folder has that name",
       "They could not be kept anywhere else either (File exists): the settings of this run are lost."},
      {"another copy saving past the wait",
       [&] {
         SaveIni();
         // The other copy holds the lock until we close its pipe.
         int ready[2];
         ASSERT_EQ(pipe(ready), 0);
         ASSERT_EQ(pipe(holder), 0);
         if (fork() == 0) {
           close(holder[1]);
           close(ready[0]);
           SaveLock held(dir_ + "/Setup.ini");
           char c = 'h';
           if (write(ready[1], &c, 1) != 1) _exit(1);
           while (read(holder[0], &c, 1) > 0) {
           }
           _exit(0);
         }
         close(ready[1]);
         char c = 0;
         ASSERT_EQ(read(ready[0], &c, 1), 1);
         close(ready[0]);
       },
       "another copy of the game was saving its settings there and kept at it past 3 s, so what it writes is left "
       "to it",
       "The settings of this run are lost: the other copy's are saved instead."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all("Setup.ini");
    std::filesystem::remove_all(dir_ + "/data");
    SetDefaults();
    c.make();
    const std::string before = ReadBytes("Setup.ini");
    Options[kOptMaster] = 44;
    SaveIni();
    EXPECT_EQ(IniSaveProblem, c.problem);
    EXPECT_EQ(IniLost, c.lost);
    EXPECT_EQ(IniKeptAt, "");
    if (c.problem.empty()) {
      EXPECT_TRUE(std::filesystem::is_symlink("Setup.ini"));
      EXPECT_TRUE(std::filesystem::is_regular_file(kept));
      SetDefaults();
      ReadIni();
      EXPECT_EQ(Options[kOptMaster], 44);
    } else if (holder[1] >= 0) {
      EXPECT_EQ(ReadBytes("Setup.ini"), before);
      close(holder[1]);  // the other copy lets go
      close(holder[0]);
      wait(nullptr);
    }
  }
}

TEST_F(SettingsTest, AutomaticDriverChoice) {
  struct Case {
    std::vector<std::string> drivers;
    int expected;
  } cases[] = {
      {{"OpenAL", "FreeMix", "FreeMix System", "Null"}, 2},
      {{"FreeMix", "FreeMix System", "Null"}, 1},
      {{"OpenAL Default", "OpenAL Other", "Null"}, 0},
      {{"Null", "OpenAL", "OpenAL B"}, 1},
      {{"Null", "Silent"}, -1},
      {{"FRE", "DirectSound", "Null"}, 1},
      {{}, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(AutoAudioDriver(c.drivers), c.expected);
}

TEST_F(SettingsTest, ChooseAudioDriverStartsTheChosenDriver) {
  AuxDrivers = AudioDrivers();
  ASSERT_FALSE(AuxDrivers.empty());

  // No "AudioDriver" line: the last "Free..." driver of the list.
  AudioDriverChosen = 0;
  Options[14] = 0;
  ChooseAudioDriver();
  int pick = AutoAudioDriver(AuxDrivers);
  ASSERT_GE(pick, 0);
  EXPECT_EQ(Options[14], pick);
  EXPECT_EQ(Upper(CurrentAudioDriver()), Upper(AuxDrivers[pick]));

  // A named driver that matches nothing skips the automatic choice.
  AudioDriverChosen = 0;
  Options[14] = 0;
  ReadIniLine("AudioDriver = freemix system");
  ChooseAudioDriver();
  EXPECT_EQ(Options[14], 0);

  // A slot out of the list's range starts nothing and does not crash.
  AudioDriverChosen = 1;
  Options[14] = 57;
  ChooseAudioDriver();
  EXPECT_EQ(IniLines()[10], "AudioDriver = ");
}

}  // namespace
}  // namespace startup_test
