#pragma once
// FORWARDER (integration only): moved to platform/cdio/akrip32.h
#include "platform/cdio/akrip32.h"
