#pragma once
// FORWARDER (integration only): moved to audio/graph/Buffer2_imp.h
#include "audio/graph/Buffer2_imp.h"
