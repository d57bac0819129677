#pragma once
// FORWARDER (integration only): moved to audio/nodes/WinampDSP_imp.h
#include "audio/nodes/WinampDSP_imp.h"
