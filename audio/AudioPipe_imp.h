#pragma once
// FORWARDER (integration only): moved to audio/mix/AudioPipe_imp.h
#include "audio/mix/AudioPipe_imp.h"
