#pragma once
// FORWARDER (integration only): moved to audio/outputs/OutputSilent.h
#include "audio/outputs/OutputSilent.h"
