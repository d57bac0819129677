#pragma once
// FORWARDER (integration only): moved to tests/common/TempFolder.h
#include "tests/common/TempFolder.h"
