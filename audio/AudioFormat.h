#pragma once
// FORWARDER (integration only): moved to foundation/AudioFormat.h
#include "foundation/AudioFormat.h"
