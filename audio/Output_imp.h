#pragma once
// FORWARDER (integration only): moved to audio/outputs/Output_imp.h
#include "audio/outputs/Output_imp.h"
