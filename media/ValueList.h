#pragma once
// FORWARDER (integration only): moved to foundation/ValueList.h
#include "foundation/ValueList.h"
