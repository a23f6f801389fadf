// The Online tab of the title screen's side panel: its heading and status,
// the account fields, the Login button and the login exchange.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "online/online.h"
#include "scores/scores.h"

int intextedit = 0;
int LoggedIn = 0;
int LoginFailed = 0;
int OnlineRefreshState = 0;
int LastEditFocus = 0;
std::string MOTD[20];
int motds = 0;
std::string OnlineTrouble;
const char* const kCannotReach = "CANNOT REACH THE SERVER";
const char* const kTooSlow = "NO ANSWER FROM THE SERVER IN TIME";
const char* const kBadAnswer = "BAD ANSWER FROM THE SERVER";
const char* const kCutShort = "NO WHOLE ANSWER FROM THE SERVER";

namespace {

int gLoginHeld = 0;  // the Login button was held in the previous pass
// The requests under way; each runs beside the frame loop.
ServerCall gLoginCall, gFetchCall, gUploadCall;
// The local best of the table the fetch under way asks for, taken when it
// started: the upload after it is judged against that table alone.
std::shared_ptr<Scores> gFetchBest;
OnlineTable gFetchTable;
void RefreshFetch();
void RefreshRelease();

// A message within the panel's width, in font `face` at `size`: words go
// on to further lines, each one line height lower, where one line would not
// fit; a message that would run below `bottom` so takes a smaller size.
void FittedText(int x, int y, int width, int bottom, int face, int size, const std::string& text) {
  std::vector<std::string> lines;
  for (int s = size; s >= 0; --s) {
    UseFont(face, s);
    lines = WrapText(text, width);
    int height = 0;
    for (const std::string& line : lines) height += TextHeight(line);
    if (y + height <= bottom) break;
  }
  for (const std::string& line : lines) {
    Text(x, y, line, 0, 0);
    y += TextHeight(line);
  }
}

void StatusView(int panelX, int panelW) {
  AimGradR = 0;
  AimGradG = 1;
  AimGradB = 0.2f;
  // Colour and font are the ones the Hiscore view leaves set.
  Text(panelX + panelW / 2, 50, "Online", 1, 0);
  if (LoggedIn == 1) {
    // Below the heading, and the lines below the button, each a line
    // height apart where the font is taller than their 20 pixels; with a
    // table on the panel only the lines above its first row.
    const int refreshY = std::max(120, 50 + TextHeight("Online"));
    UseFont(1, 4);
    SetCol(255, 255, 255, 1);
    if (Mousein(panelX, refreshY, panelW, 50) == 1) {
      SetCol(0, 255, 255, 1);
      if (MouseDown(1) && OnlineRefreshState == 0) OnlineRefreshState = 1;
    }
    Text(panelX + panelW / 2, refreshY, "Refresh Scores", 1, 0);
    const int firstLine = std::max(170, refreshY + TextHeight("Refresh Scores"));
    UseFont(1, 2);
    SetCol(180, 180, 180, 1);
    const int pitch = std::max(20, TextHeight("Ay"));
    const int end = AltScores.IsEmpty() ? JScrh : JScrh - 10 - (25 * 17 + 154);
    int y = firstLine - pitch;
    for (int n = 1; n <= motds; ++n) {
      y += pitch;
      if (n < 20 && !MOTD[n].empty() && y + pitch <= end) Text(panelX + 10, y, MOTD[n], 0, 0);
    }
    if (!OnlineTrouble.empty()) {
      SetCol(255, 0, 0, 1);
      FittedText(panelX + 10, y + 30, panelW - 20, JScrh - 589, 1, 2, OnlineTrouble);  // above the table
    }
    return;
  }
  UseFont(1, 3);
  const int y0 = JScrh - 542;
  // 30 apart, or a line height where the font is taller.
  const int pitch = std::max(30, TextHeight("Ay"));
  const struct {
    const char* text;
    int x, y, r, g, b;
  } hints[7] = {
      {"If you're new..", 10, 0, 255, 255, 255},         {"Use a new name,", 30, 30, 255, 255, 255},
      {"and you'll be registered.", 30, 60, 255, 255, 255}, {"If you're returning..", 10, 120, 255, 255, 180},
      {"Simply log back in.", 30, 150, 255, 255, 180},    {"Use a password that's", 10, 210, 180, 255, 255},
      {"easy to remember!!", 30, 240, 180, 255, 255},
  };
  for (const auto& h : hints) {
    SetCol(static_cast<float>(h.r), static_cast<float>(h.g), static_cast<float>(h.b), 1);
    Text(panelX + h.x, y0 + h.y / 30 * pitch, h.text, 0, 0);
  }
  if (LoginFailed == 1) {
    SetCol(255, 0, 0, 1);
    // Chosen anew in every pass, so it follows the player's edits.
    std::string why = AccountProblem(RegName, RegPass);
    if (why.empty()) why = OnlineTrouble.empty() ? "WRONG PASSWORD" : OnlineTrouble;
    FittedText(panelX + 10, y0 + 300, panelW - 20, JScrh - 150, 1, 3, why);  // above the fields
  }
  if (intextedit != LastEditFocus) {
    LastEditFocus = intextedit;
    PlaySFX(99, 1.0f, 1.0f, 0.0f);
  }
}

// The line height of the fields' texts (selects their font).
int FieldTextHeight() {
  UseFont(1, 3);
  return TextHeight("Ay");
}

// While `locked` (a login of this account is under way) the field shows
// its text in grey and takes neither the focus nor typing. The caption
// stands 30 above the text, lower where the field above's text is taller.
void Field(int panelX, int y, const std::string& caption, int focus, bool secret, std::string& text, bool locked) {
  const int captionY = y - 30 + std::max(0, FieldTextHeight() - 30);
  UseFont(1, 2);
  SetCol(0, 180, 255, 1);
  Text(panelX + 10, captionY, caption, 0, 0);
  // The user name's cursor and the password's blink in opposite phases.
  const bool first = !secret;
  bool cursor = ((MilliSecs() % 750 + 750) % 750 >= 325) == first;
  UseFont(1, 3);
  SetCol(255, 255, 0, 1);
  if (intextedit == focus) {
    SetCol(100, 255, 100, 1);
    cursor = ((MilliSecs() % 500 + 500) % 500 >= 250) == first;
  }
  const bool inside = Mousein(panelX + 20, y, 200, 30) == 1;
  if (locked) {
    SetCol(160, 160, 160, 1);
  } else if (inside) {
    SetCol(100, 255, 255, 1);
    if (MouseDown(1)) {
      intextedit = focus;
      FlushKeys();
    }
  }
  std::string shown = secret ? std::string(text.size(), '*') : text;
  if (cursor) shown.push_back('_');
  Text(panelX + 20, y, shown, 0, 0);
  if (intextedit == focus && !locked) {
    text = Inputter(text, static_cast<int>(kAccountMax));  // no "|" either
    if (!inside && MouseDown(1)) intextedit = 0;
  }
}

// One login attempt: the account proof goes out; JudgeLogin takes the reply.
void StartLogin() { gLoginCall.Start(LoginPath(LoginInput()), true); }

}  // namespace

namespace {

// What an answer that is no answer of the protocol shows: no connection,
// no whole reply in time, a reply that broke off, a refusal with its reason
// (any status but 2xx), or a bad answer (a reply past the byte cap is
// one). "" for a whole 2xx reply, and for a request that never went (its
// account is at fault), which the caller judges.
std::string ServerTrouble(const ServerAnswer& answer) {
  switch (answer.kind) {
    case ServerAnswer::NoConnection: return kCannotReach;
    case ServerAnswer::TimedOut: return kTooSlow;
    case ServerAnswer::CutShort: return kCutShort;
    case ServerAnswer::TooLong: return kBadAnswer;
    case ServerAnswer::Unreadable: return kBadAnswer;
    case ServerAnswer::RefusedHere: return "";
    case ServerAnswer::Reply: break;
  }
  if (answer.status >= 200 && answer.status < 300) return "";
  const std::string line = Trim(answer.body);
  return answer.status != 0 && IsRefusalReason(line) ? line : kBadAnswer;
}

}  // namespace

void JudgeLogin(const ServerAnswer& answer) {
  const std::string& reply = answer.body;
  LoginFailed = 1;
  OnlineRefreshState = 0;
  // A refusal in plain words shows as the wrong password, a refusal with a
  // reason (whatever its status) as that reason; anything else says the
  // server is at fault.
  OnlineTrouble = ServerTrouble(answer);
  // Only a whole 2xx reply logs in: the greeting of an error reply does not.
  const bool greeted = OnlineTrouble.empty() && answer.kind == ServerAnswer::Reply &&
                       (reply.rfind("Password Correct", 0) == 0 || reply.rfind("Welcome!", 0) == 0);
  if (OnlineTrouble.empty() && answer.kind == ServerAnswer::Reply && !greeted) {
    const std::string line = Trim(reply);
    if (!IsPlainLine(line)) {
      OnlineTrouble = kBadAnswer;
    } else if (IsRefusalReason(line)) {
      OnlineTrouble = line;
    }
  }
  if (greeted) {
    LoggedIn = 1;
    LoginFailed = 0;
    OnlineRefreshState = 1;
    const std::string message = SplitText(reply, "|", 2, 0);
    motds = 0;
    DebugLog("MOTD" + message);
    // Lines at LF of the trimmed message, up to the first empty one or
    // "-+-"; one walk that ends with the 19th line kept, whatever follows.
    const std::string text = Trim(message);
    for (size_t start = 0; motds < 19 && start < text.size();) {
      const size_t end = std::min(text.find('\n', start), text.size());
      const std::string line = text.substr(start, end - start);
      if (line.empty() || line == "-+-") break;
      MOTD[++motds] = Trim(line).substr(0, kMotdLineMax);
      start = end + 1;
    }
  }
  DebugLog(reply);  // the password never goes to the log
}

namespace {

void LoginButton(int panelX) {
  const int y = std::max(JScrh - 30, JScrh - 60 + FieldTextHeight());
  UseFont(1, 2);
  SetCol(255, 180, 0, 1);
  const bool over = Mousein(panelX + 50, JScrh - 30, 200, 30) == 1;
  const bool held = over && MouseDown(1);
  if (over) SetCol(0, 255, 255, 1);
  // One attempt per press: a held button does not repeat a failing login.
  if (held && !gLoginHeld && !gLoginCall.Busy() && !gLoginCall.Ready()) StartLogin();
  gLoginHeld = held ? 1 : 0;
  Text(panelX + 70, y, "Login", 0, 0);
}

void LoginKeys() {
  // While a field has the focus the presses of Return, Down and Up are taken
  // in every pass, so that one with nothing to do (Down in the password)
  // does not act later; Tab is asked only when it moves the focus, since it
  // otherwise opens the settings panel.
  if (intextedit == 0) return;
  const bool enter = KeyHit(KEY_RETURN) != 0;
  const bool down = KeyHit(KEY_DOWN) != 0;
  const bool up = KeyHit(KEY_UP) != 0;
  if (enter) intextedit = 0;
  if (intextedit == 1 && (down || KeyHit(KEY_TAB))) intextedit = 2;
  if (intextedit == 2 && (up || KeyHit(KEY_TAB))) intextedit = 1;
}

}  // namespace

void ResetOnlineTables() {
  intextedit = LoggedIn = LoginFailed = OnlineRefreshState = LastEditFocus = 0;
  for (auto& line : MOTD) line.clear();
  motds = 0;
  gLoginHeld = 0;
  UploadCount = 0;
  OnlineReply.clear();
  OnlineTrouble.clear();
  gLoginCall.Forget();
  gFetchCall.Forget();
  gUploadCall.Forget();
  gFetchBest.reset();
  DropWaitingOnlineRequests();
}

void OnlineView(int panelX, int panelW, int selected) {
  // Replies that came in since the last frame; a login's only while it
  // can still log in.
  if (gLoginCall.Ready()) {
    const ServerAnswer answer = gLoginCall.Take();
    if (LoggedIn == 0) JudgeLogin(answer);
  }
  if (gUploadCall.Ready()) DebugLog("-->" + gUploadCall.Take().body);
  if (!selected) return;
  StatusView(panelX, panelW);
  if (LoggedIn == 0) {
    // The account on its way to the server stays as sent: an edit now
    // would be saved beside a login made with the old one.
    const bool locked = gLoginCall.Busy();
    if (locked) intextedit = 0;
    Field(panelX, JScrh - 120, "Username", 1, false, RegName, locked);
    Field(panelX, JScrh - 60, "Password", 2, true, RegPass, locked);
    LoginButton(panelX);
    LoginKeys();
  }
  RefreshFetch();
  RefreshRelease();
}

// ---------------------------------------------------------------------------
// Refresh of the online table
// ---------------------------------------------------------------------------
int UploadCount = 0;
std::string OnlineReply;

void UploadScore(const std::shared_ptr<Scores>& record) {
  if (!record) return;
  ++UploadCount;
  gUploadCall.Start(UploadPath(UploadInput(*record)), true);
}

bool OnlineRequestsBusy() { return gLoginCall.Busy() || gFetchCall.Busy() || gUploadCall.Busy(); }

namespace {

void RefreshFetch() {
  if (OnlineRefreshState != 2) return;
  if (!gFetchCall.Busy() && !gFetchCall.Ready()) {
    PlaySFX(99, 0.5f, 1.0f, 0.0f);
    const int table = GameMode + GameLevel * 100 + GameFlags * 1000;
    // The best as chosen for the table on show, if it is this table's.
    const bool ours = ThisIsHigh && InTable(*ThisIsHigh, GameMode, GameLevel, GameFlags);
    gFetchBest = ours ? ThisIsHigh : nullptr;
    gFetchTable = {GameMode, GameLevel, GameFlags};
    gFetchCall.Start(TablePath(std::to_string(table)), false);
    return;
  }
  if (!gFetchCall.Ready()) return;  // the frame goes on while the server is slow
  ReadOnlineTable(gFetchCall.Take(), gFetchBest, gFetchTable);
  gFetchBest.reset();
  PlaySFX(99, 1.0f, 1.0f, 0.0f);
  OnlineRefreshState = 3;
}

}  // namespace

namespace {

// The fields of a line split at "|" (after blanks and control characters
// at its ends are dropped): field k (from 1) at [k - 1], "" past the end.
std::vector<std::string> Fields(const std::string& line, size_t count) {
  const std::string t = Trim(line);
  std::vector<std::string> fields;
  for (size_t start = 0; fields.size() < count && start <= t.size();) {
    const size_t end = std::min(t.find('|', start), t.size());
    fields.push_back(t.substr(start, end - start));
    start = end + 1;
  }
  fields.resize(count);
  return fields;
}

// A number field that holds no more than `max` (sign aside); one without
// digits reads as 0.
bool Fits(const std::string& field, uint64_t max) {
  uint64_t magnitude = 0;
  return !NumberMagnitude(field, magnitude) || magnitude <= max;
}

void DropOnlineRows(const OnlineTable& table) {
  const int mode = -(table.mode + 1);
  AltScores.ForEach([&](const std::shared_ptr<Scores>& r) {
    High = r;
    if (InTable(*r, mode, table.level, table.flags)) AltScores.RemoveLink(r);
  });
}

}  // namespace

std::shared_ptr<Scores> ReadOnlineEntry(const std::string& entryLine, const std::string& bestLine,
                                        const OnlineTable& table) {
  if (entryLine.find('|') == std::string::npos) return nullptr;
  const std::vector<std::string> f = Fields(entryLine, 8);
  const std::vector<std::string> best = Fields(bestLine, 30);
  constexpr uint64_t kInt = 0x7FFFFFFF, kLong = 0x7FFFFFFFFFFFFFFF;
  // The score: digits, not negative, no longer than the table shows.
  uint64_t score = 0;
  if (!NumberMagnitude(f[0], score) || score > static_cast<uint64_t>(kOnlineScoreMax) || ToLong(f[0]) < 0)
    return nullptr;
  if (!Fits(f[3], kLong)) return nullptr;
  for (const size_t k : {2, 4, 5, 6, 7})
    if (!Fits(f[k], kInt)) return nullptr;
  for (const std::string& value : best)
    if (!Fits(value, kInt)) return nullptr;
  auto r = std::make_shared<Scores>();
  r->Score = ToLong(f[0]);
  r->Name = Trim(f[1]).substr(0, kMaxNameLength);
  r->Badges = Abs(ToInt(f[2]));
  r->Timestamp = ToLong(f[3]);
  r->Level = Abs(ToInt(f[4]));
  const int mode = Abs(ToInt(f[5]));
  r->GameFlags = Abs(ToInt(f[6]));
  r->Quit = Abs(ToInt(f[7]));
  for (int k = 1; k <= 30; ++k) r->Best[k] = Abs(ToInt(best[k - 1]));
  // A row of another table than the one asked for is none of this one's.
  if (mode != table.mode || r->Level != table.level || r->GameFlags != table.flags) return nullptr;
  r->GameMode = -1 - mode;  // online entries never match a local table
  return r;
}

void ReadOnlineTable(const ServerAnswer& answer, const std::shared_ptr<Scores>& best, const OnlineTable& table) {
  OnlineReply = answer.body;
  OnlineTrouble.clear();
  const bool whole = answer.kind == ServerAnswer::Reply;
  // A page of HTML is no table, whatever its status; the server's 404 page
  // is the table no one has played yet.
  const bool page = whole && Upper(OnlineReply).find("<HEAD>") != std::string::npos;
  if (page && answer.status == 404) {
    UploadScore(best);
    return;
  }
  OnlineTrouble = ServerTrouble(answer);
  if (OnlineTrouble.empty() && page) OnlineTrouble = kBadAnswer;
  if (!OnlineTrouble.empty()) return;  // no table came: nothing to measure an upload by
  // The table that came replaces what the list held of it.
  DropOnlineRows(table);
  if (Trim(OnlineReply).empty()) {
    UploadScore(best);  // a table with no entries
    return;
  }
  // Entry lines and their Best lines, in pairs; the reply is split once.
  // Blanks and line breaks at either end of the reply do not count.
  const std::string text = Trim(OnlineReply);
  std::vector<std::string> lines;
  for (size_t start = 0; lines.size() < 60 && start <= text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  lines.resize(60);
  int found = 0;
  for (int n = 0; n < 30; ++n) {
    auto r = ReadOnlineEntry(lines[2 * n], lines[2 * n + 1], table);
    if (!r) continue;
    ++found;
    ListAddLast(AltScores, r);
    // The local best against the entry just read.
    if (best && UploadCount == 0 && best->Score >= r->Score) UploadScore(best);
  }
  if (found == 0) {
    OnlineTrouble = kBadAnswer;  // not a table: nothing to measure an upload by
  } else if (found < 30 && UploadCount == 0 && best) {
    UploadScore(best);
  }
  SortList(Highscores);
  SortList(AltScores);
}

namespace {

void RefreshRelease() {
  if (OnlineRefreshState == 3 && !MouseDown(1)) {
    OnlineRefreshState = 0;
    UploadCount = 0;
  }
}

}  // namespace

void OnlineTableClear() {
  if (OnlineRefreshState != 1) return;
  DropOnlineRows({GameMode, GameLevel, GameFlags});
  OnlineRefreshState = 2;
}
