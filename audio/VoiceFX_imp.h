#pragma once
// FORWARDER (integration only): moved to audio/live/VoiceFX_imp.h
#include "audio/live/VoiceFX_imp.h"
