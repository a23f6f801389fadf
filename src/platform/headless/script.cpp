#include "platform/headless/script.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace headless_detail {
namespace {

bool ParseUpDown(std::istream& in, bool& down) {
  std::string word;
  if (!(in >> word)) return false;
  if (word == "down") down = true;
  else if (word == "up") down = false;
  else return false;
  return true;
}

}  // namespace

void Script::Add(const std::string& text, const std::string& origin) {
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!ParseLine(line))
      std::fprintf(stderr, "headless: %s line %d ignored: %s\n", origin.c_str(), lineNo, line.c_str());
  }
  std::stable_sort(queue_.begin(), queue_.end(), [](const ScriptEvent& a, const ScriptEvent& b) {
    return a.at != b.at ? static_cast<int32_t>(a.at - b.at) < 0 : a.seq < b.seq;
  });
}

bool Script::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "headless: cannot read input script %s\n", path.c_str());
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  Add(text.str(), path);
  return true;
}

bool Script::PopDue(uint32_t now, bool padsOnly, ScriptEvent& out) {
  for (auto it = queue_.begin(); it != queue_.end() && static_cast<int32_t>(it->at - now) <= 0; ++it) {
    if (padsOnly && !it->IsPad()) continue;
    out = *it;
    queue_.erase(it);
    return true;
  }
  return false;
}

void Script::Push(ScriptEvent e, uint32_t at) {
  e.at = at;
  parsed_.push_back(e);
}

// Events of the line are queued only once the whole line is good.
bool Script::ParseLine(const std::string& raw) {
  parsed_.clear();
  if (!ParseEvents(raw)) return false;
  for (ScriptEvent& e : parsed_) {
    e.seq = nextSeq_++;
    queue_.push_back(e);
  }
  return true;
}

bool Script::ParseEvents(const std::string& raw) {
  std::string line = raw;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos || line[first] == '#') return true;
  std::istringstream in(line);
  long long ms;
  std::string event;
  if (!(in >> ms >> event) || ms < 0) return false;
  uint32_t at = start_ + static_cast<uint32_t>(ms);
  ScriptEvent e;
  std::string extra;
  if (event == "key") {
    e.type = ScriptEvent::Key;
    if (!(in >> e.a) || !ParseUpDown(in, e.down)) return false;
    Push(e, at);
  } else if (event == "tap") {
    e.type = ScriptEvent::Key;
    if (!(in >> e.a)) return false;
    e.down = true;
    Push(e, at);
    e.down = false;
    Push(e, at + 1);
  } else if (event == "char") {
    e.type = ScriptEvent::Char;
    if (!(in >> e.a)) return false;
    Push(e, at);
  } else if (event == "text") {
    std::string word;
    if (!(in >> word)) return false;
    e.type = ScriptEvent::Char;
    for (size_t i = 0; i < word.size(); ++i) {
      e.a = static_cast<unsigned char>(word[i]);
      Push(e, at + static_cast<uint32_t>(i));
    }
  } else if (event == "mouse") {
    e.type = ScriptEvent::MouseMove;
    if (!(in >> e.a >> e.b)) return false;
    Push(e, at);
  } else if (event == "button") {
    e.type = ScriptEvent::Button;
    if (!(in >> e.a) || !ParseUpDown(in, e.down)) return false;
    Push(e, at);
  } else if (event == "click") {
    e.type = ScriptEvent::Button;
    if (!(in >> e.a)) return false;
    e.down = true;
    Push(e, at);
    e.down = false;
    Push(e, at + 1);
  } else if (event == "close") {
    e.type = ScriptEvent::Close;
    Push(e, at);
  } else if (event == "pad") {
    std::string what;
    if (!(in >> e.a >> what)) return false;
    if (what == "axis") {
      e.type = ScriptEvent::PadAxis;
      if (!(in >> e.b >> e.value) || e.b < 0 || e.b > 5) return false;
    } else if (what == "hat") {
      e.type = ScriptEvent::PadHat;
      if (!(in >> e.value)) return false;
    } else if (what == "button") {
      e.type = ScriptEvent::PadButton;
      if (!(in >> e.b) || e.b < 0 || e.b > 31 || !ParseUpDown(in, e.down)) return false;
    } else {
      return false;
    }
    Push(e, at);
  } else {
    return false;
  }
  return !(in >> extra);  // nothing may follow the arguments
}

}  // namespace headless_detail
