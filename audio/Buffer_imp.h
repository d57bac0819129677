#pragma once
// FORWARDER (integration only): moved to audio/graph/Buffer_imp.h
#include "audio/graph/Buffer_imp.h"
