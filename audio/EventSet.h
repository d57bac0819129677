#pragma once
// FORWARDER (integration only): moved to audio/outputs/EventSet.h
#include "audio/outputs/EventSet.h"
