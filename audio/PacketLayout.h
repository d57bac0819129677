#pragma once
// FORWARDER (integration only): moved to audio/outputs/PacketLayout.h
#include "audio/outputs/PacketLayout.h"
