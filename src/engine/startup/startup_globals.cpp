// The globals of the start-up and configuration, defined once.
#include "engine/startup/startup.h"

int GameWeek = 260;
std::string ScoreServer;
std::string GameName1 = "Pibbo";
std::string GameName2 = "Zorravel";
std::string GameName;

float GradR = 1.0f, GradG = 0.0f, GradB = 0.2f;
float AimGradR = 1.0f, AimGradG = 0.0f, AimGradB = 0.2f;

int Options[100];
int ResolutionW[2500];
int ResolutionH[2500];
int MostResses = 0;
Font Fonts[20];
Font Fontb[100];

int StickCount = 0;
std::string Stick[5];
int StickBut[5];
float StickX[5], StickY[5], StickZ[5], StickU[5], StickV[5], StickR[5];
int StickHat[5];
int StickOn[5];


int KeyV[101];
std::vector<std::string> AuxDrivers;
int AudioDriverChosen = 0;
Stream DebugFile;

int MyScrw = 800, MyScrh = 600;
int JScrw = 1280, JScrh = 960;
int FirstRun = 0;

std::string MainFont = "SVBasicManual";
std::string SubFont = "Blue Highway";
Image CommonIconsF;
Image CommonIcons;
Image logo;
Image DrennicLogo;
Sound BadgeGet;
Image BadgeIcons;

int MouseInput = 0;
int AvailablePlayers = 0;
int GameBadges = 0;

std::string FilesDir;
std::string GameDir;
std::string CommonDir;
