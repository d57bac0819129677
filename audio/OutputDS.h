#pragma once
// FORWARDER (integration only): moved to audio/outputs/OutputDS.h
#include "audio/outputs/OutputDS.h"
