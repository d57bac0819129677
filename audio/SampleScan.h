#pragma once
// FORWARDER (integration only): moved to audio/nodes/SampleScan.h
#include "audio/nodes/SampleScan.h"
