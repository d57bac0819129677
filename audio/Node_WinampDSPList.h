#pragma once
// FORWARDER (integration only): moved to audio/nodes/Node_WinampDSPList.h
#include "audio/nodes/Node_WinampDSPList.h"
