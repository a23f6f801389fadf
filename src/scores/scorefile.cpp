// The local score file "nuscores.dat": the scrambled account line, then one
// scrambled score line per local record, newest first.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "engine/startup/startup.h"
#include "scores/scores.h"

namespace {

const char kScoreFile[] = "nuscores.dat";

// Field n (from 1) of a text split at "|"; "" when the text has fewer fields.
std::string Field(const std::string& text, int n) {
  size_t start = 0;
  for (int i = 1; i < n; ++i) {
    const size_t bar = text.find('|', start);
    if (bar == std::string::npos) return "";
    start = bar + 1;
  }
  const size_t end = text.find('|', start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

std::string ScoreLineHead(const Scores& r) {
  return std::to_string(r.Score) + "|" + r.Name + "|" + std::to_string(r.Badges) + "|" +
         std::to_string(r.Timestamp) + "|" + std::to_string(r.Level) + "|" +
         std::to_string(r.GameMode) + "|" + std::to_string(r.GameFlags) + "|" +
         std::to_string(r.Quit);
}

std::string ScoreLineBest(const Scores& r) {
  std::string s;
  for (int k = 1; k <= 30; ++k) {
    if (k > 1) s += "|";
    s += std::to_string(r.Best[k]);
  }
  return s;
}

std::string ScoreLinePlain(const Scores& r) {
  return ScoreLineHead(r) + ScoreLineToken + ScoreLineBest(r);
}

std::shared_ptr<Scores> ParseScoreLine(const std::string& plain) {
  const std::string t = Trim(plain);
  const size_t at = t.find(ScoreLineToken);
  const std::string head = at == std::string::npos ? t : t.substr(0, at);
  std::string tail = t;
  if (at != std::string::npos) {
    const size_t from = at + ScoreLineToken.size();
    const size_t next = t.find(ScoreLineToken, from);
    tail = t.substr(from, next == std::string::npos ? std::string::npos : next - from);
  }
  if (head.find('|') == std::string::npos) return nullptr;

  auto r = std::make_shared<Scores>();
  r->Score = ToLong(Field(head, 1));
  r->Name = Trim(Field(head, 2));
  r->Badges = Abs(ToInt(Field(head, 3)));
  r->Timestamp = ToLong(Field(head, 4));
  r->Level = Abs(ToInt(Field(head, 5)));
  r->GameMode = Abs(ToInt(Field(head, 6)));
  r->GameFlags = Abs(ToInt(Field(head, 7)));
  r->Quit = Abs(ToInt(Field(head, 8)));
  for (int k = 1; k <= 30; ++k) r->Best[k] = Abs(ToInt(Field(tail, k)));
  return r;
}

namespace {

// This run's file when "nuscores.dat" could not take it: beside it, or else
// in the player's data folder. The next start reads both back.
const char kBesideFile[] = "nuscores.dat.unsaved";

// How often each plain score line occurs: the identity of a record, so that
// a save that merges what a file holds now with this run's list takes each
// game once.
using LineCounts = std::map<std::string, int>;

// Set once an original that held lines that could not be read has been
// copied aside in this run.
std::set<std::string> gOriginalsKept;
// The records as this run read them at start (or saved them last): a
// record a file holds beyond these was added by another copy of the game
// since, and a save takes it in.
LineCounts gCountsRead;
// The account as read at start (or saved last), "name|pass"; another
// copy's account change is taken in while this run made none.
std::string gAccountRead;
bool gAccountWasRead = false;

// No folder for the score file: "Files/" is missing (a missing per-game
// folder leaves the file in "Files/").
bool NoScoreFolder() { return ScoreFolderUsed == kScoresNowhere; }

// The spare score file in the data folder for the game folder we are in.
std::string DataFile() { return KeptFileFor("scores", CurrentDir(), kScoreFile); }

// Where this run's file goes when "nuscores.dat" cannot take it, in the
// order tried: beside it, then the data folder (when it is known).
std::vector<std::string> SpareFiles() {
  std::vector<std::string> places;
  if (!NoScoreFolder()) places.push_back(kBesideFile);
  if (std::string data = DataFile(); !data.empty()) places.push_back(std::move(data));
  return places;
}

// The files of copies that could not have the lock for their save, because
// another copy's save went on past the wait: each is made new, never
// replacing anything, as "nuscores.dat.unsaved2" ... "nuscores.dat.unsaved9"
// beside the score file, then in the data folder. Saves with the lock read
// them and, once what they hold is saved, remove them.
constexpr int kOwnSpares = 8;
std::vector<std::string> OwnSpareFiles() {
  std::vector<std::string> places;
  std::vector<std::string> folders;
  if (!NoScoreFolder()) folders.push_back("");
  if (const std::string data = DataFile(); !data.empty()) {
    folders.push_back(std::filesystem::path(data).parent_path().string() + "/");
  }
  for (const std::string& folder : folders) {
    for (int n = 2; n < 2 + kOwnSpares; ++n) places.push_back(folder + kBesideFile + std::to_string(n));
  }
  return places;
}

// Copies a score file that holds lines that could not be read to the first
// free name + ".bad", ".bad2", ... (made new: whatever stands at a name
// is never touched), once per run. False, and why, when no copy was made.
bool KeepOriginal(const std::string& file, std::string& why) {
  if (gOriginalsKept.count(file)) return true;
  std::string bytes;
  errno = 0;
  if (!ReadWholeFile(file, bytes)) {
    why = std::strerror(errno ? errno : EIO);
    return false;
  }
  for (int n = 1; n < 1000; ++n) {
    const std::string name = file + ".bad" + (n == 1 ? "" : std::to_string(n));
    // Whatever stands at a name (a file, a node, a link that leads nowhere
    // or in a circle) is the player's: the copy takes a free name, made new.
    bool taken = false;
    if (!SaveBytesNew(name, bytes, &why, &taken)) {
      if (taken) continue;
      return false;
    }
    gOriginalsKept.insert(file);
    const bool main = file == kScoreFile;
    Debug(std::string(main ? "The score file" : "The scores kept in " + file) +
          " had lines that could not be read; the original is kept as " + name);
    ReportClosingProblem((main ? "The score file " : "The scores kept in ") + ShownPath(file) +
                         " had lines that could not be read: they were left out, and the original is kept as " +
                         ShownPath(name) + ".");
    return true;
  }
  why = "every name for a copy is taken";
  return false;
}

// One score file as read: its lines, the account, if its line was
// readable, and the records in file order.
struct ReadFileResult {
  std::string path;
  std::vector<std::string> lines;
  bool accountRead = false;
  std::string name, pass;
  std::vector<std::shared_ptr<Scores>> records;
  bool whole = true;  // every line could be read
  std::filesystem::file_time_type written{};
  std::pair<unsigned long, unsigned long> id{};  // the file read (device, inode)
};

bool ReadScoreFile(const std::string& path, ReadFileResult& out) {
  out.path = path;
  std::vector<std::string>& lines = out.lines;
  const auto before = FileIdentity(path);
  if (!LoadLines(path, lines)) return false;
  // Another copy that made the file anew meanwhile: not a file we read.
  out.id = FileIdentity(path) == before ? before : std::pair<unsigned long, unsigned long>{};
  std::error_code ec;
  out.written = std::filesystem::last_write_time(path, ec);
  // A line break at the end leaves an empty last line: that is no damage.
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  // An empty file holds nothing, and nothing of it is damaged.
  if (lines.empty()) return true;
  // The account line is taken exactly as written: a password may end, and
  // a name begin, with a blank.
  const std::string account = Unscramble(lines.empty() ? "" : lines[0], RegKey);
  if (account.find('|') != std::string::npos) {
    out.accountRead = true;
    out.name = Field(account, 1);
    out.pass = Field(account, 2);
  } else {
    out.whole = false;
  }
  for (size_t i = 1; i < lines.size(); ++i) {
    // Every stored line is scrambled; too short to hold a checksum is
    // damaged like any line that fails its check.
    auto record = ParseScoreLine(Unscramble(lines[i], ""));
    if (record) {
      out.records.push_back(record);
    } else if (lines[i].size() > 2) {
      out.whole = false;
    }
  }
  return true;
}

// What the score file and its spare files hold, read at start and again by
// each save (under the folders' locks, so another copy's save is whole).
struct Holdings {
  std::vector<ReadFileResult> files;  // "nuscores.dat" (or its copy) first
  bool mainRead = false;              // "nuscores.dat" itself was read
  bool mainDamaged = false;           // it held lines that could not be read
  std::string mainUnreadable;         // why it could not be read at all
  std::vector<std::string> mainLines; // its lines as read
  std::map<std::string, std::pair<unsigned long, unsigned long>> wholeSpares;  // spare files read whole
  std::set<std::string> damagedSpares;
  std::map<std::string, std::string> unreadableSpares;  // spare file -> why
};

Holdings ReadHoldings(bool atStart) {
  Holdings h;
  const int type = NoScoreFolder() ? 0 : FileType(kScoreFile);
  // A rewrite in place that was cut short left the file a first part of
  // the copy it made first: the copy holds everything, the file is no damage.
  const std::string data = DataFile();
  const bool cutShort = type == 1 && !data.empty() && FileType(data) == 1 && IsFirstPartOf(kScoreFile, data);
  if (cutShort) {
    if (atStart) {
      Debug("\tThe last save of " + std::string(kScoreFile) + " was cut short; its copy in " + data + " is read");
    }
  } else if (type == 1) {
    ReadFileResult read;
    errno = 0;
    if (ReadScoreFile(kScoreFile, read)) {
      h.mainRead = true;
      h.mainDamaged = !read.whole;
      h.mainLines = read.lines;
      h.files.push_back(std::move(read));
    } else {
      // Unreadable as a whole: it is left as it is.
      h.mainUnreadable = std::strerror(errno ? errno : EIO);
      Debug("Could not read " + std::string(kScoreFile) + " : " + h.mainUnreadable + "; it is left as it is");
    }
  } else if (type == 2 && atStart) {
    Debug("\tA folder has the name of the score file " + std::string(kScoreFile));
  }
  std::vector<std::string> spares = SpareFiles();
  for (const std::string& own : OwnSpareFiles()) {
    if (NameTaken(own)) {
      spares.push_back(own);
    } else if (atStart) {
      const std::filesystem::path at(own);
      RemoveStaleTemporaries(at.has_parent_path() ? at.parent_path().string() : ".", at.filename().string());
    }
  }
  for (const std::string& spare : spares) {
    if (atStart) {
      // A save of the spare file that was cut short left its temporary file.
      const std::filesystem::path at(spare);
      RemoveStaleTemporaries(at.has_parent_path() ? at.parent_path().string() : ".", at.filename().string());
    }
    if (IsSpecialFile(spare)) {
      h.unreadableSpares[spare] = "it is not a regular file";
      continue;
    }
    if (FileType(spare) != 1) continue;
    ReadFileResult read;
    errno = 0;
    if (!ReadScoreFile(spare, read)) {
      h.unreadableSpares[spare] = std::strerror(errno ? errno : EIO);
      if (atStart) Debug("Could not read " + spare + " : " + h.unreadableSpares[spare] + "; it is left as it is");
      continue;
    }
    if (atStart) Debug("\tReading the scores kept in " + spare);
    if (read.whole) {
      h.wholeSpares[spare] = read.id;
    } else {
      h.damagedSpares.insert(spare);
    }
    h.files.push_back(std::move(read));
  }
  return h;
}

// The file whose account line was written last; null when no file's
// account line could be read.
const ReadFileResult* NewestAccount(const std::vector<ReadFileResult>& files) {
  const ReadFileResult* newest = nullptr;
  for (const ReadFileResult& f : files) {
    if (f.accountRead && (!newest || f.written > newest->written)) newest = &f;
  }
  return newest;
}

LineCounts CountsOf(const std::vector<std::shared_ptr<Scores>>& records) {
  LineCounts counts;
  for (const auto& record : records) ++counts[ScoreLinePlain(*record)];
  return counts;
}

// Per line, the most any one of the files holds it: a record that two
// files hold is one record.
LineCounts CountsHeld(const Holdings& h) {
  LineCounts most;
  for (const ReadFileResult& f : h.files) {
    for (const auto& [line, n] : CountsOf(f.records)) most[line] = std::max(most[line], n);
  }
  return most;
}

// The local records of the list (online entries are not kept locally).
std::vector<std::shared_ptr<Scores>> LocalRecords() {
  std::vector<std::shared_ptr<Scores>> local;
  for (const auto& record : Highscores) {
    if (record->GameMode >= 0) local.push_back(record);
  }
  return local;
}

// As the Hiscore tab keeps a table (one difficulty, level and flags): its
// 50 newest records and its 25 best. The list is sorted newest first.
constexpr int kTableRows = 25;
constexpr int kTableNewest = 50;

void TrimTable(int mode, int level, int flags) {
  std::vector<std::shared_ptr<Scores>> table;
  for (const auto& r : Highscores) {
    if (InTable(*r, mode, level, flags)) table.push_back(r);
  }
  if (static_cast<int>(table.size()) <= kTableNewest) return;
  std::shared_ptr<Scores> best[kTableRows];
  const int count = BestOfTable(Highscores, mode, level, flags, best, kTableRows);
  for (size_t i = kTableNewest; i < table.size(); ++i) {
    if (std::find(best, best + count, table[i]) == best + count) Highscores.RemoveLink(table[i]);
  }
}

// Takes into the list what the files hold now beyond what this run read:
// the games and the account another copy of the game saved meanwhile.
// The tables that got records are trimmed as the Hiscore tab trims them.
void MergeHoldings(const Holdings& h) {
  // Per line, how many more the files hold than this run read: a game this
  // run played too (the very same line) is still another game.
  LineCounts missing;
  for (const auto& [line, n] : CountsHeld(h)) {
    const auto read = gCountsRead.find(line);
    const int more = n - (read == gCountsRead.end() ? 0 : read->second);
    if (more > 0) missing[line] = more;
  }
  std::set<std::tuple<int, int, int>> tables;
  int taken = 0;
  for (const ReadFileResult& f : h.files) {
    for (const auto& record : f.records) {
      auto it = missing.find(ScoreLinePlain(*record));
      if (it == missing.end() || it->second == 0) continue;
      --it->second;
      ++gCountsRead[it->first];
      ListAddLast(Highscores, record);
      tables.insert({record->GameMode, record->Level, record->GameFlags});
      ++taken;
    }
  }
  if (taken > 0) {
    Debug("\tTaking in " + std::to_string(taken) + " scores saved meanwhile by another copy of the game");
    SortList(Highscores);
    for (const auto& [mode, level, flags] : tables) TrimTable(mode, level, flags);
  }
  // The account: ours when this run changed it, else the one saved last.
  const ReadFileResult* newest = NewestAccount(h.files);
  if (gAccountWasRead && RegName + "|" + RegPass == gAccountRead) {
    if (newest) {
      RegName = newest->name;
      RegPass = newest->pass;
    }
  } else if (gAccountWasRead && newest && newest->name + "|" + newest->pass != gAccountRead &&
             newest->name + "|" + newest->pass != RegName + "|" + RegPass) {
    // Both changed it: the change saved last (ours) is kept.
    Debug("\tAnother copy of the game changed the account meanwhile; this run's change is kept instead");
    ReportClosingProblem("Another copy of the game changed the account to \"" + newest->name +
                         "\" meanwhile; this run's change (\"" + RegName + "\") is kept instead, and the other one is "
                         "dropped.");
  }
}

// Says that this run's games are lost, and why.
void TellLost(const std::string& why, int newGames) {
  const std::string lost = newGames == 0   ? "this run's account changes are lost."
                           : newGames == 1 ? "the game of this run and any account change are lost."
                                           : "the " + std::to_string(newGames) +
                                                 " games of this run and any account change are lost.";
  ReportClosingProblem("They could not be kept anywhere else either (" + why + "): " + lost);
}

// After a save into `savedIn`, the spare files read whole go: each only
// when it is still the very file read (no copy made it anew since) and is
// not the file just saved (a score file may be a link to its spare).
// `ownOnly`: only the files of copies that saved without the lock.
void RemoveSavedSpares(const Holdings& h, const std::string& savedIn, bool ownOnly = false) {
  const auto saved = FileIdentity(savedIn);
  const std::vector<std::string> own = OwnSpareFiles();
  for (const auto& [spare, id] : h.wholeSpares) {
    if (spare == savedIn || (ownOnly && std::find(own.begin(), own.end(), spare) == own.end())) continue;
    const auto at = FileIdentity(spare);
    if (at == saved) {
      Debug("\t" + spare + " is the file the scores were saved in; it stays");
      continue;
    }
    if (at != id || id.second == 0) {
      Debug("\t" + spare + " was made anew since it was read; it stays");
      continue;
    }
    std::error_code ec;
    if (std::filesystem::remove(spare, ec)) Debug("\tRemoved " + spare + ", now saved in " + savedIn);
  }
}

// After a save: what the files hold is this list.
void NoteSaved() {
  gCountsRead = CountsOf(LocalRecords());
  gAccountRead = RegName + "|" + RegPass;
  gAccountWasRead = true;
}

// A save without the lock (another copy's save went on past the wait):
// this run's file, merged with what the files held as it read them, is
// made new under a name of its own, replacing nothing, and the next start
// reads it back with the others.
int KeepBesideAnotherSave(const std::vector<std::string>& lines, int newGames) {
  Debug("\tAnother copy of the game kept its save going past " + std::to_string(SaveLock::kWaitMs / 1000) +
        " s; this run's scores go to a file of their own");
  ReportClosingProblem("The scores could not be saved to " + ShownPath(kScoreFile) +
                       ": another copy of the game was saving its scores there and kept at it past " +
                       std::to_string(SaveLock::kWaitMs / 1000) + " s, so what it writes is left to it.");
  std::string keptAt, why = "there is no data folder";
  std::string skip;  // a folder that takes no new file
  for (const std::string& place : OwnSpareFiles()) {
    const std::string folder = std::filesystem::path(place).parent_path().string();
    if (!skip.empty() && folder == skip) continue;
    bool taken = false;
    if (place[0] == '/' && !MakeFolderPath(folder, &why)) {
      skip = folder;
      continue;
    }
    if (SaveLinesNew(place, lines, &why, &taken)) {
      keptAt = place;
      break;
    }
    if (!taken) skip = folder;
    Debug("\tCould not keep the scores in " + place + " : " + why);
  }
  if (keptAt.empty()) {
    TellLost(why, newGames);
    return 0;
  }
  NoteSaved();
  Debug("\tThe scores are kept in " + keptAt);
  ReportClosingProblem("They are kept in " + ShownPath(keptAt) + ", and the next start reads them back.");
  return 0;
}

}  // namespace

std::function<void()> ScoreSaveHeld;

int SaveScores() {
  // Another copy of the game saving into the same folders finishes first;
  // then what the files hold now is read and merged with this run's list.
  // One wait, for all the folders together.
  std::vector<std::string> lockFiles;
  if (!NoScoreFolder()) lockFiles = {kScoreFile, kBesideFile};
  if (const std::string data = DataFile(); !data.empty()) lockFiles.push_back(data);
  const SaveLock lock(lockFiles);

  // This run's games: those the files did not hold when it read them.
  int newGames = 0;
  for (const auto& [line, n] : CountsOf(LocalRecords())) {
    const auto read = gCountsRead.find(line);
    newGames += std::max(0, n - (read == gCountsRead.end() ? 0 : read->second));
  }
  const Holdings now = ReadHoldings(false);
  MergeHoldings(now);

  std::vector<std::string> lines;
  lines.push_back(AccountToken());
  SortList(Highscores);
  for (const auto& record : Highscores) {
    High = record;
    if (record->GameMode < 0) continue;  // online entries are not kept locally
    lines.push_back(Scramble(ScoreLinePlain(*record), ""));
  }
  if (ScoreSaveHeld) ScoreSaveHeld();
  // Another copy's save went on past the wait: what it writes is not
  // replaced under it. This run's file is made new beside it instead.
  if (lock.WaitedOut()) return KeepBesideAnotherSave(lines, newGames);

  // A damaged original is copied aside before it is replaced; when that
  // cannot be done it stays as it is and this run's file goes elsewhere.
  // One that could not be read at all is never replaced.
  std::string problem;
  bool mayReplace = true;
  if (NoScoreFolder()) {
    mayReplace = false;
    problem = "The folder Files/ is missing, so the scores have no score file.";
  } else if (!now.mainUnreadable.empty()) {
    mayReplace = false;
    problem = "The scores could not be saved to " + ShownPath(kScoreFile) + ": it could not be read (" +
              now.mainUnreadable + "), so it is left as it was.";
  } else if (now.mainDamaged) {
    std::string why;
    if (!KeepOriginal(kScoreFile, why)) {
      mayReplace = false;
      problem = "The scores could not be saved to " + ShownPath(kScoreFile) +
                ": it is damaged and could not be copied aside (" + why + "), so it is left as it was.";
      Debug("\tCould not keep a copy of the damaged score file : " + why);
    }
  }
  // A spare file may be replaced once it was read whole, or a damaged one
  // copied aside; one that could not be read stays as it is. Answers why not.
  auto spareWhyNot = [&now](const std::string& spare) -> std::string {
    if (auto it = now.unreadableSpares.find(spare); it != now.unreadableSpares.end()) {
      return "it could not be read (" + it->second + "), so it is left as it was";
    }
    std::string why;
    if (now.damagedSpares.count(spare) && !KeepOriginal(spare, why)) {
      return "it is damaged and could not be copied aside (" + why + "), so it is left as it was";
    }
    return "";
  };

  std::string keptAt, lastWhy;
  if (mayReplace) {
    std::string why;
    int inPlace = 0;
    // A rewrite in place first keeps its content whole in the data folder's
    // spare file (which the save then removes).
    // (The save itself leaves a spare file that cannot be read as it is.)
    std::string copy = DataFile();
    std::string copyWhy;
    if (now.damagedSpares.count(copy) && !KeepOriginal(copy, copyWhy)) {
      Debug("\tThe scores kept in " + copy + " are damaged and could not be copied aside : " + copyWhy);
      copy.clear();
    }
    if (SaveLinesAtomic(kScoreFile, lines, &why, copy, &inPlace)) {
      // Everything the spare files held is in "nuscores.dat" now; damaged
      // ones stay until they are looked at.
      RemoveSavedSpares(now, kScoreFile);
      NoteSaved();
      if (ScoreFolderUsed == kScoresInFilesFolder) {
        ReportClosingProblem("The game folder Files/" + GameFolder() + " is missing: the scores are kept in " +
                             ShownPath(kScoreFile) + ".");
      }
      return 0;
    }
    Debug("\tCould not save the scores to " + std::string(kScoreFile) + " : " + why);
    // Nothing to lose when the file already holds exactly this.
    if (!inPlace && now.mainRead && lines == now.mainLines && now.files.size() == 1) {
      Debug("\tThe score file already holds every score; nothing is lost");
      return 0;
    }
    problem = "The scores could not be saved to " + ShownPath(kScoreFile) + ": " + why + ".";
    // Its rewrite in place failed after the copy was written whole.
    if (inPlace) keptAt = copy;
  }

  // Keep this run's file where it can be kept.
  for (const std::string& place : keptAt.empty() ? SpareFiles() : std::vector<std::string>{}) {
    std::string why = spareWhyNot(place);
    if (why.empty() && place[0] == '/') MakeFolderPath(std::filesystem::path(place).parent_path().string(), &why);
    if (why.empty() && SaveLinesAtomic(place, lines, &why)) {
      keptAt = place;
      break;
    }
    lastWhy = why;
    Debug("\tCould not keep the scores in " + place + " : " + why);
  }
  if (lastWhy.empty()) lastWhy = "there is no data folder";
  ReportClosingProblem(problem);
  if (!keptAt.empty()) {
    // What the other copies' own files held is in the spare file now.
    RemoveSavedSpares(now, keptAt, true);
    NoteSaved();
    Debug("\tThe scores are kept in " + keptAt);
    ReportClosingProblem("They are kept in " + ShownPath(keptAt) + ", and the next start reads them back.");
  } else {
    TellLost(lastWhy, newGames);
  }
  return 0;
}

int LoadScores() {
  // The file is written only at exit, so once it has been read the lists in
  // memory hold everything it holds plus this run's games and account edits:
  // reading it again (after a display change) would lose those.
  if (ScoresLoaded) return 0;
  ScoresLoaded = 1;
  gOriginalsKept.clear();
  gCountsRead.clear();
  gAccountRead.clear();
  gAccountWasRead = false;

  // "nuscores.dat" first, then what earlier runs could not save into it.
  const Holdings h = ReadHoldings(true);
  gAccountWasRead = true;
  gAccountRead = RegName + "|" + RegPass;
  if (h.files.empty()) return 0;

  // The account of the file written last; none when no account line could
  // be read (no account rather than a made-up one). The player's name is
  // that of the newest record of the file written last that holds one. A
  // record that an earlier file holds too is taken once.
  const ReadFileResult* account = NewestAccount(h.files);
  const ReadFileResult* named = nullptr;
  ClearList(Highscores);
  for (const ReadFileResult& s : h.files) {
    if (s.records.empty()) continue;
    if (!named || s.written > named->written) named = &s;
  }
  gCountsRead = CountsHeld(h);
  LineCounts taken;
  for (const ReadFileResult& s : h.files) {
    for (const auto& record : s.records) {
      const std::string line = ScoreLinePlain(*record);
      if (taken[line] >= gCountsRead[line]) continue;
      ++taken[line];
      High = record;
      ListAddLast(Highscores, record);
    }
  }
  RegName = account ? account->name : "";
  RegPass = account ? account->pass : "";
  gAccountRead = RegName + "|" + RegPass;
  if (named) MyName = named->records.front()->Name;
  SortList(Highscores);  // stable: equal stamps keep their file order
  return 0;
}
