#pragma once
// FORWARDER (integration only): moved to audio/outputs/DirectKS_API.h
#include "audio/outputs/DirectKS_API.h"
