#pragma once
// FORWARDER (integration only): moved to audio/nodes/Node_AGC.h
#include "audio/nodes/Node_AGC.h"
