// The local score file "nuscores.dat": the scrambled account line, then one
// scrambled score line per local record, newest first.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
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

// Set when the file read at start held lines that could not be read (or
// could not be read at all): before it is replaced, the original is kept.
bool gFileDamaged = false;
bool gOriginalKept = false;
// The lines of "nuscores.dat" as read at start (a failed save of the same
// lines loses nothing) and the plain lines of every record read at start
// (what is not among them was played in this run).
std::vector<std::string> gLinesRead;
std::set<std::string> gRecordsRead;
// Spare files that "nuscores.dat" makes redundant once it is saved: those
// read whole at start and those written in this run.
std::set<std::string> gSpares;

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

// Why the score file could not be read at start; "" when it could (or was
// not there). Such a file is never replaced.
std::string gUnreadable;

// Copies the score file to the first free "nuscores.dat.bad", ".bad2", ...
// (an earlier copy is never overwritten). False, and why, when no copy was
// made; a half-made copy is removed.
bool KeepOriginal(std::string& why) {
  for (int n = 1; n < 1000; ++n) {
    const std::string name = std::string(kScoreFile) + ".bad" + (n == 1 ? "" : std::to_string(n));
    if (FileType(name) != 0) continue;
    std::error_code ec;
    if (!std::filesystem::copy_file(kScoreFile, name, ec) || ec) {
      why = ec ? ec.message() : "the copy failed";
      std::error_code ignored;
      std::filesystem::remove(name, ignored);
      return false;
    }
    Debug("The score file had lines that could not be read; the original is kept as " + name);
    ReportClosingProblem("The score file " + ShownPath(kScoreFile) +
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
  std::vector<std::string> lines;
  bool accountRead = false;
  std::string name, pass;
  std::vector<std::shared_ptr<Scores>> records;
  bool whole = true;  // every line could be read
  std::filesystem::file_time_type written{};
};

bool ReadScoreFile(const std::string& path, ReadFileResult& out) {
  std::vector<std::string>& lines = out.lines;
  if (!LoadLines(path, lines)) return false;
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

}  // namespace

int SaveScores() {
  std::vector<std::string> lines;
  lines.push_back(AccountToken());
  SortList(Highscores);
  int newGames = 0;
  for (const auto& record : Highscores) {
    High = record;
    if (record->GameMode < 0) continue;  // online entries are not kept locally
    const std::string plain = ScoreLinePlain(*record);
    if (!gRecordsRead.count(plain)) ++newGames;
    lines.push_back(Scramble(plain, ""));
  }

  // A damaged original is copied aside before it is replaced; when that
  // cannot be done it stays as it is and this run's file goes elsewhere.
  // One that could not be read at all is never replaced.
  std::string problem;
  bool mayReplace = true;
  if (NoScoreFolder()) {
    mayReplace = false;
    problem = "The folder Files/ is missing, so the scores have no score file.";
  } else if (!gUnreadable.empty() && FileType(kScoreFile) == 1) {
    mayReplace = false;
    problem = "The scores could not be saved to " + ShownPath(kScoreFile) + ": it could not be read (" +
              gUnreadable + "), so it is left as it was.";
  } else if (gFileDamaged && !gOriginalKept && FileType(kScoreFile) == 1) {
    std::string why;
    if (KeepOriginal(why)) {
      gOriginalKept = true;
    } else {
      mayReplace = false;
      problem = "The scores could not be saved to " + ShownPath(kScoreFile) +
                ": it is damaged and could not be copied aside (" + why + "), so it is left as it was.";
      Debug("\tCould not keep a copy of the damaged score file : " + why);
    }
  }
  if (mayReplace) {
    std::string why;
    int inPlace = 0;
    // A rewrite in place first keeps its content in the data folder's
    // spare file, unless that holds lines of its own that could not be read.
    std::string copy = DataFile();
    if (FileType(copy) == 1 && !gSpares.count(copy)) copy.clear();
    if (SaveLinesAtomic(kScoreFile, lines, &why, copy, &inPlace)) {
      // Everything the spare files held is in "nuscores.dat" now.
      for (const std::string& spare : gSpares) {
        std::error_code ec;
        if (std::filesystem::remove(spare, ec)) Debug("\tRemoved " + spare + ", now saved in " + kScoreFile);
      }
      gSpares.clear();
      if (ScoreFolderUsed == kScoresInFilesFolder) {
        ReportClosingProblem("The game folder Files/" + GameFolder() + " is missing: the scores are kept in " +
                             ShownPath(kScoreFile) + ".");
      }
      return 0;
    }
    Debug("\tCould not save the scores to " + std::string(kScoreFile) + " : " + why);
    // Nothing to lose when the file already holds exactly this.
    if (lines == gLinesRead && gSpares.empty() && !inPlace) {
      Debug("\tThe score file already holds every score; nothing is lost");
      return 0;
    }
    problem = "The scores could not be saved to " + ShownPath(kScoreFile) + ": " + why + ".";
  }

  // Keep this run's file where it can be kept.
  std::string keptAt, lastWhy;
  for (const std::string& place : SpareFiles()) {
    std::string why;
    if (place[0] == '/' && !MakeFolderPath(std::filesystem::path(place).parent_path().string(), &why)) {
      lastWhy = why;
      Debug("\tCould not keep the scores in " + place + " : " + why);
      continue;
    }
    if (SaveLinesAtomic(place, lines, &why)) {
      keptAt = place;
      break;
    }
    lastWhy = why;
    Debug("\tCould not keep the scores in " + place + " : " + why);
  }
  if (lastWhy.empty()) lastWhy = "there is no data folder";
  ReportClosingProblem(problem);
  if (!keptAt.empty()) {
    gSpares.insert(keptAt);
    Debug("\tThe scores are kept in " + keptAt);
    ReportClosingProblem("They are kept in " + ShownPath(keptAt) + ", and the next start reads them back.");
  } else {
    const std::string lost = newGames == 0   ? "this run's account changes are lost."
                             : newGames == 1 ? "the game of this run and any account change are lost."
                                             : "the " + std::to_string(newGames) +
                                                   " games of this run and any account change are lost.";
    ReportClosingProblem("They could not be kept anywhere else either (" + lastWhy + "): " + lost);
  }
  return 0;
}

int LoadScores() {
  // The file is written only at exit, so once it has been read the lists in
  // memory hold everything it holds plus this run's games and account edits:
  // reading it again (after a display change) would lose those.
  if (ScoresLoaded) return 0;
  ScoresLoaded = 1;
  gFileDamaged = gOriginalKept = false;
  gLinesRead.clear();
  gRecordsRead.clear();
  gSpares.clear();

  // "nuscores.dat" first, then what earlier runs could not save into it.
  gUnreadable.clear();
  std::vector<ReadFileResult> sources;
  const int type = NoScoreFolder() ? 0 : FileType(kScoreFile);
  // A rewrite in place that was cut short left the file a first part of
  // the copy it made first: the copy holds everything, the file is no damage.
  const std::string data = DataFile();
  const bool cutShort = type == 1 && !data.empty() && FileType(data) == 1 && IsFirstPartOf(kScoreFile, data);
  if (cutShort) {
    Debug("\tThe last save of " + std::string(kScoreFile) + " was cut short; its copy in " + data + " is read");
  } else if (type == 1) {
    ReadFileResult read;
    errno = 0;
    if (ReadScoreFile(kScoreFile, read)) {
      gFileDamaged = !read.whole;
      gLinesRead = std::move(read.lines);
      sources.push_back(std::move(read));
    } else {
      // Unreadable as a whole: what is in memory stays, and the file is
      // left as it is.
      gUnreadable = std::strerror(errno ? errno : EIO);
      Debug("Could not read " + std::string(kScoreFile) + " : " + gUnreadable + "; it is left as it is");
    }
  } else if (type == 2) {
    Debug("\tA folder has the name of the score file " + std::string(kScoreFile));
  }
  for (const std::string& spare : SpareFiles()) {
    // A save of the spare file that was cut short left its temporary file.
    const std::filesystem::path at(spare);
    RemoveStaleTemporaries(at.has_parent_path() ? at.parent_path().string() : ".", at.filename().string());
    if (FileType(spare) != 1) continue;
    ReadFileResult read;
    if (!ReadScoreFile(spare, read)) {
      Debug("Could not read " + spare);
      continue;
    }
    Debug("\tReading the scores kept in " + spare);
    // A spare file that could not be read whole stays until it is looked at.
    if (read.whole) gSpares.insert(spare);
    sources.push_back(std::move(read));
  }
  if (sources.empty()) return 0;

  // The account of the file written last; none when no account line could
  // be read (no account rather than a made-up one). The player's name is
  // that of the newest record of the file written last that holds one. A
  // record that an earlier file holds too is taken once.
  const ReadFileResult* account = nullptr;
  const ReadFileResult* named = nullptr;
  ClearList(Highscores);
  for (const ReadFileResult& s : sources) {
    if (s.accountRead && (!account || s.written > account->written)) account = &s;
    if (s.records.empty()) continue;
    if (!named || s.written > named->written) named = &s;
    std::vector<std::string> plain;
    for (const auto& record : s.records) {
      plain.push_back(ScoreLinePlain(*record));
      if (gRecordsRead.count(plain.back())) continue;
      High = record;
      ListAddLast(Highscores, record);
    }
    gRecordsRead.insert(plain.begin(), plain.end());
  }
  RegName = account ? account->name : "";
  RegPass = account ? account->pass : "";
  if (named) MyName = named->records.front()->Name;
  SortList(Highscores);  // stable: equal stamps keep their file order
  return 0;
}
