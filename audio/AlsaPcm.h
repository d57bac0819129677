#pragma once
// FORWARDER (integration only): moved to platform/alsa/AlsaPcm.h
#include "platform/alsa/AlsaPcm.h"
