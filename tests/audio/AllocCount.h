#pragma once
// FORWARDER (integration only): moved to tests/common/AllocCount.h
#include "tests/common/AllocCount.h"
