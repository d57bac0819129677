#pragma once
// FORWARDER (integration only): moved to audio/nodes/DSPObj.h
#include "audio/nodes/DSPObj.h"
