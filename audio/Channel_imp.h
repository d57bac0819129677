#pragma once
// FORWARDER (integration only): moved to audio/mix/Channel_imp.h
#include "audio/mix/Channel_imp.h"
