#pragma once
// FORWARDER (integration only): moved to audio/nodes/VUMeter_imp.h
#include "audio/nodes/VUMeter_imp.h"
