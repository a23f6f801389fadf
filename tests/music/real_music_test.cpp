// The real program's music, heard through SDL's "disk" audio driver, which
// writes what the game plays to a file: the generated song on the title
// screen and the game's tune in play, both at the Music volume of the
// settings. Skipped without Xvfb or xdotool.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "real_run.h"

namespace {

class RealMusic : public testsupport::RealRunTest {
 protected:
  // Loudness (RMS of the 16-bit samples) of what was written after `from`
  // bytes, up to now.
  double Loudness(size_t from, size_t& to) {
    const std::string bytes = testsupport::ReadBytes(audio_);
    to = bytes.size() & ~size_t{3};
    double sum = 0;
    size_t n = 0;
    for (size_t at = from; at + 1 < to; at += 2, ++n) {
      int16_t v;
      std::memcpy(&v, bytes.data() + at, 2);
      sum += static_cast<double>(v) * v;
    }
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0;
  }
  // Bytes the driver has written so far.
  size_t Written() {
    std::error_code ec;
    const auto size = std::filesystem::file_size(audio_, ec);
    return ec ? 0 : static_cast<size_t>(size) & ~size_t{3};
  }
  // Waits until `seconds` of audio (44.1 kHz, 16-bit stereo) have been
  // written after `from`: the driver writes at the pace of the sound card
  // it stands in for, so this is that much of the program's own time.
  bool WaitAudio(size_t from, int seconds) {
    return WaitFor([&] { return Written() >= from + static_cast<size_t>(seconds) * 44100 * 4; });
  }
  std::string audio_;
};

TEST_F(RealMusic, TitleSongAndGameTuneFollowTheMusicVolume) {
  audio_ = tmp_ + "/audio.raw";
  // The disk driver stands in for a sound card; effects are silenced.
  env_ = {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + audio_};
  for (int music : {100, 0}) {
    SCOPED_TRACE("Music " + std::to_string(music));
    testsupport::WriteBytes(run_ + "/Files/Setup.ini",
                            "Master = 100\r\nSound = 0\r\nMusic = " + std::to_string(music) + "\r\n");
    pid_t pid = display_ ? Restart() : StartGame();
    if (pid < 0) GTEST_SKIP() << "needs xdotool and Xvfb";
    ASSERT_FALSE(window_.empty()) << "no window";
    ASSERT_TRUE(title_) << "no title screen";
    // Three seconds of the title screen, then three of the game.
    size_t title = Written(), game = 0, end = 0;
    ASSERT_TRUE(WaitAudio(title, 3)) << "the driver wrote too little on the title screen";
    const double onTitle = Loudness(title, game);
    ASSERT_TRUE(StartGameByClick()) << "the game did not start";
    game = Written();
    ASSERT_TRUE(WaitAudio(game, 3)) << "the driver wrote too little in the game";
    const double inGame = Loudness(game, end);
    Pixmap shot = Grab();
    ASSERT_TRUE(shot);
    EXPECT_TRUE(PlayField(shot)) << "the game ended early";
    if (music > 0) {
      EXPECT_GT(onTitle, 300) << "the title screen's song";
      EXPECT_GT(inGame, 300) << "the game's tune";
    } else {
      EXPECT_EQ(onTitle, 0);
      EXPECT_EQ(inGame, 0);
    }
    WaitExit(pid, 0);
  }
}

}  // namespace
