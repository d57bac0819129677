#pragma once
// FORWARDER (integration only): moved to audio/mix/DualOutput_imp.h
#include "audio/mix/DualOutput_imp.h"
