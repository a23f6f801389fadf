// Gameplay: the game's record types and lists, its asset loading and one
// complete game of Pibbo.
//
// A game is one call of PlayGame: StartGame deals the field, then PlayFrame
// runs once per displayed frame until the game is over, and EndGame slows
// the music, asks for the player's name and files the new score record.
// Each frame is a fixed run of steps (below, in the order PlayFrame runs
// them) over the hero's globals and the per-game state `play`.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/platform.h"

struct Scores;

// ---------------------------------------------------------------------------
// Records and their lists
// ---------------------------------------------------------------------------
// Records compare by identity: removing one from its list removes that very
// record, never another with the same values.

// One background star of the play field.
struct rs {
  float x = 0, y = 0, xs = 0, ys = 0, size = 0, rot = 0, rotgo = 0;
  int dark = 0;  // grey level 0, 50, .. 250
  int Compare(const rs& other) const { return this == &other ? 0 : 1; }
};

// One expanding, fading puff where a seed was caught in flight or a
// flower picked.
struct poof {
  float x = 0, y = 0, s = 0, alp = 0;
  int r = 0, g = 0, b = 0;  // g below 200: a flower's puff, shorter lived
  int Compare(const poof& other) const { return this == &other ? 0 : 1; }
};

// One drifting seed (t 0) or bonus flower (t 2).
struct lion {
  float x = 0, y = 0, xs = 0, ys = 0, rot = 0, rotgo = 0;
  int held = 0;  // frames this seed still counts as the one just ridden
  int t = 0;
  int Compare(const lion& other) const { return this == &other ? 0 : 1; }
};

constexpr int kFlower = 2;

extern TList<rs> stars;
extern TList<poof> shapoofs;
extern TList<lion> dandys;  // the seeds, then the five flowers
extern std::shared_ptr<rs> sta;
extern std::shared_ptr<lion> dand;
extern std::shared_ptr<poof> sha;

// ---------------------------------------------------------------------------
// Game state
// ---------------------------------------------------------------------------
extern float px, py;    // the hero's position on the virtual screen
extern float pd;        // flight speed; exactly 0 at rest (ground or seed)
extern float pa;        // heading in degrees: 0 up, positive leaning left
extern int hops;        // seeds caught in flight since the last ground contact
extern int landings;    // spare landings left; the landing that makes it -1 ends the game
extern int64_t score;   // points of the current game
extern int u;           // chain sound of the latest hop

extern float SmAng[100];   // aim history (degrees), elements 0..10 used
extern float SmDist[100];  // aim distance history, elements 0..10 used
extern int MyBest[31];     // per-game best values, 1..30
extern int GameMode;       // 0 Easy, 1 Medium, 2 Hard
extern int GameLevel;
extern int GameFlags;

// What one game keeps from frame to frame.
struct PlayState {
  int endFlag = 0;        // 1 after the last landing, 99 after Quit on the pause screen
  int64_t airPoints = 0;  // points of the current flight, not yet paid
  float spin = 0;         // the hero's drawing rotation
  int grace = 0;          // frames of catch protection left after a launch
  float prevY = 0;        // py after the previous frame's flight step
  float musicRate = 1;    // the music's rate during the end-of-game slow-down
  int hasFired = 0;       // 1 from the first launch on; the aiming hints show until then
  int fireLatch = 1;      // 1 while the left button must be let go before a shot
  int dashPhase = 0;      // 0..79, moves the dashes of the trajectory preview
  float aimAng = 0, aimDist = 0;  // this frame's pointer angle and distance from the hero
  float avgAng = 0, avgDist = 0;  // their averages over 11 frames
  bool aimValid = false;
  bool fired = false;     // this frame's fire test passed
  bool inProgress = false;  // from the deal until the game's record is made
};
extern PlayState play;

// The flight rule's constants.
constexpr float kTurnStep = 0.55f;
constexpr float kStepX = 0.35f;
constexpr float kStepY = 0.4f;

// ---------------------------------------------------------------------------
// Assets
// ---------------------------------------------------------------------------
extern Image gamelogo, pibbo, chute, flower, astar, poofy;
extern Sound tune;

// Back to the start values (GameMode 1, everything else 0).
void ResetGameTables();
// Registers the game with the engine: its tables at start-up, its assets
// at every display opening, the score that pop-ups pay into, and the
// record of a finished game that a close request must not lose.
void InstallGame();

// The engine test, the music generator's samples, then the game's images
// and tune. A file that cannot be loaded leaves its handle empty.
int LoadGame();

// ---------------------------------------------------------------------------
// One game
// ---------------------------------------------------------------------------
int PlayGame();

// The deal of a new game: stars, seeds and flowers from the random
// generator, the hero at rest in the middle of the ground.
void StartGame();
// One frame of play, ended by fps; answers play.endFlag.
int PlayFrame();
// The "Game Over" banner over the last frame.
void GameOverBanner();
// Music slow-down, name entry and the new record in Highscores.
void EndGame();

// The frame's steps, in order.
void FrameOpening();    // clear, keep the tune playing, backdrop
void StarField();       // drift, spin and draw the stars
void AimAndFire();      // sample and smooth the aim; play.aimValid, play.fired
void LaunchAndPreview();  // the launch, the dashed preview, the aim line
void FlightStep();      // move, walls, top limit, turn, spin, landing, air count
void GroundAndHero();   // prevY, grace, ground line, flight points, the hero
void SeedCatch(lion& l);
void FlowerPick(lion& l);
void DriftAndDraw(lion& l);
void SeedsAndFlowers();  // the walk over dandys: catch, pick, drift for each
void PuffStep();
void WallsAndHud();

// The flight rule, shared by the flight and its preview: one frame's move
// along heading h at speed s, and the turn toward the ground up to `limit`
// degrees. A heading of exactly 0 in flight leans left by one step, so a
// shot straight up comes back down.
void FlightMove(float& x, float& y, float h, float s);
void FlightTurn(float& h, float limit);

// The record of the game whose name is being entered, filed by the closing
// sequence if the program ends first; empty otherwise.
extern std::shared_ptr<Scores> PendingRecord;
// The record of the game as it stands: points paid so far, badges, bests,
// table selectors, quit unless its last landing ended it. No name or time
// stamp yet.
std::shared_ptr<Scores> GameRecord();
