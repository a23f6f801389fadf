#include "platform/core/quiet.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

QuietStderr::QuietStderr() {
  std::fflush(stderr);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;
  saved_ = dup(STDERR_FILENO);
  if (saved_ >= 0) dup2(null, STDERR_FILENO);
  close(null);
}

QuietStderr::~QuietStderr() {
  if (saved_ < 0) return;
  std::fflush(stderr);
  dup2(saved_, STDERR_FILENO);
  close(saved_);
}
