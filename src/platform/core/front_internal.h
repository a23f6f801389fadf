// Platform-internal glue between the front-end files (platform.cpp, draw.cpp,
// input.cpp): the state each keeps and how the display's life cycle resets it.
#pragma once

#include "platform/backend.h"

// draw.cpp: the current drawing state; back to its start values.
const DrawState& CurrentDrawState();
void ResetDrawState();

// input.cpp: polled-input state. Reset forgets everything (new back end);
// the display hooks switch polled input on and off.
void ResetInputState();
void InputDisplayOpened();
void InputDisplayClosed();
// Time was given up (Delay, the headless clock moved on): the next
// input query takes in the events that came meanwhile, and with them the
// next frame's presses.
void InputTimePassed();

// audio_*.cpp: stops the current audio driver, closes its output and forgets
// every channel and registered driver (the next audio call starts afresh for
// the new back end). PlatformInit (before switching back ends) and
// PlatformShutdown call it; safe to call when audio was never used.
void AudioShutdown();
