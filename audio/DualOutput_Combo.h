#pragma once
// FORWARDER (integration only): moved to audio/mix/DualOutput_Combo.h
#include "audio/mix/DualOutput_Combo.h"
