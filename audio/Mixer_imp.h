#pragma once
// FORWARDER (integration only): moved to audio/mix/Mixer_imp.h
#include "audio/mix/Mixer_imp.h"
