#pragma once
// FORWARDER (integration only): moved to platform/cdio/CDEvents.h
#include "platform/cdio/CDEvents.h"
