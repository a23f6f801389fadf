// The server's messages on stderr, each line starting "pibbo-scoreserver: ".
// A message of a kind (its format) comes at most once a minute: the first
// of each kind in a minute is written at once, the count of the rest when
// the minute ends (CountMessages).
#pragma once

#include <cstdarg>

namespace scoreserver {

void LogMessage(const char* format, va_list arguments);
void Note(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Writes how many more of each kind came since the last call, and starts
// a new minute.
void CountMessages();

}  // namespace scoreserver
