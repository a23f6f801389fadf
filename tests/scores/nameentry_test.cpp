// Name entry on the headless back end with scripted typing.
#include <gtest/gtest.h>

#include <string>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "platform/headless.h"
#include "scores/scores.h"

namespace {

class NameEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    PlatformInit(BackendKind::Headless);
    clockStart_ = headless::Now();  // script times count from here
    ASSERT_EQ(Graphics(1280, 960, 0), 1);
    SetVirtualResolution(1280, 960);
    JScrw = 1280;
    JScrh = 960;
    MyName = "Player";
    comments.Clear();
  }
  void TearDown() override { PlatformShutdown(); }

  // Queues the script at the current virtual time plus its offsets.
  static void ScriptFromNow(const std::string& lines) {
    std::string shifted;
    size_t pos = 0;
    while (pos < lines.size()) {
      size_t end = lines.find('\n', pos);
      if (end == std::string::npos) end = lines.size();
      const std::string line = lines.substr(pos, end - pos);
      const size_t sp = line.find(' ');
      shifted += std::to_string(headless::Now() - clockStart_ + std::stoi(line.substr(0, sp))) +
                 line.substr(sp) + "\n";
      pos = end + 1;
    }
    headless::Script(shifted);
  }
  static inline uint32_t clockStart_ = 0;

  // One frame of editing after the clock has moved on by ms.
  static std::string Frame(const std::string& text, int ms = 5, int maxLength = 0) {
    headless::Advance(ms);
    return Inputter(text, maxLength);
  }
};

TEST_F(NameEntry, InputterTakesOneCharacterAndOneBackspaceAFrame) {
  ScriptFromNow("1 text Zo");
  std::string t = Frame("Pla");
  EXPECT_EQ(t, "PlaZ");
  t = Frame(t);  // the second character waited in the queue
  EXPECT_EQ(t, "PlaZo");
  EXPECT_EQ(Frame(t), "PlaZo");  // nothing typed

  // Typed and erased in the same frame: the text is unchanged.
  ScriptFromNow("1 char 113\n1 tap 8");
  EXPECT_EQ(Frame("ab"), "ab");

  // Two Backspace presses in one frame remove one character.
  ScriptFromNow("1 tap 8\n3 tap 8");
  EXPECT_EQ(Frame("abc"), "ab");

  ScriptFromNow("1 tap 8");
  EXPECT_EQ(Frame("x"), "");
  ScriptFromNow("1 tap 8");
  EXPECT_EQ(Frame(""), "");
}

TEST_F(NameEntry, InputterRefusesControlCodesAndBars) {
  ScriptFromNow("1 char 9\n2 char 124\n3 char 32\n4 char 233\n5 char 13\n6 char 127");
  std::string t = "a";
  for (int i = 0; i < 6; ++i) t = Frame(t, 2);
  EXPECT_EQ(t, "a \xE9\x7F");
}

TEST_F(NameEntry, InputterLengthLimit) {
  ScriptFromNow("1 text de");
  std::string t = Frame("abc", 5, 4);
  EXPECT_EQ(t, "abcd");
  t = Frame(t, 5, 4);
  EXPECT_EQ(t, "abcd");  // full: the character is dropped
  ScriptFromNow("1 tap 8");
  EXPECT_EQ(Frame(t, 5, 4), "abc");
}

TEST_F(NameEntry, EditsTheNameUntilReturn) {
  // A Return pressed during the game, before the screen opens, is flushed.
  ScriptFromNow("1 tap 13");
  headless::Advance(10);
  PollSystem();  // the game's last frame took the press in
  ScriptFromNow(
      "50 tap 8\n100 tap 8\n150 tap 8\n200 tap 8\n250 tap 8\n300 tap 8\n350 tap 8\n"
      "400 text Zo\n450 char 124\n500 char 235\n550 tap 13");
  GetPlayerName();
  EXPECT_EQ(MyName, "Zo\xEB");
}

TEST_F(NameEntry, ScoreFileTokenCannotEnterAName) {
  MyName = "Al";
  std::string typed;
  for (size_t i = 0; i < ScoreLineToken.size(); ++i) {
    typed += std::to_string(100 + 20 * i) + " char " +
             std::to_string(static_cast<unsigned char>(ScoreLineToken[i])) + "\n";
  }
  ScriptFromNow(typed + "500 text x\n600 tap 13");
  GetPlayerName();
  EXPECT_EQ(MyName, "Alx");
}

TEST_F(NameEntry, LongNamesStopAtTheLimitAndEscapeEnds) {
  MyName = std::string(kMaxNameLength - 1, 'n');
  ScriptFromNow("50 text xyz\n200 key 27 down\n250 key 27 up");
  GetPlayerName();
  EXPECT_EQ(MyName, std::string(kMaxNameLength - 1, 'n') + "x");
}

TEST_F(NameEntry, ShortTapOrClickEndsTheEntry) {
  // Pressed and let go within one frame: still a press.
  for (const char* end : {"200 tap 27", "200 click 1"}) {
    MyName = "Al";
    ScriptFromNow(std::string("50 text x\n") + end);
    GetPlayerName();
    EXPECT_EQ(MyName, "Alx") << end;
    EXPECT_EQ(headless::PendingEvents(), 0) << end;
  }
}

TEST_F(NameEntry, HeldButtonIsWaitedOutBeforeEditing) {
  // The left button is still held when the screen opens: nothing is taken
  // until it is released; a later click ends the entry.
  ScriptFromNow(
      "0 button 1 down\n50 char 65\n300 button 1 up\n600 button 1 down\n700 button 1 up");
  GetPlayerName();
  EXPECT_EQ(MyName, "PlayerA");
}

TEST_F(NameEntry, ShowsPromptAndNameInGreen) {
  MyName = "";
  ScriptFromNow("100 tap 13");
  headless::ClearDrawCalls();
  GetPlayerName();
  EXPECT_EQ(MyName, "");
  bool prompt = false;
  for (const auto& call : headless::DrawCalls()) {
    if (call.kind == DrawCall::Text && call.text == "Enter Your Name") {
      prompt = true;
      EXPECT_EQ(call.r, 0);
      EXPECT_EQ(call.g, 255);
      EXPECT_EQ(call.b, 0);
    }
  }
  EXPECT_TRUE(prompt);
}

}  // namespace
