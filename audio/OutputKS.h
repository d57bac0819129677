#pragma once
// FORWARDER (integration only): moved to audio/outputs/OutputKS.h
#include "audio/outputs/OutputKS.h"
