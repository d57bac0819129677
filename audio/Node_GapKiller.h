#pragma once
// FORWARDER (integration only): moved to audio/nodes/Node_GapKiller.h
#include "audio/nodes/Node_GapKiller.h"
