#pragma once
// FORWARDER (integration only): moved to platform/ffmpeg/WMReader.h
#include "platform/ffmpeg/WMReader.h"
