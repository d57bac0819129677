#pragma once
// FORWARDER (integration only): moved to audio/nodes/GapKiller2.h
#include "audio/nodes/GapKiller2.h"
