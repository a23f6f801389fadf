// Whole runs of the `pibbo` executable in a scratch copy of the run folder:
// start-up, title loop, Escape, the closing screen and the files left behind.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "run_folder.h"
#include "startup_fixture.h"

namespace startup_test {
namespace {

namespace fs = std::filesystem;
using testsupport::Output;

class WholeRun : public testsupport::RunFolderTest {
 protected:
  // Runs pibbo on the real back end. Once the start-up has finished, `act`
  // is called every 200 ms until the program has ended (or the deadlines
  // of a start and an end have passed); answers the exit code, or -1.
  template <class Act>
  int RunWatching(Act act) {
    pid_t pid = Spawn({});
    if (pid < 0) return -1;
    int status = 0;
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(testsupport::Deadline(testsupport::kStartDeadlineMs) +
                                               testsupport::Deadline(testsupport::kExitDeadlineMs));
    while (std::chrono::steady_clock::now() < end) {
      usleep(200 * 1000);
      if (waitpid(pid, &status, WNOHANG) == pid) return ExitCode(status);
      if (Loaded()) act();
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
};

// Escape held well after the 2.5 s start-up wait, let go, then a key press
// that leaves the closing screen.
const char* const kQuitScript =
    "# quit from the title screen\n"
    "5000 key 27 down\n"
    "5200 key 27 up\n"
    "9000 key 32 down\n"
    "9100 key 32 up\n";

const std::vector<std::string> kDefaultSetup = {
    "[Graphics]", "Fullscreen = False", "GFX Engine = OpenGL", "Width=800", "Height=600", "",
    "[Audio]", "Master = 50", "Sound = 50", "Music = 50", "AudioDriver = FreeMix System",
    "; AudioDriver = FreeMix", "; AudioDriver = FreeMix System", "; AudioDriver = Null", "",
    "[Controls]", "Key=0,38", "Key=3,37", "Key=5,39", "Key=8,40", "Key=10,90", "Key=11,88",
    "Key=12,67", "Key=13,86"};

// True when `wanted` appears in `lines` in this order (other lines between).
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& wanted,
             std::string* missing) {
  size_t at = 0;
  for (const std::string& w : wanted) {
    while (at < lines.size() && lines[at] != w) at++;
    if (at == lines.size()) {
      *missing = w;
      return false;
    }
    at++;
  }
  return true;
}

TEST_F(WholeRun, HeadlessStartTitleEscapeAndFinish) {
  std::string script = WriteScript(kQuitScript);
  ASSERT_EQ(Run({"PIBBO_HEADLESS=1", "PIBBO_INPUT_SCRIPT=" + script}), 0);

  std::vector<std::string> log = Log();
  ASSERT_GE(log.size(), 30u);
  std::vector<std::string> head(log.begin(), log.begin() + 11);
  EXPECT_EQ(head, (std::vector<std::string>{
                      "Quenlor's Vellumbra Engine", "----------------------------", "Week #260",
                      "----------------------------", "#260 : Pibbo Zorravel",
                      "----------------------------", "", "Loading", "Setting Audio Driver",
                      "Set Audio Driver", ""}));
  std::string missing;
  EXPECT_TRUE(InOrder(log,
                      {"\tRequested Resolution : 800x600", "\tSetup Loaded", "Grabbing Previous Scores",
                       "-=-=-=-=-=-=-=-=-=-=-=-=-=-", "Applying Graphical Settings", "\tUsing OpenGL Driver",
                       "\tResolution : 800x600,0", "Loading : Common Objects", "Switching to Default Folder",
                       "\tDefault Fonts", "\tDefault Icons", "\tLogos", "\tBadgeGet", "Switching to Game Folder",
                       "Loading Sound effects", "Sounds loaded", "-=-=-=-=-=-=-=-=-=-=-=-=-=-",
                       "Finished Loading"},
                      &missing))
      << "missing or out of order: " << missing;
  std::vector<std::string> tail(log.end() - 5, log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"Closing Up", "", "Bye!", "", "Play again, soon!!"}));
  for (const std::string& line : log) {
    EXPECT_EQ(line.find("Changed Graphics Mode"), std::string::npos);
    EXPECT_EQ(line.find("Missing folder"), std::string::npos) << line;
  }

  std::string setup = ReadBytes(run_ + "/Files/Setup.ini");
  EXPECT_EQ(CrLfLines(setup), kDefaultSetup);
  EXPECT_EQ(setup.substr(setup.size() - 2), "\r\n");
  EXPECT_FALSE(fs::exists(run_ + "/Files/260/crash.dat"));
  EXPECT_FALSE(fs::exists(tmp_ + "/Debug.txt"));  // nothing in the shell's folder
}

TEST_F(WholeRun, ClosingScreenEndsOnHeldInputAndOnCloseRequests) {
  struct Case {
    const char* what;
    const char* script;
  } cases[] = {
      // Held from the title screen through all of the closing screen's
      // release wait: the held key itself then ends it.
      {"escape never let go", "5000 key 27 down\n"},
      // The window's close button on the title screen, then again on the
      // closing screen.
      {"close requests", "5000 close\n9000 close\n"},
      // One tap leaves the title screen; one more key, click or close
      // request, each pressed and let go within a frame, ends the closing
      // screen at once.
      {"one key", "5000 tap 27\n6500 tap 32\n"},
      {"one key later", "5000 tap 27\n8000 tap 65\n"},
      {"one click", "5000 tap 27\n6500 click 1\n"},
      {"one close", "5000 tap 27\n6500 close\n"},
  };
  for (const Case& c : cases) {
    fs::remove(run_ + "/Files/Debug.txt");
    std::string script = WriteScript(c.script);
    EXPECT_EQ(Run({"PIBBO_HEADLESS=1", "PIBBO_INPUT_SCRIPT=" + script}), 0) << c.what;
    std::vector<std::string> log = Log();
    ASSERT_GE(log.size(), 5u) << c.what;
    EXPECT_EQ(log.back(), "Play again, soon!!") << c.what;
  }
}

TEST_F(WholeRun, SecondRunReadsTheSettingsAndStartsAFreshLog) {
  WriteBytes(run_ + "/Files/Setup.ini",
             "[Graphics]\nWidth=1280\nHeight=800\nESS=1\n[Audio]\nMusic=-40\nAudioDriver = Null\n"
             "[Controls]\nKey=0,87\n");
  std::string script = WriteScript(kQuitScript);
  ASSERT_EQ(Run({"PIBBO_HEADLESS=1", "PIBBO_INPUT_SCRIPT=" + script}), 0);
  std::vector<std::string> log = Log();
  std::string missing;
  EXPECT_TRUE(InOrder(log,
                      {"Loading", "\tReading Setup File", "\tAssuming Emergency Slow System values.",
                       "Setting Audio Driver", "\tRequested Resolution : 1280x800",
                       "\tResolution : 1280x800,0", "\tWidescreen mode B (10:16)!", "Finished Loading"},
                      &missing))
      << missing;
  EXPECT_EQ(std::count(log.begin(), log.end(), "Quenlor's Vellumbra Engine"), 1);

  std::vector<std::string> setup = CrLfLines(ReadBytes(run_ + "/Files/Setup.ini"));
  auto has = [&](const std::string& line) { return std::find(setup.begin(), setup.end(), line) != setup.end(); };
  EXPECT_TRUE(has("Width=1280"));
  EXPECT_TRUE(has("Height=800"));
  EXPECT_TRUE(has("Music = 40"));
  EXPECT_TRUE(has("AudioDriver = Null"));
  EXPECT_TRUE(has("Key=0,87"));
}

// The scores of a run without its per-game folder lie in "Files/"; no
// other file goes there or into "Common/".
TEST_F(WholeRun, MissingGameFolderIsLoggedAndTheScoresStayInFiles) {
  fs::remove_all(run_ + "/Files/260");
  std::string script = WriteScript(kQuitScript);
  ASSERT_EQ(Run({"PIBBO_HEADLESS=1", "PIBBO_INPUT_SCRIPT=" + script, "XDG_DATA_HOME=" + tmp_ + "/data"}), 0);
  std::vector<std::string> log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "\tMissing folder : 260/"), log.end());
  EXPECT_TRUE(fs::exists(run_ + "/Files/nuscores.dat"));
  EXPECT_FALSE(fs::exists(run_ + "/Files/crash.dat"));
  EXPECT_FALSE(fs::exists(run_ + "/Files/Common/nuscores.dat"));
  EXPECT_TRUE(fs::exists(run_ + "/Files/Setup.ini"));
}

TEST_F(WholeRun, RealBackEndUnderX) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display (run the tests under xvfb-run)";
  if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool missing";
  unsetenv("PIBBO_HEADLESS");
  // Find the window by its title, then type on it as a player would:
  // Escape on the title screen until the closing screen is up (the log
  // says so), then a key there; each again after a while until it works.
  std::string window;
  std::string last;
  auto sent = std::chrono::steady_clock::now();
  int code = RunWatching([&] {
    if (window.empty()) {
      window = Trim(Output("xdotool search --name '^#260 : Pibbo Zorravel$' 2>/dev/null"));
      window = window.substr(0, window.find('\n'));
      if (window.empty()) return;
    }
    const bool closing = ReadBytes(run_ + "/Files/Debug.txt").find("Play again, soon!!") != std::string::npos;
    const std::string key = closing ? "space" : "Escape";
    if (key == last && std::chrono::steady_clock::now() - sent < std::chrono::milliseconds(testsupport::kRepeatMs))
      return;
    last = key;
    std::system(("xdotool windowfocus " + window + " keydown " + key + " sleep 0.3 keyup " + key + " >/dev/null 2>&1")
                    .c_str());
    sent = std::chrono::steady_clock::now();
  });
  EXPECT_FALSE(window.empty()) << "no window titled #260 : Pibbo Zorravel";
  EXPECT_EQ(code, 0);
  std::vector<std::string> log = Log();
  ASSERT_GE(log.size(), 5u);
  std::vector<std::string> tail(log.end() - 5, log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"Closing Up", "", "Bye!", "", "Play again, soon!!"}));
  std::vector<std::string> setup = CrLfLines(ReadBytes(run_ + "/Files/Setup.ini"));
  ASSERT_GE(setup.size(), 16u);
  EXPECT_EQ(setup[0], "[Graphics]");
  EXPECT_EQ(setup.back(), "Key=13,86");
}

// Told to end by the system (logout, kill): everything is saved and the
// program ends without waiting on its closing screen.
TEST_F(WholeRun, TerminationSignalSavesAndEnds) {
  pid_t pid = Spawn({"PIBBO_HEADLESS=1"});
  ASSERT_GT(pid, 0);
  int status = 0;
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(testsupport::Deadline(testsupport::kStartDeadlineMs));
  while (!Loaded() && std::chrono::steady_clock::now() < end) usleep(50 * 1000);
  ASSERT_TRUE(Loaded());
  kill(pid, SIGTERM);
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_EQ(ExitCode(status), 0);
  EXPECT_EQ(Log().back(), "Play again, soon!!");
  EXPECT_TRUE(fs::exists(run_ + "/Files/Setup.ini"));
  EXPECT_TRUE(fs::exists(run_ + "/Files/260/nuscores.dat"));
}

}  // namespace
// A FIFO in place of every face the game reads is not waited on: the start
// goes on in the built-in font, says which fonts are missing, and one
// termination signal ends the run.
TEST_F(WholeRun, FontsThatAreFifosNeitherBlockTheStartNorTheEnd) {
  for (const char* face : {"SVBasicManual.ttf", "November.ttf", "Blue Highway.ttf", "Acknowledge TT QXV.ttf"}) {
    const std::string path = run_ + "/Files/Common/" + face;
    fs::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0) << face;
  }
  pid_t pid = Spawn({"PIBBO_HEADLESS=1"});
  ASSERT_GT(pid, 0);
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(testsupport::Deadline(testsupport::kStartDeadlineMs));
  while (!Loaded() && std::chrono::steady_clock::now() < end) usleep(50 * 1000);
  const bool loaded = Loaded();
  kill(pid, SIGTERM);
  int status = 0;
  const auto stop = std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(testsupport::Deadline(testsupport::kExitDeadlineMs));
  while (waitpid(pid, &status, WNOHANG) != pid) {
    if (std::chrono::steady_clock::now() > stop) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      FAIL() << "one SIGTERM did not end the run";
    }
    usleep(50 * 1000);
  }
  EXPECT_TRUE(loaded) << "the start waited on a font";
  EXPECT_EQ(ExitCode(status), 0);
  EXPECT_TRUE(LogHas("\tMissing font : SVBasicManual.ttf"));
  EXPECT_TRUE(LogHas("\tMissing font : Blue Highway.ttf"));
  EXPECT_EQ(Log().back(), "Play again, soon!!");
}

// The real back end with no display to show a window on: one clear
// message, the first thing on the terminal (no library's complaint about
// a session it cannot find before it) and in the log, and a failing exit
// at once, instead of a game that runs unseen.
TEST_F(WholeRun, NoDisplaySaysSoAndStops) {
  stderrFile_ = tmp_ + "/stderr.txt";
  const auto start = std::chrono::steady_clock::now();
  const int code =
      Run({"-DISPLAY", "-WAYLAND_DISPLAY", "-SDL_VIDEODRIVER", "-PIBBO_HEADLESS", "-XDG_RUNTIME_DIR"});
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_NE(code, 0);
  EXPECT_LT(took, std::chrono::seconds(15));  // at once, even on a loaded machine
  const std::string text = "cannot open a window: no display is available";
  EXPECT_EQ(ReadBytes(stderrFile_).rfind("pibbo: " + text, 0), 0u) << ReadBytes(stderrFile_);
  EXPECT_NE(ReadBytes(run_ + "/Files/Debug.txt").find(text), std::string::npos);
  stderrFile_.clear();
}

}  // namespace startup_test

namespace startup_test {
namespace {

// What a run killed while saving leaves behind goes at the next start; a
// scripted run whose script has ended closes by itself, saving as usual.
TEST_F(WholeRun, StaleTemporariesGoAndAnEndedScriptClosesTheGame) {
  testsupport::WriteBytes(run_ + "/Files/Setup.ini.tmp-Ab12Cd", "half a file");
  testsupport::WriteBytes(run_ + "/Files/260/nuscores.dat.tmp-x9Y8z7", "half a file");
  testsupport::WriteBytes(run_ + "/Files/260/nuscores.dat.tmp-keep", "not ours");
  stderrFile_ = tmp_ + "/stderr.txt";
  const std::string script = WriteScript("# no input at all\n");
  EXPECT_EQ(Run({"PIBBO_HEADLESS=1", "PIBBO_INPUT_SCRIPT=" + script}), 0);
  EXPECT_FALSE(std::filesystem::exists(run_ + "/Files/Setup.ini.tmp-Ab12Cd"));
  EXPECT_FALSE(std::filesystem::exists(run_ + "/Files/260/nuscores.dat.tmp-x9Y8z7"));
  EXPECT_TRUE(std::filesystem::exists(run_ + "/Files/260/nuscores.dat.tmp-keep"));
  EXPECT_NE(testsupport::ReadBytes(stderrFile_).find("the input script ended"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(run_ + "/Files/Setup.ini")) << "closed through the closing sequence";
}

}  // namespace
}  // namespace startup_test
