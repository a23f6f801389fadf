// The frame services' globals, defined once.
#include "engine/frame/frame.h"

TList<ment> comments;
TList<ore> scoreget;

int SkipDraw = 0;
int LastFrame = 0;
int Frametook = 0;
int frameavg = 0;
int FramesPerSec = 0;
int DebugMode = 1;
int mx = 0, my = 0;
int wx = 0, wy = 0;
int MouseClaimant = 0;
int mh1 = 0, mh2 = 0;
int InGame = 0;
int fc = 0;
float fvf = 0.0f;
int UseFPS = 60;
int OptionScreen = 0;
int GameStart = 0;
float scrx = 0, scry = 0;

int PreBlend = 0;
int DrawMax[20] = {};
int DrawCount[20] = {};

int Channel[260] = {};
float ChannelVol[260] = {};
int LChan = 20;
int MusicChannel = 0;
Sound sfx[201];
