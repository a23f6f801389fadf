// The local score file "nuscores.dat".
#include <gtest/gtest.h>
#include <unistd.h>

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
  }
  void TearDown() override {
    fs::current_path(old_);
    fs::remove_all(dir_);
    ClearList(Highscores);
    ScoresLoaded = 0;
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

  fs::path old_, dir_;
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
  Reload();
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
