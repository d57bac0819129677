#pragma once
// FORWARDER (integration only): moved to audio/nodes/Node_Volume.h
#include "audio/nodes/Node_Volume.h"
