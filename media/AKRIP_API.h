#pragma once
// FORWARDER (integration only): moved to platform/cdio/AKRIP_API.h
#include "platform/cdio/AKRIP_API.h"
