#pragma once
// FORWARDER (integration only): moved to audio/nodes/WinampDSPApi.h
#include "audio/nodes/WinampDSPApi.h"
