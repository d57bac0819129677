#pragma once
// FORWARDER (integration only): moved to audio/nodes/Node_Resampler.h
#include "audio/nodes/Node_Resampler.h"
