// Score keeping: the score record, the scrambled score file "nuscores.dat",
// the checksummed text scrambler and the derived per-game key, calendar time
// stamps, name entry, bit flags and badges, and a few spare calendar, number
// and text transforms.
//
// Score keeping registers itself with the engine (InstallScoreKeeping): it
// builds the derived key and empties its tables at start-up, reads the score
// file at the first display opening and writes it in the closing sequence.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Score record
// ---------------------------------------------------------------------------
// One finished game, or one entry of an online table (then `GameMode` holds
// the bitwise complement of the difficulty: -1 Easy, -2 Medium, -3 Hard).
struct Scores {
  int64_t Score = 0;
  int64_t Timestamp = 0;  // calendar seconds, see Timestamp()
  int Badges = 0;         // bit k-1 = badge k (1..16)
  std::string Name;
  std::array<int, 31> Best{};  // used at 1..30; Best[30] == 1 marks a completed game
  int Level = 0;
  int GameMode = 0;
  int GameFlags = 0;
  int Quit = 0;

  // Newest first when sorted ascending: the low 32 bits of
  // other.Timestamp - Timestamp, as a signed int. Equal stamps give 0.
  int Compare(const Scores& other) const;
  // No record at all compares as 1 (never equal).
  int Compare(const Scores* other) const;
};

// Scratch record reference shared by the score code (the record a routine
// handled last).
extern std::shared_ptr<Scores> High;

// ---------------------------------------------------------------------------
// Score lists and the online account
// ---------------------------------------------------------------------------
extern std::shared_ptr<Scores> HighTable[50];
extern std::shared_ptr<Scores> ThisIsHigh;  // best entry of the local table on show (the upload's record)
extern TList<Scores> Highscores;  // local entries, newest first
extern TList<Scores> AltScores;   // online entries, newest first
extern std::string RegName;       // online account name
extern std::string RegPass;       // online account password
extern int ScoresLoaded;          // 1 once the score file has been read this run

// Empties the score lists, the account and the badge titles.
void ResetScoreTables();
// Registers score keeping's part of the start-up, the display set-up and
// the closing sequence with the engine.
void InstallScoreKeeping();

// ---------------------------------------------------------------------------
// Text scrambler and the derived per-game key
// ---------------------------------------------------------------------------
// Derived by GetUniqueKey at start-up; used whenever a key argument is "".
extern std::string GameUniqueKey;
// Key of the account line and of the account text sent to the score server.
extern std::string RegKey;
// The tagline the derived key is built from. Changing it makes every stored
// score line unreadable.
extern const std::string GameKey;

// Builds GameUniqueKey from GameName1, GameName2, GameKey and GameWeek.
int GetUniqueKey();
// The derivation itself, for explicit inputs.
std::string DeriveUniqueKey(const std::string& name1, const std::string& name2,
                            const std::string& tagline, int week);

// Checksum of a text: sum of code * 3 * position, reduced mod 4096 as it goes.
int ScrambleChecksum(const std::string& text);
// Upper-case hexadecimal, 2 * (length + 12) digits. key "" = GameUniqueKey.
std::string Scramble(const std::string& text, const std::string& key);
// The plain text, or "XXX" for anything that cannot be undone.
std::string Unscramble(const std::string& text, const std::string& key);
// The account's proof: RegName + "|" + RegPass scrambled with RegKey (the
// score file's first line, and what the requests send).
std::string AccountToken();

// ---------------------------------------------------------------------------
// Local score file
// ---------------------------------------------------------------------------
// Separator between the head fields and the Best values of a score line.
extern const std::string ScoreLineToken;  // "^)+=§!Q58kW3&" (Latin-1)
// Head fields joined by "|": Score|Name|Badges|Timestamp|Level|GameMode|GameFlags|Quit
std::string ScoreLineHead(const Scores& record);
// Best[1..30] joined by "|".
std::string ScoreLineBest(const Scores& record);
// Head + token + Best values: the plain text of one line of the score file.
std::string ScoreLinePlain(const Scores& record);
// Reads the plain text of a score line; empty when the line is not a record.
std::shared_ptr<Scores> ParseScoreLine(const std::string& plain);

// Whether a record belongs to the table of one difficulty (`mode`), level
// and flags: the records a score table shows and keeps.
bool InTable(const Scores& record, int mode, int level, int flags);
// The best records (at most `rows`) of that table in `list`, best first,
// written to out[0..]; the count written. Of equal scores the one nearer
// the list's front ranks higher (the newer, in a list kept newest first).
int BestOfTable(const TList<Scores>& list, int mode, int level, int flags, std::shared_ptr<Scores>* out, int rows);

int SaveScores();  // rewrites "nuscores.dat" in the current folder
// Called inside a save, its locks held (or waited out), once the files are
// read and merged and before anything is written: tests hold a save there.
extern std::function<void()> ScoreSaveHeld;
int LoadScores();  // reads it when it exists
// Makes the folder of the score file current: the per-game folder, else
// "Files/" (the file lies there when the per-game folder is missing), else
// the program's folder (no score file then: only the spare in the data
// folder). False when it could not be entered.
bool EnterScoreFolder();
// Where EnterScoreFolder found the score file's folder: LoadScores and
// SaveScores use no score file at all for kScoresNowhere.
enum { kScoresInGameFolder = 0, kScoresInFilesFolder = 1, kScoresNowhere = 2 };
extern int ScoreFolderUsed;

// ---------------------------------------------------------------------------
// Calendar time stamps (12 months of 31 days)
// ---------------------------------------------------------------------------
// Stamp of the date text ("DD Mon YYYY"; "" = today) at the current time of
// day; date and time come from one reading of the clock.
int64_t Timestamp(const std::string& date = "");
// Stamp of explicit date ("DD Mon YYYY") and time ("HH:MM:SS") texts.
int64_t StampFromTexts(const std::string& date, const std::string& time);
std::string StampTime(int64_t stamp);  // "HH:MM:SS"
std::string StampDate(int64_t stamp);  // "DD-MM-YYYY"

// ---------------------------------------------------------------------------
// Name entry
// ---------------------------------------------------------------------------
extern std::string MyName;          // "Player" until a name is loaded or typed
constexpr int kMaxNameLength = 24;  // longest player name the entry takes

// One frame of line editing: one typed character (codes 32..255, no "|"),
// then one Backspace. maxLength > 0 refuses characters beyond that length.
std::string Inputter(const std::string& text, int maxLength = 0);
// The modal "Enter Your Name" screen; edits MyName.
int GetPlayerName();
// A typed name as a record can carry it: without the score line's
// separator token. The name entry ends with it, however it ends.
std::string CleanPlayerName(const std::string& name);

// ---------------------------------------------------------------------------
// Bit flags and badges
// ---------------------------------------------------------------------------
extern int Mybadges;            // badges of the current game
extern std::string BadgeT[16];  // badge titles (all empty in this game)

int GetFlag(int value, int n);          // flags 1..32
int SetFlag(int value, int n, int on);  // flags 1..30; bits 30, 31 cleared
int GiveBadge(int n);                   // badges 1..16

// ---------------------------------------------------------------------------
// Calendar utilities, number formatting, text transforms
// ---------------------------------------------------------------------------
std::string MillstoTime(int millis, int secondsFlag, int minutesFlag, int hoursFlag);
int CalenderDay(const std::string& date);   // "DD-MM-YYYY" -> 0 Sunday .. 6 Saturday
int CalenderDays(const std::string& date);  // days in that month
std::string MonthName(int month, int form);  // form 0 short, 1 long

std::string MoneyDisplay(int value, const std::string& prefix);

std::string XorEncrypt(const std::string& text);
std::string XorDecrypt(const std::string& text);

std::string Kwamp(const std::string& text);
std::string Unkwamp(const std::string& packed);
