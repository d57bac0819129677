#pragma once
// FORWARDER (integration only): moved to core/playlist/PlaylistRules.h
#include "core/playlist/PlaylistRules.h"
