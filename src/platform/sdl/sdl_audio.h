// The SDL back end's audio output (sdl_audio.cpp). Platform-internal.
#pragma once

#include <memory>

#include "platform/backend.h"

std::unique_ptr<AudioOutput> OpenSdlAudioOutput(int bufferFrames, AudioPull pull);
