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
