// Times for the headless back end's scripted input, which counts from the
// back end's start.
#pragma once

#include <cstdint>
#include <string>

#include "platform/headless.h"

namespace testsupport {

// Script time `ms` from now.
inline std::string At(int ms) {
  return std::to_string(headless::Now() - headless::StartTime() + static_cast<uint32_t>(ms));
}

}  // namespace testsupport
