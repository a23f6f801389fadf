// assetgen <Files folder>
//
// Writes every generated image and sound of the run folder:
//   Common/  icons.png, logo.png, Drennic.png, badgeget.wav
//   260/     logo.png, pibbo.png, pollen.png, flower.png, star.png,
//            poof.png, badges.png, tune.ogg, NNN.wav sound effects
//   260/music/ d1-N, d2-N, bassN, leadN, accompanyN .wav (N 1..8)
// Files written by the game itself (Setup.ini, Debug.txt, nuscores.dat)
// are never touched.
#include <cstdio>
#include <string>

#include "assetgen.h"

using namespace assetgen;

namespace {

int failures = 0;

void Save(const std::string& path, const Bytes& data) {
  if (data.empty() || !WriteIfChanged(path, data)) {
    std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
    ++failures;
  }
}

std::string Three(int n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%03d", n);
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: assetgen <Files folder>\n");
    return 2;
  }
  std::string files = argv[1];
  while (files.size() > 1 && files.back() == '/') files.pop_back();
  const std::string common = files + "/Common/";
  const std::string game = files + "/260/";
  if (!MakeDirs(common) || !MakeDirs(game + "music")) {
    std::fprintf(stderr, "assetgen: cannot create the folders under %s\n", files.c_str());
    return 1;
  }

  Save(common + "icons.png", EncodePng(MakeIcons()));
  Save(common + "logo.png", EncodePng(MakeMakerLogo()));
  Save(common + "Drennic.png", EncodePng(MakeCommunityLogo()));
  Save(common + "badgeget.wav", EncodeWav16(MakeBadgeJingle()));

  Save(game + "logo.png", EncodePng(MakeGameLogo()));
  Save(game + "pibbo.png", EncodePng(MakeHero()));
  Save(game + "pollen.png", EncodePng(MakeSeed()));
  Save(game + "flower.png", EncodePng(MakeFlower()));
  Save(game + "star.png", EncodePng(MakeStar()));
  Save(game + "poof.png", EncodePng(MakePoof()));
  Save(game + "badges.png", EncodePng(MakeBadges()));

  for (int n = 1; n <= 200; ++n) {
    Wave w = MakeSfx(n);
    if (!w.empty()) Save(game + Three(n) + ".wav", EncodeWav16(w));
  }
  Save(game + "tune.ogg", EncodeOgg(MakeTune(), 0.2f));

  static const char* const kGroups[5] = {"d1-", "d2-", "bass", "lead", "accompany"};
  for (int g = 0; g < 5; ++g)
    for (int n = 1; n <= 8; ++n)
      Save(game + "music/" + kGroups[g] + std::to_string(n) + ".wav", EncodeWav16(MakeInstrument(g, n)));

  return failures ? 1 : 0;
}
