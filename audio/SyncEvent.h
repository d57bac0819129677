#pragma once
// FORWARDER (integration only): moved to audio/graph/SyncEvent.h
#include "audio/graph/SyncEvent.h"
