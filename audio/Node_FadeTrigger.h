#pragma once
// FORWARDER (integration only): moved to audio/nodes/Node_FadeTrigger.h
#include "audio/nodes/Node_FadeTrigger.h"
