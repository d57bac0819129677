#pragma once
// FORWARDER (integration only): moved to audio/live/RecorderDS.h
#include "audio/live/RecorderDS.h"
