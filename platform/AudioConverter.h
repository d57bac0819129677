#pragma once
// FORWARDER (integration only): moved to platform/ffmpeg/AudioConverter.h
#include "platform/ffmpeg/AudioConverter.h"
