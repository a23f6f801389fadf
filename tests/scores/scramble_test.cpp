// Text scrambler and the derived per-game key.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "engine/startup/startup.h"
#include "scores/scores.h"

namespace {

TEST(ScrambleChecksum, KnownValues) {
  EXPECT_EQ(ScrambleChecksum(""), 0);
  EXPECT_EQ(ScrambleChecksum("abc"), 1770);   // 3*97 + 6*98 + 9*99
  EXPECT_EQ(ScrambleChecksum("abcd"), 2970);  // reduced mod 4096 as it goes
  // High bytes count as 0..255, not as negative chars.
  EXPECT_EQ(ScrambleChecksum("\xFF"), 765);
}

TEST(Scramble, KnownAnswers) {
  // abc: checksum 1770, 1770 mod 3 = 0, so the first stage is abc001770.
  EXPECT_EQ(Scramble("abc", "7QM2RT8B"), "3544475235086D66337D02626C0F75");
  EXPECT_EQ(Scramble("Rocky|secret", "7QM2RT8B"),
            "593F3C3A20027679707C6962061D5D6A60290262660D7104");
  // One character under a one-character key: the shortest scrambled text.
  EXPECT_EQ(Scramble("x", "k"), "363078303030335B5B58585958");
}

// The tagline and the derived key are pinned: every stored score line was
// scrambled with this key.
TEST(UniqueKey, PinnedTaglineAndKey) {
  EXPECT_EQ(GameKey, "Keep Pibbo parachuting for as long as you can.");
  const std::string key = DeriveUniqueKey("Pibbo", "Zorravel", GameKey, 260);
  const std::string expected =
      "`6eD&Z>bGYA6b=&K2f-(N<I;[ZLW%g*36NO[X^R*(17BBL>c^*Y0!8\\U6Z;jG4`AiHcY8^G7S<NY$]\x1f"
      "*2-\"4G@L[X,%T.5(CIYXddX_55?0JCe3'W;\\:hY6V";
  EXPECT_EQ(key, expected);
  EXPECT_EQ(Scramble("abc", ""), Scramble("abc", expected));
}

TEST(UniqueKey, FormOfTheKey) {
  const std::string t = "Pibbo Zorravel";
  const std::string key = DeriveUniqueKey("Pibbo", "Zorravel", GameKey, 260);
  ASSERT_EQ(key.size(), 2 * (t.size() + GameKey.size()));
  for (size_t i = 0; i < key.size(); ++i) {
    const int c = static_cast<unsigned char>(key[i]);
    if (i % 2 == 0) {
      EXPECT_TRUE(c >= 31 && c <= 105) << i;
    } else {
      EXPECT_TRUE(c >= 36 && c <= 106) << i;
    }
  }
  GetUniqueKey();
  EXPECT_EQ(GameUniqueKey, key);
  GetUniqueKey();  // derived anew, same value
  EXPECT_EQ(GameUniqueKey, key);
}

TEST(Scramble, RoundTrips) {
  std::string allBytes;
  for (int c = 0; c < 256; ++c) allBytes.push_back(static_cast<char>(c));
  const std::string texts[] = {"x", "ab", "abc", "abcd", "Player|pass", std::string(1, '\0'),
                               allBytes, std::string(5000, 'z')};
  const std::string keys[] = {"", "7QM2RT8B", "k", std::string("\x1f\xff\x00", 3),
                              std::string(300, 'Q')};
  for (const auto& key : keys) {
    for (const auto& text : texts) {
      const std::string s = Scramble(text, key);
      ASSERT_EQ(s.size(), 2 * (text.size() + 12));
      EXPECT_EQ(s.find_first_not_of("0123456789ABCDEF"), std::string::npos);
      EXPECT_EQ(Unscramble(s, key), text) << "key size " << key.size();
      EXPECT_EQ(Scramble(text, key), s);  // deterministic
    }
  }
}

TEST(Unscramble, RefusesWhatItCannotUndo) {
  const std::string good = Scramble("950|Player|0", "");
  std::string lower = good;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string flipped = good;
  flipped[10] = flipped[10] == '0' ? '1' : '0';
  const std::string cases[] = {
      "",           "5",          "5|",        std::string(25, '0'),  good.substr(0, 25),
      good.substr(0, good.size() - 2),  good + "00", lower, flipped, "not a scrambled text at all",
      std::string(26, '0'), std::string(40, 'G'),
  };
  for (const auto& text : cases) EXPECT_EQ(Unscramble(text, ""), "XXX") << text;
  EXPECT_EQ(Unscramble(good, "another key"), "XXX");
  // A single unpaired digit at the end is ignored.
  EXPECT_EQ(Unscramble(good + "7", ""), "950|Player|0");
}

// Checksum fields that read as negative or huge numbers must be refused,
// not used to index the text.
TEST(Unscramble, HostileChecksumFieldsAreRefused) {
  const std::string key = "k";
  auto encode = [&key](const std::string& plain) {
    // Hand-built V with the key walk applied, as the final stage writes it.
    std::string out;
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < plain.size(); ++i) {
      const int c = static_cast<unsigned char>(plain[i]) ^ static_cast<unsigned char>(key[0]);
      out.push_back(kDigits[c >> 4]);
      out.push_back(kDigits[c & 15]);
    }
    return out;
  };
  EXPECT_EQ(Unscramble(encode("abcdefg-99999"), key), "XXX");
  EXPECT_EQ(Unscramble(encode("abcdefg$FFFFF"), key), "XXX");
  EXPECT_EQ(Unscramble(encode("abcdefg-2147483648"), key), "XXX");
}

}  // namespace
