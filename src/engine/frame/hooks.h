// What the engine calls of the subsystems above it. The engine runs the
// start-up, the display set-up, the end of every frame and the closing
// sequence; the score keeping, the game, the title screen and the music
// generator register here what must happen at those moments, so that no
// engine file needs a header from above.
#pragma once

#include <cstdint>
#include <functional>

enum class EngineEvent {
  TablesCreated,  // start-up: the global tables and defaults exist
  AssetsLoaded,   // each display opening: the shared assets are loaded
  Finishing,      // the closing sequence begins: finish what is under way
                  // (a game's record) before anything is saved
  Closing,        // the closing sequence saves, before the last log lines
  Count
};

// Handlers run in the order they were added.
void OnEngineEvent(EngineEvent event, std::function<void()> handler);
void RaiseEngineEvent(EngineEvent event);
// Forgets every handler (tests that start afresh).
void ClearEngineEvents();

// Called by fps; each may be left empty.
extern int (*SettingsPanelHook)();      // every call: the settings panel's frame
extern int (*PauseHook)();              // Escape during a game: 99 for Quit
extern int (*MusicTickHook)();          // every call: the music generator's tick
extern void (*ScorePaidHook)(int64_t points);  // Gimme: the points reach the score
