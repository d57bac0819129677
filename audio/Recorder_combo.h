#pragma once
// FORWARDER (integration only): moved to audio/live/Recorder_combo.h
#include "audio/live/Recorder_combo.h"
