#pragma once
// FORWARDER (integration only): moved to audio/nodes/Node_Metronome.h
#include "audio/nodes/Node_Metronome.h"
