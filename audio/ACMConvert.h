#pragma once
// FORWARDER (integration only): moved to audio/nodes/ACMConvert.h
#include "audio/nodes/ACMConvert.h"
