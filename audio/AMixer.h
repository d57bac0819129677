#pragma once
// FORWARDER (integration only): moved to audio/live/AMixer.h
#include "audio/live/AMixer.h"
