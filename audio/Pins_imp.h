#pragma once
// FORWARDER (integration only): moved to audio/graph/Pins_imp.h
#include "audio/graph/Pins_imp.h"
