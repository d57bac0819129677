#pragma once
// FORWARDER (integration only): moved to audio/graph/Buffer.h
#include "audio/graph/Buffer.h"
