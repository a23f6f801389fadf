// The local score file "nuscores.dat": the scrambled account line, then one
// scrambled score line per local record, newest first.
#include <filesystem>
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

// Set when the file read at start held lines that could not be read (or
// could not be read at all): before it is replaced, the original is kept.
bool gFileDamaged = false;
bool gOriginalKept = false;

// Copies the score file to the first free "nuscores.dat.bad", ".bad2", ...
// (an earlier copy is never overwritten). False when no copy was made.
bool KeepOriginal() {
  for (int n = 1; n < 1000; ++n) {
    const std::string name = std::string(kScoreFile) + ".bad" + (n == 1 ? "" : std::to_string(n));
    if (FileType(name) != 0) continue;
    std::error_code ec;
    if (!std::filesystem::copy_file(kScoreFile, name, ec) || ec) return false;
    Debug("The score file had lines that could not be read; the original is kept as " + name);
    return true;
  }
  return false;
}

}  // namespace

int SaveScores() {
  if (gFileDamaged && !gOriginalKept && FileType(kScoreFile) == 1) {
    if (!KeepOriginal()) {
      Debug("Could not keep a copy of the damaged score file; it is left as it was");
      return 0;
    }
    gOriginalKept = true;
  }
  std::vector<std::string> lines;
  lines.push_back(AccountToken());
  SortList(Highscores);
  for (const auto& record : Highscores) {
    High = record;
    if (record->GameMode < 0) continue;  // online entries are not kept locally
    lines.push_back(Scramble(ScoreLinePlain(*record), ""));
  }
  if (!SaveLinesAtomic(kScoreFile, lines)) {
    Debug("Could not save the scores to " + std::string(kScoreFile) +
          "; the previous file is kept");
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
  if (FileType(kScoreFile) != 1) return 0;
  std::vector<std::string> lines;
  if (!LoadLines(kScoreFile, lines)) {
    Debug("Could not read " + std::string(kScoreFile));
    gFileDamaged = true;
    return 0;
  }

  const std::string account = Unscramble(lines.empty() ? "" : lines[0], RegKey);
  if (account.find('|') == std::string::npos) {
    // Damaged: no account rather than a made-up one.
    RegName.clear();
    RegPass.clear();
    gFileDamaged = true;
  } else {
    RegName = Field(Trim(account), 1);
    RegPass = Field(Trim(account), 2);
  }

  ClearList(Highscores);
  bool first = true;
  for (size_t i = 1; i < lines.size(); ++i) {
    // Every stored line is scrambled; too short to hold a checksum is
    // damaged like any line that fails its check.
    const std::string plain = Unscramble(lines[i], "");
    auto record = ParseScoreLine(plain);
    if (!record) {
      // A line break at the end leaves an empty last line: that is no damage.
      if (lines[i].size() > 2) gFileDamaged = true;
      continue;
    }
    High = record;
    if (first) {
      MyName = record->Name;
      first = false;
    }
    ListAddLast(Highscores, record);
  }
  SortList(Highscores);  // stable: equal stamps keep their file order
  return 0;
}
