#pragma once
// FORWARDER (integration only): moved to audio/nodes/Node_VUMeter.h
#include "audio/nodes/Node_VUMeter.h"
