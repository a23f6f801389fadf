// Globals of score keeping, defined once here.
#include "scores/scores.h"

std::shared_ptr<Scores> High;

std::string GameUniqueKey;
std::string RegKey = "7QM2RT8B";
// Never change this text: the score lines of every existing "nuscores.dat"
// are scrambled with the key derived from it.
const std::string GameKey = "Keep Pibbo parachuting for as long as you can.";

// "^)+=" section-sign "!Q58kW3&": 13 characters, the section sign as its
// Latin-1 byte.
const std::string ScoreLineToken = "^)+=\xA7!Q58kW3&";

std::string MyName = "Player";

int Mybadges = 0;
std::string BadgeT[16];
