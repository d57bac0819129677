#pragma once
// FORWARDER (integration only): moved to tests/common/RenderEngine.h
#include "tests/common/RenderEngine.h"
