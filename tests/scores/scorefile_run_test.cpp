// Whole headless runs of the program with a score file or a log it cannot
// write: the player is told on the terminal (and the closing screen), the
// games are kept, and the next start reads them back.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "run_folder.h"
#include "scores/scores.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadBytes;

// A game started from the title screen, quit on the pause screen, the name
// taken with Return; then Escape on the title screen and a key on the
// closing screen. (The title screen comes about 11 s into the run's clock.)
const char* const kOneGame =
    "12000 mouse 295 300\n12100 click 1\n13000 tap 27\n13200 key 40 down\n13300 key 40 up\n"
    "13500 key 32 down\n13600 key 32 up\n19000 tap 13\n20000 tap 27\n20500 tap 32\n";
const char* const kQuit = "5000 tap 27\n6500 tap 32\n";

class UnsavedRun : public testsupport::RunFolderTest {
 protected:
  void SetUp() override {
    RunFolderTest::SetUp();
    stderrFile_ = tmp_ + "/stderr.txt";
    GetUniqueKey();
  }
  int RunScript(const char* script) {
    return Run({"PIBBO_HEADLESS=1", "SDL_AUDIODRIVER=dummy", "PIBBO_INPUT_SCRIPT=" + WriteScript(script),
                "XDG_DATA_HOME=" + tmp_ + "/data"});
  }
  // The records of a score file, by name.
  static std::vector<std::string> Names(const std::string& path) {
    std::vector<std::string> lines, names;
    if (!LoadLines(path, lines)) return names;
    for (size_t i = 1; i < lines.size(); ++i) {
      if (auto r = ParseScoreLine(Unscramble(lines[i], ""))) names.push_back(r->Name);
    }
    return names;
  }
};

TEST_F(UnsavedRun, AGameThatCannotBeSavedIsToldKeptAndReadBack) {
  const std::string scores = run_ + "/Files/260/nuscores.dat";
  fs::create_directory(scores);
  ASSERT_EQ(RunScript(kOneGame), 0);
  const std::string told = ReadBytes(stderrFile_);
  EXPECT_NE(told.find("pibbo: The scores could not be saved to Files/260/nuscores.dat: a folder has that name."),
            std::string::npos)
      << told;
  EXPECT_NE(told.find("pibbo: They are kept in Files/260/nuscores.dat.unsaved, and the next start reads them back."),
            std::string::npos)
      << told;
  EXPECT_NE(ReadBytes(run_ + "/Files/Debug.txt").find("They are kept in"), std::string::npos);
  EXPECT_EQ(Names(scores + ".unsaved"), std::vector<std::string>{"Player"});

  // The folder gone, the next run saves the game where it belongs.
  fs::remove(scores);
  ASSERT_EQ(RunScript(kQuit), 0);
  EXPECT_EQ(ReadBytes(stderrFile_).find("could not be saved"), std::string::npos) << ReadBytes(stderrFile_);
  EXPECT_EQ(Names(scores), std::vector<std::string>{"Player"});
  EXPECT_FALSE(fs::exists(scores + ".unsaved"));
}

// No "Debug.txt" can be made there, because a folder, a FIFO or a device
// (stand-in nodes of the test's own) has that name: its lines go to the
// terminal, the start does not wait on the FIFO, the node stays what it
// was, and a SIGTERM ends the run. No "Setup.ini" can be saved: the
// closing screen and the terminal say so.
TEST_F(UnsavedRun, ALogThatCannotBeMadeGoesToTheTerminal) {
  const std::string log = run_ + "/Files/Debug.txt";
  struct Case {
    const char* what;
    const char* cause;
    bool signal;  // ended by SIGTERM on the title screen, not by Escape
  };
  const Case cases[] = {
      {"a folder", "a folder has that name", false},
      {"a FIFO", "it is not a regular file", false},
      {"a FIFO, ended by a signal", "it is not a regular file", true},
      {"a character device", "it is not a regular file", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(log);
    fs::remove_all(run_ + "/Files/Setup.ini");
    const std::string kind = c.what;
    if (kind == "a folder") {
      fs::create_directory(log);
    } else if (kind.rfind("a FIFO", 0) == 0) {
      ASSERT_EQ(mkfifo((tmp_ + "/fifo").c_str(), 0666), 0);
      fs::create_symlink(tmp_ + "/fifo", log);
    } else {
      if (geteuid() != 0) continue;  // mknod of a device needs root
      ASSERT_EQ(mknod((tmp_ + "/device").c_str(), S_IFCHR | 0666, makedev(240, 99)), 0);
      fs::create_symlink(tmp_ + "/device", log);
    }
    fs::create_directory(run_ + "/Files/Setup.ini");
    if (!c.signal) {
      ASSERT_EQ(RunScript(kQuit), 0);
    } else {
      fs::remove(stderrFile_);  // what an earlier case told
      const pid_t pid = Spawn({"PIBBO_HEADLESS=1", "SDL_AUDIODRIVER=dummy", "PIBBO_INPUT_SCRIPT=" +
                               WriteScript("900000000 tap 27\n"), "XDG_DATA_HOME=" + tmp_ + "/data"});
      ASSERT_GT(pid, 0);
      const auto end = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(testsupport::Deadline(testsupport::kStartDeadlineMs));
      while (ReadBytes(stderrFile_).find("\nFinished Loading\n") == std::string::npos &&
             std::chrono::steady_clock::now() < end) {
        usleep(20 * 1000);
      }
      kill(pid, SIGTERM);
      ASSERT_EQ(WaitExit(pid, testsupport::kExitDeadlineMs), 0);
    }
    const std::string told = ReadBytes(stderrFile_);
    EXPECT_NE(told.find("the log Debug.txt cannot be written (" + std::string(c.cause) + ")"), std::string::npos)
        << told;
    EXPECT_NE(told.find("pibbo: Your settings could not be saved to Files/Setup.ini: a folder has that name."),
              std::string::npos)
        << told;
    for (const char* line : {"\nQuenlor's Vellumbra Engine\n", "\nFinished Loading\n", "\nClosing Up\n",
                             "\nPlay again, soon!!\n"}) {
      EXPECT_NE(told.find(line), std::string::npos) << line;
    }
    struct stat st {};
    ASSERT_EQ(lstat(log.c_str(), &st), 0);
    if (kind != "a folder") {
      EXPECT_TRUE(S_ISLNK(st.st_mode));
      ASSERT_EQ(stat(log.c_str(), &st), 0);
      EXPECT_TRUE(kind[2] == 'F' ? S_ISFIFO(st.st_mode) : S_ISCHR(st.st_mode));
      fs::remove(log);
      fs::remove(kind[2] == 'F' ? tmp_ + "/fifo" : tmp_ + "/device");
    }
  }
}

// A missing per-game folder keeps the games in "Files/nuscores.dat"; a
// missing "Files/" keeps them in the data folder. The closing screen and
// the terminal say where, and the next start reads them back.
TEST_F(UnsavedRun, AMissingFolderKeepsTheGamesAndSaysWhere) {
  struct Case {
    const char* gone;
    std::string told;
  };
  const Case cases[] = {
      {"Files/260", "pibbo: The game folder Files/260/ is missing: the scores are kept in Files/nuscores.dat.\n"},
      {"Files", "pibbo: The folder Files/ is missing, so the scores have no score file.\npibbo: They are kept in " +
                    tmp_ + "/data/pibbo-zorravel/scores-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.gone);
    fs::remove_all(tmp_ + "/data");
    fs::remove_all(run_ + "/Files");
    fs::copy(std::string(PIBBO_RUN_DIR) + "/Files", run_ + "/Files", fs::copy_options::recursive);
    fs::remove_all(run_ + "/" + c.gone);
    ASSERT_EQ(RunScript(kOneGame), 0);
    std::string told = ReadBytes(stderrFile_);
    EXPECT_NE(told.find(c.told), std::string::npos) << told;
    ASSERT_EQ(RunScript(kOneGame), 0);
    std::string file = run_ + "/Files/nuscores.dat";
    if (c.gone == std::string("Files")) {
      std::error_code ec;
      for (const auto& kept : fs::directory_iterator(tmp_ + "/data/pibbo-zorravel", ec)) {
        if (kept.path().filename().string().rfind("scores-", 0) == 0) file = kept.path().string() + "/nuscores.dat";
      }
    }
    EXPECT_EQ(Names(file), (std::vector<std::string>{"Player", "Player"})) << file;
  }
}

// A game in progress when the window is closed, or the program is told to
// end by a signal, is kept as a quit game under the last name used. (F11
// during the game saves a picture: the log says when the game is on.)
TEST_F(UnsavedRun, AGameCutShortByACloseOrASignalIsKeptAsAQuitGame) {
  Scores last;
  last.Score = 5;
  last.Name = "Zed";
  last.Timestamp = 1000;
  last.GameMode = 1;
  const std::string file = run_ + "/Files/260/nuscores.dat";
  struct Case {
    const char* what;
    const char* script;
    bool signal;
  };
  const Case cases[] = {
      {"close request", "12000 mouse 295 300\n12100 click 1\n14000 close\n16000 tap 32\n", false},
      {"SIGTERM", "12000 mouse 295 300\n12100 click 1\n14000 tap 122\n900000000 tap 32\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::WriteBytes(file, Scramble("|", RegKey) + "\r\n" + Scramble(ScoreLinePlain(last), "") + "\r\n");
    if (!c.signal) {
      ASSERT_EQ(RunScript(c.script), 0);
    } else {
      const pid_t pid = Spawn({"PIBBO_HEADLESS=1", "SDL_AUDIODRIVER=dummy", "PIBBO_INPUT_SCRIPT=" + WriteScript(c.script),
                               "XDG_DATA_HOME=" + tmp_ + "/data"});
      ASSERT_GT(pid, 0);
      const auto end = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(testsupport::Deadline(testsupport::kStartDeadlineMs));
      while (!LogHas("Saving Screenshot") && std::chrono::steady_clock::now() < end) usleep(20 * 1000);
      ASSERT_TRUE(LogHas("Saving Screenshot"));
      kill(pid, SIGTERM);
      ASSERT_EQ(WaitExit(pid, testsupport::kExitDeadlineMs), 0);
    }
    std::vector<std::string> lines;
    ASSERT_TRUE(LoadLines(file, lines));
    ASSERT_GE(lines.size(), 3u);
    auto game = ParseScoreLine(Unscramble(lines[1], ""));
    ASSERT_TRUE(game);
    EXPECT_EQ(game->Name, "Zed");
    EXPECT_EQ(game->Quit, 1);
    EXPECT_EQ(game->GameMode, 1);
    EXPECT_GT(game->Timestamp, 1000);
    EXPECT_EQ(Names(file), (std::vector<std::string>{"Zed", "Zed"}));
  }
}

// A player who is not root, with "Files/" and "Files/260/" read-only:
// the log goes to the terminal, and each run's game goes to the data
// folder, where the next run finds it and adds its own. As root the game
// runs as the user "nobody".
TEST_F(UnsavedRun, ReadOnlyFilesFolderForAPlayerWhoIsNotRoot) {
  const passwd* nobody = getpwnam("nobody");
  if (geteuid() == 0 && !nobody) GTEST_SKIP() << "no user nobody to play as";
  const std::string data = tmp_ + "/data";
  fs::create_directory(data);
  fs::permissions(data, fs::perms::all);
  fs::permissions(tmp_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
  const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                        fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
  fs::permissions(run_ + "/Files/260", readOnly);
  fs::permissions(run_ + "/Files", readOnly);
  struct Writable {  // again on the way out, so that the folder can go
    std::string files;
    ~Writable() {
      std::error_code ec;
      fs::permissions(files, fs::perms::owner_write, fs::perm_options::add, ec);
      fs::permissions(files + "/260", fs::perms::owner_write, fs::perm_options::add, ec);
    }
  } writable{run_ + "/Files"};
  if (geteuid() != 0 && access((run_ + "/Files").c_str(), W_OK) == 0) GTEST_SKIP() << "read-only folders stay writable";

  inChild_ = [nobody] {
    if (geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)) {
      _exit(77);
    }
  };

  ASSERT_EQ(RunScript(kOneGame), 0);
  std::string told = ReadBytes(stderrFile_);
  EXPECT_NE(told.find("pibbo: the log Debug.txt cannot be written (Permission denied)"), std::string::npos) << told;
  EXPECT_NE(told.find("\nClosing Up\n"), std::string::npos) << told;
  EXPECT_NE(told.find("pibbo: Your settings could not be saved to Files/Setup.ini: Permission denied."),
            std::string::npos)
      << told;
  EXPECT_NE(told.find("pibbo: The scores could not be saved to Files/260/nuscores.dat: Permission denied."),
            std::string::npos)
      << told;
  // Said once, although the log is on the terminal too.
  EXPECT_EQ(told.find("could not be saved to Files/260"), told.rfind("could not be saved to Files/260")) << told;
  const size_t kept = told.find("pibbo: They are kept in " + data + "/pibbo-zorravel/scores-");
  ASSERT_NE(kept, std::string::npos) << told;
  const std::string spare = told.substr(kept + 24, told.find(", and the next start", kept) - kept - 24);
  EXPECT_EQ(Names(spare), std::vector<std::string>{"Player"});
  EXPECT_FALSE(fs::exists(run_ + "/Files/260/nuscores.dat"));
  EXPECT_FALSE(fs::exists(run_ + "/Files/Debug.txt"));

  ASSERT_EQ(RunScript(kOneGame), 0);
  EXPECT_EQ(Names(spare), (std::vector<std::string>{"Player", "Player"}));
}

}  // namespace
