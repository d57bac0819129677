#pragma once
// FORWARDER (integration only): moved to platform/cdio/DriveManager.h
#include "platform/cdio/DriveManager.h"
