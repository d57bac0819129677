#pragma once
// FORWARDER (integration only): moved to platform/alsa/MixerBackend.h
#include "platform/alsa/MixerBackend.h"
