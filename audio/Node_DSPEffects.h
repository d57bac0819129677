#pragma once
// FORWARDER (integration only): moved to audio/nodes/Node_DSPEffects.h
#include "audio/nodes/Node_DSPEffects.h"
