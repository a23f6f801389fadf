// Online scores: the HTTP/1.0 client record and the score-server requests.
#pragma once

#include <string>

#include "platform/platform.h"

// HTTP/1.0 client, one record per score-server request.
struct Thttp {
  Socket sock;
  Stream stream;
  std::string host;
  std::string agent;
  int autoClose = 0;
  int Compare(const Thttp&) const { return 1; }
};

// Which field of the Online tab's login form takes the typed characters:
// 0 none, 1 the user name, 2 the password.
extern int intextedit;

// The Online tab's view inside the title screen's side panel, run on every
// pass of the title loop; `selected` is 1 while the Online tab is shown.
void OnlineView(int panelX, int panelW, int selected);
