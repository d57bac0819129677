#pragma once
// FORWARDER (integration only): moved to audio/graph/FiltersEx.h
#include "audio/graph/FiltersEx.h"
