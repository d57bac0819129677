#pragma once
// FORWARDER (integration only): moved to audio/outputs/KSDriver.h
#include "audio/outputs/KSDriver.h"
