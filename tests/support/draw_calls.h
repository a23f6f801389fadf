// Picking draw calls out of what the headless back end recorded.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <vector>

#include "platform/headless.h"

namespace testsupport {

// The calls of the kinds given, in the order they were made.
inline std::vector<DrawCall> CallsOf(const std::vector<DrawCall>& calls, std::initializer_list<DrawCall::Kind> kinds) {
  std::vector<DrawCall> out;
  std::copy_if(calls.begin(), calls.end(), std::back_inserter(out), [kinds](const DrawCall& c) {
    return std::find(kinds.begin(), kinds.end(), c.kind) != kinds.end();
  });
  return out;
}
inline std::vector<DrawCall> CallsOf(const std::vector<DrawCall>& calls, DrawCall::Kind kind) {
  return CallsOf(calls, {kind});
}

}  // namespace testsupport
