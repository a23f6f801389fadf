#include "engine/frame/hooks.h"

#include <vector>

namespace {
std::vector<std::function<void()>> gHandlers[static_cast<int>(EngineEvent::Count)];
}

void OnEngineEvent(EngineEvent event, std::function<void()> handler) {
  gHandlers[static_cast<int>(event)].push_back(std::move(handler));
}

void RaiseEngineEvent(EngineEvent event) {
  for (const auto& handler : gHandlers[static_cast<int>(event)]) handler();
}

void ClearEngineEvents() {
  for (auto& list : gHandlers) list.clear();
}

int (*SettingsPanelHook)() = nullptr;
int (*PauseHook)() = nullptr;
int (*MusicTickHook)() = nullptr;
void (*ScorePaidHook)(int64_t) = nullptr;
