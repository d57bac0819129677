#pragma once
// FORWARDER (integration only): moved to audio/live/Recorder_imp.h
#include "audio/live/Recorder_imp.h"
