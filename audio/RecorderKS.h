#pragma once
// FORWARDER (integration only): moved to audio/live/RecorderKS.h
#include "audio/live/RecorderKS.h"
