#pragma once
// FORWARDER (integration only): moved to platform/alsa/AlsaMixer.h
#include "platform/alsa/AlsaMixer.h"
