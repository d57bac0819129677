#pragma once
// FORWARDER (integration only): moved to audio/graph/AudioErrors.h
#include "audio/graph/AudioErrors.h"
