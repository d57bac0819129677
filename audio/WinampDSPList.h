#pragma once
// FORWARDER (integration only): moved to audio/nodes/WinampDSPList.h
#include "audio/nodes/WinampDSPList.h"
