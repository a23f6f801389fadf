// The local score file "nuscores.dat".
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "scores/scores.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// Runs each test in a fresh temporary folder with empty score state.
class ScoreFile : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = fs::current_path();
    dir_ = testsupport::MakeTempDir("scores");
    ASSERT_FALSE(dir_.empty());
    fs::current_path(dir_);
    GetUniqueKey();
    ClearList(Highscores);
    RegName = "";
    RegPass = "";
    MyName = "Player";
    ScoresLoaded = 0;
    High = nullptr;
    // Spare score files go to a data folder of the test's own.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    oldXdg_ = xdg ? xdg : "";
    hadXdg_ = xdg != nullptr;
    setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    ClearClosingProblems();
  }
  void TearDown() override {
    fs::current_path(old_);
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
    ClearList(Highscores);
    ScoresLoaded = 0;
    if (hadXdg_) setenv("XDG_DATA_HOME", oldXdg_.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
    ClearClosingProblems();
  }

  static std::shared_ptr<Scores> Add(int64_t score, const std::string& name, int64_t stamp,
                                     int mode = 1) {
    auto r = std::make_shared<Scores>();
    r->Score = score;
    r->Name = name;
    r->Timestamp = stamp;
    r->GameMode = mode;
    ListAddLast(Highscores, r);
    return r;
  }

  static std::vector<std::string> FileLines() {
    std::vector<std::string> lines;
    EXPECT_TRUE(LoadLines("nuscores.dat", lines));
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
  }
  static void WriteRaw(const std::string& bytes) {
    std::ofstream("nuscores.dat", std::ios::binary) << bytes;
  }
  static void WriteLines(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const auto& l : lines) bytes += l + "\r\n";
    WriteRaw(bytes);
  }
  // Reads the file as a fresh run would.
  static void Reload() {
    ScoresLoaded = 0;
    LoadScores();
  }
  static std::vector<int64_t> LoadedScores() {
    std::vector<int64_t> v;
    for (const auto& r : Highscores) v.push_back(r->Score);
    return v;
  }

  // The spare file in the data folder for the current folder.
  static std::string DataFile() { return KeptFileFor("scores", CurrentDir(), "nuscores.dat"); }

  // Everything the closing screen would show, one line after another.
  static std::string Told() {
    std::string all;
    for (const auto& line : ClosingProblems()) all += line + "\n";
    return all;
  }
  // Names of the files in the current folder, sorted.
  static std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(".")) {
      if (!e.is_directory()) names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path old_, dir_;
  std::string oldXdg_;
  bool hadXdg_ = false;
};

TEST_F(ScoreFile, RoundTripKeepsEveryLocalRecordNewestFirst) {
  RegName = "Rocky";
  RegPass = "s3cret pass";
  auto a = Add(950, "Player", 65150057039);
  a->Badges = 5;
  a->Level = 3;
  a->GameFlags = 7;
  a->Quit = 1;
  for (int k = 1; k <= 30; ++k) a->Best[k] = k * 1000;
  Add(-12, "Zo\xEB  Q", 65152166400, 0);          // Latin-1 name, inner blanks
  Add(int64_t{1} << 40, "x", 65150057039, 2);     // same stamp as a: after it
  Add(77, "online", 65152166500, -2);             // online entry: not written
  SaveScores();

  const auto lines = FileLines();
  ASSERT_EQ(lines.size(), 4u);  // account + three local records
  for (const auto& l : lines) EXPECT_EQ(l.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(Unscramble(lines[0], RegKey), "Rocky|s3cret pass");

  RegName = RegPass = "changed";
  MyName = "someone";
  Reload();
  EXPECT_EQ(RegName, "Rocky");
  EXPECT_EQ(RegPass, "s3cret pass");
  EXPECT_EQ(LoadedScores(), (std::vector<int64_t>{-12, 950, int64_t{1} << 40}));
  EXPECT_EQ(MyName, "Zo\xEB  Q");
  const auto b = *std::next(Highscores.begin());
  EXPECT_EQ(b->Name, "Player");
  EXPECT_EQ(b->Timestamp, 65150057039);
  EXPECT_EQ(b->Badges, 5);
  EXPECT_EQ(b->Level, 3);
  EXPECT_EQ(b->GameMode, 1);
  EXPECT_EQ(b->GameFlags, 7);
  EXPECT_EQ(b->Quit, 1);
  EXPECT_EQ(b->Best, a->Best);
  EXPECT_EQ(High, Highscores.Last());  // the last record read
}

TEST_F(ScoreFile, PlainLineLayout) {
  Scores r;
  r.Score = 950;
  r.Name = "Player";
  r.Timestamp = 65150057039;
  r.GameMode = 1;
  std::string best = "0";
  for (int k = 2; k <= 30; ++k) best += "|0";
  EXPECT_EQ(ScoreLinePlain(r), "950|Player|0|65150057039|0|1|0|0^)+=\xA7!Q58kW3&" + best);
  EXPECT_EQ(ScoreLineToken.size(), 13u);
}

TEST_F(ScoreFile, EmptyListAndEmptyAccount) {
  SaveScores();
  const auto lines = FileLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Unscramble(lines[0], RegKey), "|");
  RegName = RegPass = "x";
  Add(1, "kept?", 10);
  Reload();
  EXPECT_EQ(RegName, "");
  EXPECT_EQ(RegPass, "");
  EXPECT_TRUE(Highscores.IsEmpty());
  EXPECT_EQ(MyName, "Player");  // no record read: the name stays
}

TEST_F(ScoreFile, MissingFileChangesNothing) {
  RegName = "Rocky";
  Add(5, "mine", 10);
  LoadScores();
  EXPECT_EQ(RegName, "Rocky");
  EXPECT_EQ(Highscores.Count(), 1u);
  EXPECT_EQ(MyName, "Player");
}

TEST_F(ScoreFile, DamagedLinesAreDroppedTheRestLoads) {
  const std::string acct = Scramble("Rocky|pw", RegKey);
  auto line = [](const std::string& plain) { return Scramble(plain, ""); };
  std::string tampered = line("300|Tam|0|30|0|1|0|0");
  tampered[30] = tampered[30] == 'A' ? 'B' : 'A';
  const std::string good1 = line("100|One|0|10|0|1|0|0");
  const std::string good2 = line("200|  Two  |0|20|0|1|0|0");
  WriteLines({acct,
              good1,
              "",
              "5|",                                   // too short to carry a checksum
              "A",
              tampered,
              good1.substr(0, good1.size() / 2),      // truncated
              Scramble("500|Other|0|50|0|1|0|0", "another key"),
              line("no bar here"),                    // head without "|"
              std::string("\x01\xff\x00garbage", 10),
              good2,
              line("400|Short|0|40"),                 // fewer head fields: zeros
              line("600|Long|1|60|2|1|3|0|9|9^)+=\xA7!Q58kW3&4|-5|x")});
  Reload();
  EXPECT_EQ(RegName, "Rocky");
  EXPECT_EQ(LoadedScores(), (std::vector<int64_t>{600, 400, 200, 100}));
  EXPECT_EQ(MyName, "One");
  const auto two = *std::next(Highscores.begin(), 2);
  EXPECT_EQ(two->Name, "Two");
  const auto shortOne = *std::next(Highscores.begin());
  EXPECT_EQ(shortOne->Timestamp, 40);
  EXPECT_EQ(shortOne->GameMode, 0);
  const auto longOne = Highscores.First();
  EXPECT_EQ(longOne->Badges, 1);
  EXPECT_EQ(longOne->Level, 2);
  EXPECT_EQ(longOne->GameFlags, 3);
  EXPECT_EQ(longOne->Best[1], 4);
  EXPECT_EQ(longOne->Best[2], 5);  // read back as its absolute value
  EXPECT_EQ(longOne->Best[3], 0);
  EXPECT_EQ(longOne->Best[30], 0);
}

TEST_F(ScoreFile, DamagedAccountLineLeavesTheAccountEmpty) {
  WriteLines({"0123", Scramble("1|A|0|1|0|1|0|0", "")});
  RegName = RegPass = "before";
  Reload();
  EXPECT_EQ(RegName, "");
  EXPECT_EQ(RegPass, "");
  EXPECT_EQ(LoadedScores(), (std::vector<int64_t>{1}));
}

TEST_F(ScoreFile, EmptyOrTruncatedFilesDoNotCrash) {
  for (const std::string& bytes : {std::string(), std::string("\r\n"), std::string("3544"),
                                  Scramble("a|b", RegKey).substr(0, 17)}) {
    WriteRaw(bytes);
    Add(1, "x", 1);
    Reload();
    EXPECT_TRUE(Highscores.IsEmpty());
    EXPECT_EQ(RegName, "");
  }
}

TEST_F(ScoreFile, ReadOnceSoThisRunsGamesSurviveADisplayChange) {
  Add(1, "old", 10);
  SaveScores();
  Reload();
  Add(2, "new this run", 20);  // a game ends: appended, then sorted
  SortList(Highscores);
  RegName = "typed";
  LoadScores();  // the display was opened anew
  EXPECT_EQ(LoadedScores(), (std::vector<int64_t>{2, 1}));
  EXPECT_EQ(RegName, "typed");
}

TEST_F(ScoreFile, FailedWriteKeepsWhatWasThere) {
  fs::create_directory("nuscores.dat");  // the name is taken by a folder
  Add(1, "x", 1);
  SaveScores();
  EXPECT_TRUE(fs::is_directory("nuscores.dat"));
  LoadScores();  // a folder is not a score file
  EXPECT_EQ(Highscores.Count(), 1u);
  fs::remove("nuscores.dat");

  Add(2, "y", 2);
  SaveScores();
  const auto before = FileLines();
  ASSERT_EQ(before.size(), 3u);
  // No temporary file is left behind beside the score file.
  int files = 0;
  for (const auto& e : fs::directory_iterator(".")) files += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 1);
}

// Score keeping as the engine drives it: the file is read at the first
// display opening only (a game of this run survives a display change) and
// written, in the per-game folder, by the closing sequence.
TEST_F(ScoreFile, EngineEventsReadOnceAndSaveAtClosing) {
  ClearEngineEvents();
  InstallScoreKeeping();
  RaiseEngineEvent(EngineEvent::TablesCreated);
  fs::create_directory(dir_ / "260");
  GameDir = (dir_ / "260").string();
  fs::current_path(dir_);
  RaiseEngineEvent(EngineEvent::AssetsLoaded);
  EXPECT_EQ(ScoresLoaded, 1);
  auto game = Add(999, "Pibbo", 123456);
  RaiseEngineEvent(EngineEvent::AssetsLoaded);
  ASSERT_EQ(Highscores.Count(), 1u);
  EXPECT_EQ(Highscores.First(), game);

  fs::current_path(dir_);
  RaiseEngineEvent(EngineEvent::Closing);
  EXPECT_TRUE(fs::exists(dir_ / "260" / "nuscores.dat"));
  EXPECT_FALSE(fs::exists(dir_ / "nuscores.dat"));
  // Tables made afresh (a new start in the same process) read the file
  // again at the next opening.
  RaiseEngineEvent(EngineEvent::TablesCreated);
  EXPECT_TRUE(Highscores.IsEmpty());
  RaiseEngineEvent(EngineEvent::AssetsLoaded);
  ASSERT_EQ(LoadedScores(), std::vector<int64_t>{999});
  ClearEngineEvents();
  GameDir.clear();
}

}  // namespace

namespace {

// Damaged files: what can be read is kept, and a file the game could not
// read whole is copied aside before it is replaced.
TEST_F(ScoreFile, DamagedFilesKeepTheirOriginalAndEveryReadableLine) {
  const std::string good1 = Scramble(ScoreLinePlain([] {
                                       Scores r;
                                       r.Score = 100;
                                       r.Name = "Ann";
                                       r.Timestamp = 2000;
                                       r.GameMode = 1;
                                       return r;
                                     }()),
                                     "");
  const std::string good2 = Scramble(ScoreLinePlain([] {
                                       Scores r;
                                       r.Score = 50;
                                       r.Name = "Bob";
                                       r.Timestamp = 1000;
                                       r.GameMode = 0;
                                       return r;
                                     }()),
                                     "");
  const std::string account = Scramble("me|secret", RegKey);
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> kept;  // names read
    bool copied;                    // the original kept aside
  } cases[] = {
      {"whole", account + "\r\n" + good1 + "\r\n" + good2 + "\r\n", {"Ann", "Bob"}, false},
      {"one damaged line among good ones", account + "\r\n" + good1 + "\r\n" + good1.substr(0, 40) + "\r\n" + good2 + "\r\n",
       {"Ann", "Bob"}, true},
      {"odd-length hex", account.substr(1) + "\r\n" + good1.substr(1) + "\r\n", {}, true},
      {"random bytes", std::string("\x13\x80\xff\x01zz\x7f\r\n\x02\x03\x04\x05\x06\x07\x08", 15), {}, true},
  };
  for (const Case& c : cases) {
    for (const auto& e : fs::directory_iterator(".")) fs::remove(e.path());
    WriteRaw(c.bytes);
    ClearList(Highscores);
    ScoresLoaded = 0;
    LoadScores();
    std::vector<std::string> names;
    for (const auto& r : Highscores) names.push_back(r->Name);
    EXPECT_EQ(names, c.kept) << c.what;
    SaveScores();
    EXPECT_EQ(fs::exists("nuscores.dat.bad"), c.copied) << c.what;
    if (c.copied) {
      EXPECT_EQ(testsupport::ReadBytes("nuscores.dat.bad"), c.bytes) << c.what;
    }
    // What was read is what is written.
    ClearList(Highscores);
    ScoresLoaded = 0;
    LoadScores();
    EXPECT_EQ(Highscores.Count(), c.kept.size()) << c.what;
  }

  // A second damaged file never overwrites the first copy.
  WriteRaw("garbage\r\n");
  ClearList(Highscores);
  ScoresLoaded = 0;
  LoadScores();
  SaveScores();
  EXPECT_EQ(testsupport::ReadBytes("nuscores.dat.bad2"), "garbage\r\n");
}

TEST_F(ScoreFile, TwentyThousandRecordsAreReadWholeAndWrittenBackTheSame) {
  for (int i = 0; i < 20000; ++i) Add(i * 7, std::string("p").append(std::to_string(i)), 1'000'000 - i, i % 3);
  SaveScores();
  const std::string before = testsupport::ReadBytes("nuscores.dat");
  ClearList(Highscores);
  ScoresLoaded = 0;
  LoadScores();
  ASSERT_EQ(Highscores.Count(), 20000u);
  SaveScores();
  EXPECT_EQ(testsupport::ReadBytes("nuscores.dat"), before);
  EXPECT_FALSE(fs::exists("nuscores.dat.bad"));
}

}  // namespace

namespace {

// The account line comes back exactly as typed: blanks at either end of the
// name or the password are part of it.
TEST_F(ScoreFile, AccountLineComesBackExactly) {
  const std::pair<std::string, std::string> accounts[] = {
      {"Rocky", "pass "}, {" lead", "pw"}, {"  both  ", "  "}, {"", " "}, {"tab\t", "\tpw\xA0"},
  };
  for (const auto& [name, pass] : accounts) {
    RegName = name;
    RegPass = pass;
    Add(1, " spaced ", 10);
    SaveScores();
    RegName = RegPass = "other";
    Reload();
    EXPECT_EQ(RegName, name) << "[" << name << "|" << pass << "]";
    EXPECT_EQ(RegPass, pass) << "[" << name << "|" << pass << "]";
    ClearList(Highscores);
  }
}

// A folder where the score file belongs: this run's file goes beside it,
// the closing screen says so, and the next start reads it back; once the
// score file can be written again it holds everything, once.
TEST_F(ScoreFile, FolderInTheScoreFilesPlaceKeepsTheGamesBesideIt) {
  fs::create_directory("nuscores.dat");
  LoadScores();
  RegName = "acc";
  RegPass = "pw ";
  Add(5, "this run", 50);
  SaveScores();
  EXPECT_TRUE(fs::is_directory("nuscores.dat"));
  EXPECT_EQ(Files(), std::vector<std::string>{"nuscores.dat.unsaved"});
  const std::string told = Told();
  EXPECT_NE(told.find("could not be saved"), std::string::npos) << told;
  EXPECT_NE(told.find("a folder has that name"), std::string::npos) << told;
  EXPECT_NE(told.find("nuscores.dat.unsaved, and the next start reads them back"), std::string::npos) << told;

  // The next run; a save of the spare file cut short had left its
  // temporary file: the start removes it.
  testsupport::WriteBytes("nuscores.dat.unsaved.tmp-AbC123", "half");
  ClearList(Highscores);
  RegName = RegPass = "";
  Reload();
  EXPECT_EQ(Files(), std::vector<std::string>{"nuscores.dat.unsaved"});
  EXPECT_EQ(LoadedScores(), std::vector<int64_t>{5});
  EXPECT_EQ(RegName, "acc");
  EXPECT_EQ(RegPass, "pw ");
  EXPECT_EQ(MyName, "this run");
  Add(6, "second run", 60);
  SortList(Highscores);
  fs::remove("nuscores.dat");
  ClearClosingProblems();
  SaveScores();
  EXPECT_EQ(Told(), "");
  EXPECT_EQ(Files(), std::vector<std::string>{"nuscores.dat"});
  Reload();
  EXPECT_EQ(LoadedScores(), (std::vector<int64_t>{6, 5}));
}

// A player who is not root, in a game folder they cannot write: the games
// go to the data folder and come back from it; where even that cannot be
// written, the closing screen says they are lost. As root the save runs in
// a child that has dropped to the "nobody" user.
TEST_F(ScoreFile, ReadOnlyGameFolderForAPlayerWhoIsNotRoot) {
  RegName = "me";
  Add(1, "old", 10);
  SaveScores();
  const std::string original = testsupport::ReadBytes("nuscores.dat");
  Reload();
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                            fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);

  for (const bool dataWritable : {true, false}) {
    testsupport::TempDir data("data");
    fs::permissions(data.path(), dataWritable ? fs::perms::all : fs::perms::owner_all | fs::perms::others_read |
                                                                    fs::perms::others_exec);
    const auto played = testsupport::AsPlayer([&] {
      if (access(".", W_OK) == 0) _exit(78);
      setenv("XDG_DATA_HOME", data.str().c_str(), 1);
      Add(2, "this run", 20);
      SaveScores();
      return Told();
    });
    if (played.status == 77) GTEST_SKIP() << "cannot become the user nobody";
    if (played.status == 78) GTEST_SKIP() << "the read-only folder stays writable for this user";
    ASSERT_EQ(played.status, 0);
    const std::string& told = played.said;

    EXPECT_EQ(testsupport::ReadBytes("nuscores.dat"), original);
    EXPECT_NE(told.find("could not be saved to "), std::string::npos) << told;
    EXPECT_NE(told.find("Permission denied"), std::string::npos) << told;
    if (dataWritable) {
      EXPECT_NE(told.find("They are kept in " + data.str() + "/pibbo-zorravel/scores-"), std::string::npos) << told;
      // The next start, with the same data folder, has both games.
      setenv("XDG_DATA_HOME", data.str().c_str(), 1);
      ClearList(Highscores);
      Reload();
      EXPECT_EQ(LoadedScores(), (std::vector<int64_t>{2, 1}));
      EXPECT_EQ(RegName, "me");
      setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
      ClearList(Highscores);
      Reload();
    } else {
      EXPECT_NE(told.find("the game of this run and any account change are lost"), std::string::npos) << told;
      // The data folder could not be made: that is the cause told.
      EXPECT_NE(told.find("anywhere else either (Permission denied)"), std::string::npos) << told;
    }
  }
}

// A score file shared by a group ("games"), saved by a player of the group
// who is not root: in a read-only folder it is written in place; in a
// writable one the rename keeps its group and mode; for a player outside
// the group (who may write it all the same) it is written in place, owner
// and group kept. Either way both games are in it and nothing is left over.
TEST_F(ScoreFile, ASharedFileKeepsItsGroupAndModeAndTakesTheGame) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can hand a file to another group";
  const group* games = getgrnam("games");
  if (!games) GTEST_SKIP() << "no group games";
  const gid_t gid = games->gr_gid;
  struct Case {
    const char* what;
    fs::perms folder;
    mode_t file;
    bool inGroup;
    bool ownerKept;  // written in place: the file is still root's
  };
  const Case cases[] = {
      {"read-only folder", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec,
       0664, true, true},
      {"writable folder", fs::perms::all, 0664, true, false},
      {"writable folder, player outside the group", fs::perms::all, 0666, false, true},
  };
  fs::create_directory(dir_ / "data");
  fs::permissions(dir_ / "data", fs::perms::all);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::permissions(dir_, fs::perms::all);
    ClearList(Highscores);
    Add(1, "old", 10);
    SaveScores();
    ASSERT_EQ(chown("nuscores.dat", 0, gid), 0);
    ASSERT_EQ(chmod("nuscores.dat", c.file), 0);
    fs::permissions(dir_, c.folder);
    const auto played = testsupport::AsPlayer(
        [] {
          ClearList(Highscores);
          Reload();
          Add(2, "this run", 20);
          SaveScores();
          return Told();
        },
        c.inGroup ? gid : static_cast<gid_t>(-1));
    ASSERT_EQ(played.status, 0);
    EXPECT_EQ(played.said, "");
    struct stat st {};
    ASSERT_EQ(stat("nuscores.dat", &st), 0);
    EXPECT_EQ(st.st_gid, gid);
    EXPECT_EQ(st.st_mode & 07777, c.file);
    if (c.ownerKept) {
      EXPECT_EQ(st.st_uid, 0u);
    }
    ClearList(Highscores);
    Reload();
    EXPECT_EQ(LoadedScores(), (std::vector<int64_t>{2, 1}));
    EXPECT_EQ(Files(), std::vector<std::string>{"nuscores.dat"});
    EXPECT_FALSE(fs::exists(DataFile()));
  }
}

// A score file the player may not read is never replaced: it stays as it
// is, the player is told, the run's game goes to the spare file, and the
// next start (the file still unreadable) has it back.
TEST_F(ScoreFile, AnUnreadableFileIsLeftAsItIsAndTheGameIsKept) {
  Add(1, "old", 10);
  SaveScores();
  const std::string original = testsupport::ReadBytes("nuscores.dat");
  ASSERT_EQ(chmod("nuscores.dat", 0), 0);
  fs::create_directory(dir_ / "data");
  fs::permissions(dir_ / "data", fs::perms::all);
  fs::permissions(dir_, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  if (geteuid() != 0 && access("nuscores.dat", R_OK) == 0) GTEST_SKIP() << "an unreadable file stays readable";
  const auto played = testsupport::AsPlayer([] {
    ClearList(Highscores);
    Reload();
    Add(2, "this run", 20);
    SaveScores();
    return Told();
  });
  if (played.status == 77) GTEST_SKIP() << "cannot become the user nobody";
  ASSERT_EQ(played.status, 0);
  EXPECT_NE(played.said.find("nuscores.dat: it could not be read (Permission denied), so it is left as it was.\n"
                             "They are kept in " + (dir_ / "data").string() + "/pibbo-zorravel/scores-"),
            std::string::npos)
      << played.said;
  const auto next = testsupport::AsPlayer([] {
    ClearList(Highscores);
    Reload();
    std::string scores;
    for (int64_t v : LoadedScores()) scores += std::to_string(v) + " ";
    return scores;
  });
  EXPECT_EQ(next.said, "2 ");
  chmod("nuscores.dat", 0644);
  EXPECT_EQ(testsupport::ReadBytes("nuscores.dat"), original);
}

// What a kill inside a save in place leaves (the copy whole, the file cut
// anywhere or not yet touched) reads back whole: no game lost, no damage
// told, no copy of a damaged file; the next save puts everything in the
// file and removes the copy. An empty file is no damage either.
TEST_F(ScoreFile, ASaveInPlaceCutShortReadsBackFromItsCopy) {
  Add(1, "old", 10);
  SaveScores();
  const std::string before = testsupport::ReadBytes("nuscores.dat");
  Add(2, "new", 20);
  SaveScores();
  const std::string after = testsupport::ReadBytes("nuscores.dat");
  const size_t firstLine = after.find("\r\n") + 2;
  struct Case {
    const char* what;
    std::string file;
    bool copy;
    std::vector<int64_t> loaded;
  };
  const Case cases[] = {
      {"cut to nothing", "", true, {2, 1}},
      {"cut inside the account line", after.substr(0, 9), true, {2, 1}},
      {"cut inside a score line", after.substr(0, firstLine + 30), true, {2, 1}},
      {"cut before its last line end", after.substr(0, after.size() - 1), true, {2, 1}},
      {"not yet touched", before, true, {2, 1}},
      {"an empty file and no copy", "", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearClosingProblems();
    fs::remove_all(dir_ / "data");
    if (c.copy) {
      fs::create_directories(fs::path(DataFile()).parent_path());
      testsupport::WriteBytes(DataFile(), after);
    }
    WriteRaw(c.file);
    ClearList(Highscores);
    Reload();
    EXPECT_EQ(LoadedScores(), c.loaded);
    SaveScores();
    EXPECT_EQ(Told(), "");
    EXPECT_EQ(Files(), std::vector<std::string>{"nuscores.dat"});
    EXPECT_FALSE(fs::exists(DataFile()));
    if (c.copy) {
      EXPECT_EQ(testsupport::ReadBytes("nuscores.dat"), after);
    }
  }
}

// A score file that is a symbolic link is written through it: the link
// stays, its target gets the scores (with its permissions), and nothing is
// left beside either.
TEST_F(ScoreFile, ALinkIsWrittenThrough) {
  fs::create_directory("store");
  struct Case {
    const char* what;
    std::string link;      // where nuscores.dat points
    std::string target;    // the file that must get the scores
    bool targetExists;
  } cases[] = {
      {"relative", "store/real.dat", "store/real.dat", true},
      {"absolute", (dir_ / "store" / "abs.dat").string(), "store/abs.dat", true},
      {"dangling", "store/new.dat", "store/new.dat", false},
      {"a link to a link", "store/hop", "store/end.dat", true},
  };
  fs::create_symlink("end.dat", "store/hop");
  for (const Case& c : cases) {
    if (c.targetExists) {
      testsupport::WriteBytes(c.target, Scramble("old|", RegKey) + "\r\n");
      fs::permissions(c.target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    }
    fs::remove("nuscores.dat");
    fs::create_symlink(c.link, "nuscores.dat");
    // A new run reads the file (its account unchanged by another copy).
    Reload();
    ClearList(Highscores);
    RegName = c.what;
    Add(3, "linked", 30);
    SaveScores();
    EXPECT_TRUE(fs::is_symlink("nuscores.dat")) << c.what;
    EXPECT_EQ(fs::read_symlink("nuscores.dat").string(), c.link) << c.what;
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(c.target))) << c.what;
    EXPECT_EQ(testsupport::ReadBytes(c.target), testsupport::ReadBytes("nuscores.dat")) << c.what;
    if (c.targetExists) {
      EXPECT_EQ(fs::status(c.target).permissions(),
                fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
          << c.what;
    }
    RegName = "";
    Reload();
    EXPECT_EQ(RegName, c.what);
    EXPECT_EQ(LoadedScores(), std::vector<int64_t>{3}) << c.what;
  }
  EXPECT_EQ(Files(), std::vector<std::string>{"nuscores.dat"});
  std::vector<std::string> stored;
  for (const auto& e : fs::directory_iterator("store")) stored.push_back(e.path().filename().string());
  std::sort(stored.begin(), stored.end());
  EXPECT_EQ(stored, (std::vector<std::string>{"abs.dat", "end.dat", "hop", "new.dat", "real.dat"}));
  EXPECT_EQ(Told(), "");
}

// Writes that stop short, as on a full disk: a file size limit makes every
// write beyond it fail, for root too.
class ScoreFileSizeLimit : public ScoreFile {
 protected:
  void SetUp() override {
    ScoreFile::SetUp();
    oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit_), 0);
  }
  void TearDown() override {
    setrlimit(RLIMIT_FSIZE, &old_limit_);
    std::signal(SIGXFSZ, oldSignal_);
    ScoreFile::TearDown();
  }
  // SaveScores with no file allowed to grow beyond `bytes`.
  void SaveWithin(rlim_t bytes) {
    rlimit limit = old_limit_;
    limit.rlim_cur = bytes;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    SaveScores();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old_limit_), 0);
  }

  rlimit old_limit_{};
  void (*oldSignal_)(int) = SIG_DFL;
};

// A damaged original that cannot be copied aside stays untouched; this
// run's file goes beside it, and the next start merges the two without
// doubling a record.
TEST_F(ScoreFileSizeLimit, DamagedOriginalThatCannotBeCopiedStaysAndTheGamesGoBeside) {
  Scores good;
  good.Score = 100;
  good.Name = "Ann";
  good.Timestamp = 1000;
  good.GameMode = 1;
  const std::string damaged = Scramble("me|pw ", RegKey) + "\r\n" + Scramble(ScoreLinePlain(good), "") +
                              "\r\n" + std::string(40000, 'F') + "\r\n";
  WriteRaw(damaged);
  Reload();
  ASSERT_EQ(LoadedScores(), std::vector<int64_t>{100});
  Add(7, "this run", 7000);
  SortList(Highscores);
  SaveWithin(16384);  // the copy of 40 kB fails; the new file of 1 kB fits

  EXPECT_EQ(testsupport::ReadBytes("nuscores.dat"), damaged);
  EXPECT_EQ(Files(), (std::vector<std::string>{"nuscores.dat", "nuscores.dat.unsaved"}));
  const std::string told = Told();
  EXPECT_NE(told.find("is damaged and could not be copied aside ("), std::string::npos) << told;
  EXPECT_NE(told.find("They are kept in "), std::string::npos) << told;

  // The next start: both files, each record once.
  ClearList(Highscores);
  RegName = RegPass = "";
  Reload();
  EXPECT_EQ(LoadedScores(), (std::vector<int64_t>{7, 100}));
  EXPECT_EQ(RegPass, "pw ");
  // With room again the original is copied aside, replaced, and the spare
  // file goes.
  ClearClosingProblems();
  SaveScores();
  // Only the copy is told: nothing is lost.
  EXPECT_EQ(Told(), "The score file " + fs::current_path().string() +
                        "/nuscores.dat had lines that could not be read: they were left out, and the original is "
                        "kept as " + fs::current_path().string() + "/nuscores.dat.bad.\n");
  EXPECT_EQ(testsupport::ReadBytes("nuscores.dat.bad"), damaged);
  EXPECT_EQ(Files(), (std::vector<std::string>{"nuscores.dat", "nuscores.dat.bad"}));
  Reload();
  EXPECT_EQ(LoadedScores(), (std::vector<int64_t>{7, 100}));
}

// No room anywhere: the old file stays whole and the closing screen says
// which games are lost; with no game and no account change since the file
// was read, nothing is lost and nothing is said.
TEST_F(ScoreFileSizeLimit, NoRoomAnywhereSaysWhatIsLost) {
  RegName = "me";
  Add(1, "old", 10);
  SaveScores();
  const std::string original = testsupport::ReadBytes("nuscores.dat");
  Reload();
  SaveWithin(100);
  EXPECT_EQ(Told(), "");
  EXPECT_EQ(testsupport::ReadBytes("nuscores.dat"), original);

  Add(2, "new", 20);
  Add(3, "newer", 30);
  SaveWithin(100);
  EXPECT_EQ(testsupport::ReadBytes("nuscores.dat"), original);
  EXPECT_EQ(Files(), std::vector<std::string>{"nuscores.dat"});
  const std::string told = Told();
  EXPECT_NE(told.find("could not be saved to "), std::string::npos) << told;
  EXPECT_NE(told.find("File too large"), std::string::npos) << told;
  EXPECT_NE(told.find("the 2 games of this run and any account change are lost"), std::string::npos) << told;
}

// A copy of the game in a child process, as the player "nobody" when we
// are root: it reads the score files, waits until Finish, then plays one
// game and saves; or (kInsideItsSave) it plays the game at once and is
// held inside its save (its locks held, the files read and merged, nothing
// written) until Finish. Finish answers what it was told.
class HeldCopy {
 public:
  enum Where { kBeforeItsGame, kInsideItsSave };
  HeldCopy(int64_t score, const std::string& name, int64_t stamp, Where where = kBeforeItsGame) {
    if (pipe(ready_) != 0 || pipe(go_) != 0 || pipe(said_) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      if (!testsupport::BecomeNobody()) _exit(77);
      ClearList(Highscores);
      ScoresLoaded = 0;
      LoadScores();
      auto hold = [this] {
        char c = 'r';
        if (write(ready_[1], &c, 1) != 1 || read(go_[0], &c, 1) != 1) _exit(78);
      };
      if (where == kBeforeItsGame) hold();
      else ScoreSaveHeld = hold;
      auto r = std::make_shared<Scores>();
      r->Score = score;
      r->Name = name;
      r->Timestamp = stamp;
      r->GameMode = 1;
      ListAddLast(Highscores, r);
      SaveScores();
      std::string told;
      for (const auto& line : ClosingProblems()) told += line + "\n";
      if (write(said_[1], told.data(), told.size()) != static_cast<ssize_t>(told.size())) _exit(79);
      _exit(0);
    }
    close(ready_[1]);
    close(go_[0]);
    close(said_[1]);
    char c = 0;
    loaded_ = pid_ > 0 && read(ready_[0], &c, 1) == 1;
  }
  bool Loaded() const { return loaded_; }
  // Lets it play and save; what it was told, or "status N" when it failed.
  std::string Finish() {
    char c = 'g';
    if (write(go_[1], &c, 1) != 1) return "no copy";
    std::string said;
    char buffer[1024];
    for (ssize_t n; (n = read(said_[0], buffer, sizeof buffer)) > 0;) said.append(buffer, static_cast<size_t>(n));
    int status = 0;
    waitpid(pid_, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? said : "status " + std::to_string(WEXITSTATUS(status));
  }
  ~HeldCopy() {
    for (int fd : {ready_[0], go_[1], said_[0]}) close(fd);
  }

 private:
  int ready_[2] = {-1, -1}, go_[2] = {-1, -1}, said_[2] = {-1, -1};
  pid_t pid_ = -1;
  bool loaded_ = false;
};

// Two copies of the game on one folder, as a player who is not root: A
// reads the files and is held; B plays ("Bob") and saves; then A plays
// ("Ann") and saves. Every game is kept, whether the save renames a new
// file, writes the file in place (a folder that takes no new file) or
// keeps the games in the data folder's spare file (no score file can be
// made); and each copy is told where the games are.
TEST_F(ScoreFile, TwoCopiesOnOneFolderKeepEachOthersGames) {
  if (geteuid() == 0 && !getpwnam("nobody")) GTEST_SKIP() << "no user nobody to play as";
  struct Case {
    const char* what;
    bool folderWritable;
    bool fileThere;
    bool toldKept;  // the copies are told the games are kept in the spare file
  };
  const Case cases[] = {
      {"saved by rename", true, true, false},
      {"written in place", false, true, false},
      {"kept in the data folder", false, false, true},
  };
  const auto readOnly = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::permissions(dir_, fs::perms::all);
    fs::remove_all(dir_ / "data");
    fs::create_directory(dir_ / "data");
    fs::permissions(dir_ / "data", fs::perms::all | fs::perms::sticky_bit);
    fs::remove("nuscores.dat");
    ClearList(Highscores);
    ScoresLoaded = 0;
    Add(1, "Old", 10);
    if (c.fileThere) {
      SaveScores();
      ASSERT_EQ(chmod("nuscores.dat", 0666), 0);
    } else {
      // An earlier run's games, kept in the spare file.
      const fs::path folder = fs::path(DataFile()).parent_path();
      fs::create_directories(folder);
      for (fs::path f = folder; f != dir_; f = f.parent_path()) fs::permissions(f, fs::perms::all);
      SaveLinesAtomic(DataFile(), {AccountToken(), Scramble(ScoreLinePlain(**Highscores.begin()), "")});
      // The player's own, as a save of theirs left it.
      if (const passwd* nobody = getpwnam("nobody"); nobody && geteuid() == 0) {
        ASSERT_EQ(chown(DataFile().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
      }
    }
    fs::permissions(dir_, c.folderWritable ? fs::perms::all : readOnly);

    HeldCopy a(200, "Ann", 30);
    ASSERT_TRUE(a.Loaded());
    const auto b = testsupport::AsPlayer([] {
      ClearList(Highscores);
      Reload();
      Add(100, "Bob", 20);
      SaveScores();
      return Told();
    });
    ASSERT_EQ(b.status, 0);
    const std::string toldA = a.Finish();
    for (const std::string& told : {b.said, toldA}) {
      if (c.toldKept) {
        EXPECT_NE(told.find("They are kept in " + DataFile() + ", and the next start reads them back."),
                  std::string::npos)
            << "told: " << told;
      } else {
        EXPECT_EQ(told, "");
      }
    }
    ClearList(Highscores);
    Reload();
    EXPECT_EQ(LoadedScores(), (std::vector<int64_t>{200, 100, 1}));
    EXPECT_EQ(fs::exists("nuscores.dat"), c.fileThere);
    EXPECT_EQ(fs::exists(DataFile()), !c.fileThere);
  }
}

// Copy A is held inside its save past copy B's wait for the lock: B
// replaces nothing A may be writing, keeps its games (merged with what it
// read) in a file of its own, and says so; a start meanwhile leaves the
// temporary files of A's save alone. Then A saves, and the next start has
// both games; the next save puts them in the score file and removes B's
// file. So in a folder every player may list, and in one players may write
// but not list (mode 0733, as the player "nobody"), where the lock is a
// lock file every copy takes.
TEST_F(ScoreFile, ACopyThatWaitsOutAnotherCopysSaveReplacesNothingAndKeepsItsGame) {
  if (geteuid() == 0 && !getpwnam("nobody")) GTEST_SKIP() << "no user nobody to play as";
  struct Case {
    const char* what;
    fs::perms folder;
    std::vector<std::string> left;  // the files of the folder after all
  };
  const fs::perms unlisted = fs::perms::owner_all | fs::perms::group_write | fs::perms::group_exec |
                             fs::perms::others_write | fs::perms::others_exec;
  const Case cases[] = {
      {"a folder every player may list", fs::perms::all, {"nuscores.dat"}},
      {"a folder players may write but not list", unlisted, {".pibbo-save.lock", "nuscores.dat"}},
  };
  const std::string shown = fs::current_path().string() + "/nuscores.dat";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::permissions(dir_, fs::perms::all);
    for (const auto& e : fs::directory_iterator(".")) fs::remove_all(e.path());
    fs::create_directory(dir_ / "data");
    fs::permissions(dir_ / "data", fs::perms::all | fs::perms::sticky_bit);
    ClearList(Highscores);
    ScoresLoaded = 0;
    Add(1, "Old", 10);
    SaveScores();
    ASSERT_EQ(chmod("nuscores.dat", 0666), 0);
    const std::string before = testsupport::ReadBytes("nuscores.dat");
    fs::permissions(dir_, c.folder);

    HeldCopy a(200, "Ann", 30, HeldCopy::kInsideItsSave);
    ASSERT_TRUE(a.Loaded());
    // A temporary file of A's save, as a start of B sees it.
    testsupport::WriteBytes("nuscores.dat.tmp-AbC123", "half");
    const auto b = testsupport::AsPlayer([] {
      std::string said = SaveLock("nuscores.dat", 100).WaitedOut() ? "waits\n" : "takes the lock\n";
      said += "stale files removed: " + std::to_string(RemoveStaleTemporaries(".", "nuscores.dat")) + "\n";
      ClearList(Highscores);
      Reload();
      Add(100, "Bob", 20);
      SaveScores();
      return said + Told();
    });
    ASSERT_EQ(b.status, 0);
    EXPECT_EQ(b.said, "waits\nstale files removed: 0\nThe scores could not be saved to " + shown +
                          ": another copy of the game was saving its scores there and kept at it past 3 s, so what "
                          "it writes is left to it.\nThey are kept in " + shown +
                          ".unsaved2, and the next start reads them back.\n");
    EXPECT_EQ(testsupport::ReadBytes("nuscores.dat"), before);
    EXPECT_EQ(a.Finish(), "");
    fs::remove("nuscores.dat.tmp-AbC123");

    ClearList(Highscores);
    Reload();
    EXPECT_EQ(LoadedScores(), (std::vector<int64_t>{200, 100, 1}));
    SaveScores();
    EXPECT_EQ(Files(), c.left);
    Reload();
    EXPECT_EQ(LoadedScores(), (std::vector<int64_t>{200, 100, 1}));
  }
}

// A score file that is a link to its own spare (beside it, or in the data
// folder): one more game is saved through the link, and the spare, being
// the very file saved, stays.
TEST_F(ScoreFile, AScoreFileLinkedToItsSpareKeepsEveryGame) {
  for (const bool inData : {false, true}) {
    SCOPED_TRACE(inData ? "the data folder's spare" : "the spare beside it");
    fs::remove_all(dir_ / "data");
    for (const auto& e : fs::directory_iterator(".")) fs::remove_all(e.path());
    const std::string spare = inData ? DataFile() : "nuscores.dat.unsaved";
    if (inData) fs::create_directories(fs::path(spare).parent_path());
    ClearList(Highscores);
    Add(1, "Old", 10);
    ASSERT_TRUE(SaveLinesAtomic(spare, {AccountToken(), Scramble(ScoreLinePlain(**Highscores.begin()), "")}));
    fs::create_symlink(spare, "nuscores.dat");
    ClearList(Highscores);
    Reload();
    Add(2, "New", 20);
    SortList(Highscores);
    SaveScores();
    EXPECT_EQ(Told(), "");
    EXPECT_TRUE(fs::is_symlink("nuscores.dat"));
    EXPECT_TRUE(fs::is_regular_file(spare));
    ClearList(Highscores);
    Reload();
    EXPECT_EQ(LoadedScores(), (std::vector<int64_t>{2, 1}));
  }
}

// A damaged score file is copied aside under a name where nothing stands:
// a ".bad" entry of the player's (a link that leads nowhere, or in a
// circle) is left as it was.
TEST_F(ScoreFile, ABadEntryThePlayerHasIsLeftAsItWas) {
  const std::string damaged = Scramble("me|", RegKey) + "\r\n" + std::string(40, 'F') + "\r\n";
  for (const std::string& target : {std::string("nowhere/at.bad"), std::string("nuscores.dat.bad")}) {
    SCOPED_TRACE(target);
    for (const auto& e : fs::directory_iterator(".")) fs::remove_all(e.path());
    WriteRaw(damaged);
    fs::create_symlink(target, "nuscores.dat.bad");
    ClearList(Highscores);
    ClearClosingProblems();
    Reload();
    Add(3, "this run", 30);
    SaveScores();
    EXPECT_TRUE(fs::is_symlink("nuscores.dat.bad"));
    EXPECT_EQ(fs::read_symlink("nuscores.dat.bad").string(), target);
    EXPECT_EQ(testsupport::ReadBytes("nuscores.dat.bad2"), damaged);
    EXPECT_NE(Told().find("the original is kept as " + fs::current_path().string() + "/nuscores.dat.bad2."),
              std::string::npos)
        << Told();
    Reload();
    EXPECT_EQ(LoadedScores(), std::vector<int64_t>{3});
  }
}

// A save finds what another copy saved meanwhile and keeps it once: the
// same game is not doubled by a second save, the other copy's account is
// taken while this run changed none, and a table that grows past what the
// Hiscore tab keeps (its 50 newest and its 25 best) is trimmed to that.
TEST_F(ScoreFile, ASaveMergesWhatTheFileHoldsNowOnce) {
  Add(1, "Old", 10);
  SaveScores();
  Reload();
  // Another copy saved two games and an account since.
  Scores other;
  other.Score = 5;
  other.Name = "Bob";
  other.Timestamp = 20;
  other.GameMode = 1;
  std::vector<std::string> lines = FileLines();
  lines[0] = Scramble("bob|pw", RegKey);
  lines.push_back(Scramble(ScoreLinePlain(other), ""));
  other.Timestamp = 21;
  lines.push_back(Scramble(ScoreLinePlain(other), ""));
  WriteLines(lines);
  Add(7, "Ann", 30);
  SaveScores();
  SaveScores();
  EXPECT_EQ(LoadedScores(), (std::vector<int64_t>{7, 5, 5, 1}));
  EXPECT_EQ(RegName, "bob");
  Reload();
  EXPECT_EQ(LoadedScores(), (std::vector<int64_t>{7, 5, 5, 1}));
  EXPECT_EQ(RegPass, "pw");

  // 60 games of another copy, newest scoring least: the merged table keeps
  // the 50 newest and, of the older ones, those among the 25 best.
  lines = FileLines();
  for (int i = 0; i < 60; ++i) {
    other.Score = 1000 - i;
    other.Timestamp = 2000 - i;
    lines.push_back(Scramble(ScoreLinePlain(other), ""));
  }
  WriteLines(lines);
  SaveScores();
  Reload();
  // The 50 newest are stamps 2000..1951; the 25 best are the same games.
  ASSERT_EQ(Highscores.Count(), 50u);
  EXPECT_EQ((*Highscores.begin())->Timestamp, 2000);
  // Another table (Hard) is left alone.
  EXPECT_EQ(Told(), "");
}

// The spare file in the data folder is kept to the score file's rules, for
// a player who is not root in a folder that takes no new file (so the save
// writes the file in place behind a copy there): one that cannot be read
// is never replaced, and the player is told why the game could not be
// saved; a damaged one is copied aside first, its readable games kept.
TEST_F(ScoreFile, ASpareFileThatCannotBeReadStaysAndADamagedOneIsCopiedAside) {
  if (geteuid() == 0 && !getpwnam("nobody")) GTEST_SKIP() << "no user nobody to play as";
  Scores hidden;
  hidden.Score = 50;
  hidden.Name = "Hidden";
  hidden.Timestamp = 15;
  hidden.GameMode = 1;
  const std::string spare = Scramble("|", RegKey) + "\r\n" + Scramble(ScoreLinePlain(hidden), "") + "\r\n";
  struct Case {
    const char* what;
    std::string bytes;
    mode_t mode;
  };
  const Case cases[] = {
      {"unreadable", spare, 0},
      {"damaged", spare + std::string(60, 'F') + "\r\n", 0644},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::permissions(dir_, fs::perms::all);
    fs::remove_all(dir_ / "data");
    ClearList(Highscores);
    ScoresLoaded = 0;
    Add(1, "Old", 10);
    SaveScores();
    ASSERT_EQ(chmod("nuscores.dat", 0666), 0);
    const std::string original = testsupport::ReadBytes("nuscores.dat");
    const fs::path folder = fs::path(DataFile()).parent_path();
    fs::create_directories(folder);
    for (fs::path f = folder; f != dir_; f = f.parent_path()) fs::permissions(f, fs::perms::all);
    testsupport::WriteBytes(DataFile(), c.bytes);
    ASSERT_EQ(chmod(DataFile().c_str(), c.mode), 0);
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    const auto played = testsupport::AsPlayer([] {
      if (access(".", W_OK) == 0) _exit(78);
      ClearList(Highscores);
      Reload();
      Add(2, "this run", 20);
      SaveScores();
      return Told();
    });
    if (played.status == 78) GTEST_SKIP() << "the read-only folder stays writable for this user";
    ASSERT_EQ(played.status, 0);
    if (c.mode == 0) {
      if (geteuid() != 0 && access(DataFile().c_str(), R_OK) == 0) GTEST_SKIP() << "an unreadable file stays readable";
      EXPECT_EQ(testsupport::ReadBytes(DataFile()), c.bytes);
      EXPECT_EQ(testsupport::ReadBytes("nuscores.dat"), original);
      struct stat st {};
      ASSERT_EQ(stat(DataFile().c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0u);
      EXPECT_NE(played.said.find("nuscores.dat: its folder takes no new file (Permission denied), and no copy to "
                                 "write it in place could be kept (it could not be read (Permission denied), so "
                                 "it is left as it was).\n"),
                std::string::npos)
          << played.said;
      EXPECT_NE(played.said.find("the game of this run and any account change are lost"), std::string::npos)
          << played.said;
    } else {
      EXPECT_EQ(testsupport::ReadBytes(DataFile() + ".bad"), c.bytes);
      EXPECT_FALSE(fs::exists(DataFile()));
      EXPECT_EQ(played.said, "The scores kept in " + DataFile() +
                                 " had lines that could not be read: they were left out, and the original is kept "
                                 "as " + DataFile() + ".bad.\n");
      ClearList(Highscores);
      Reload();
      EXPECT_EQ(LoadedScores(), (std::vector<int64_t>{2, 50, 1}));
    }
  }
}

// A score file that is a link to a FIFO or to a device (stand-in nodes of
// the test's own; a device only as root, who could replace it) is left as
// it is, still that kind of node; the game goes beside it, and the player
// is told so.
TEST_F(ScoreFile, ALinkToAFifoOrADeviceIsLeftAsItIs) {
  struct Case {
    const char* what;
    mode_t kind;
  };
  for (const Case& c : {Case{"a FIFO", S_IFIFO}, Case{"a character device", S_IFCHR}}) {
    SCOPED_TRACE(c.what);
    if (c.kind == S_IFCHR && geteuid() != 0) continue;
    fs::remove_all("node");
    fs::remove_all("nuscores.dat");
    fs::remove_all("nuscores.dat.unsaved");
    ASSERT_EQ(mknod("node", c.kind | 0666, c.kind == S_IFCHR ? makedev(240, 99) : 0), 0);
    fs::create_symlink("node", "nuscores.dat");
    ClearList(Highscores);
    ClearClosingProblems();
    Reload();
    Add(3, "this run", 30);
    SaveScores();
    struct stat st {};
    ASSERT_EQ(stat("node", &st), 0);
    EXPECT_EQ(st.st_mode & S_IFMT, c.kind);
    EXPECT_TRUE(fs::is_symlink("nuscores.dat"));
    EXPECT_EQ(Files(), (std::vector<std::string>{"node", "nuscores.dat", "nuscores.dat.unsaved"}));
    EXPECT_NE(Told().find("nuscores.dat: it is not a regular file (a device, a FIFO or a socket), so it is left as "
                          "it is.\nThey are kept in "),
              std::string::npos)
        << Told();
    ClearList(Highscores);
    Reload();
    EXPECT_EQ(LoadedScores(), std::vector<int64_t>{3});
  }
}

// Full disks: the score file's folder full, with room in the data folder
// for one copy of the file. The rewrite in place fails after its copy was
// written whole: the player is told the games are kept there, and the next
// start reads them back from it. (Root only: the disks are small file
// systems of the test's own.)
TEST_F(ScoreFile, AFullDiskIsToldAsItIs) {
  fs::create_directory(dir_ / "game");
  fs::create_directory(dir_ / "data");
  fs::permissions(dir_, fs::perms::all);
  const auto run = testsupport::OnSmallDisks({{(dir_ / "game").string(), 8}, {(dir_ / "data").string(), 12}}, [this] {
    fs::current_path(dir_ / "game");
    // 12 games (one page of the disk); the run adds 10 (two pages).
    for (int i = 1; i <= 12; ++i) Add(i, "Old", i);
    SaveScores();
    testsupport::WriteBytes("filler", std::string(4096, 'x'));
    chmod("nuscores.dat", 0666);
    chown((dir_ / "data").c_str(), getpwnam("nobody") ? getpwnam("nobody")->pw_uid : 0, -1);
    if (!testsupport::BecomeNobody()) _exit(77);
    ClearList(Highscores);
    Reload();
    for (int i = 13; i <= 22; ++i) Add(i, "New", i);
    ClearClosingProblems();
    SaveScores();
    std::string told = Told();
    ClearList(Highscores);
    Reload();
    return told + "records " + std::to_string(Highscores.Count());
  });
  if (run.status == 77) GTEST_SKIP() << "no small disks of our own (needs root)";
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.said.find("nuscores.dat: No space left on device.\nThey are kept in " + (dir_ / "data").string() +
                          "/pibbo-zorravel/scores-"),
            std::string::npos)
      << run.said;
  EXPECT_EQ(run.said.find("could not be kept anywhere"), std::string::npos) << run.said;
  EXPECT_NE(run.said.find("records 22"), std::string::npos) << run.said;
}

}  // namespace
