#pragma once
// FORWARDER (integration only): moved to tests/common/FbTestDatabase.h
#include "tests/common/FbTestDatabase.h"
