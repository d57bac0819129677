#pragma once
// FORWARDER (integration only): moved to audio/graph/Pins.h
#include "audio/graph/Pins.h"
