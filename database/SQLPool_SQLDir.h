#pragma once
// FORWARDER (integration only): moved to database/SQLPool_DataLink.h
#include "database/SQLPool_DataLink.h"
namespace kelvar {
using TSQLDirPoolManager = TDataLinkPoolManager;
using TSQLDirPool = TDataLinkPool;
using TSQLDirConnection = TDataLinkConnection;
using TSQLDirDataSetWrapper = TDataLinkDataSetWrapper;
}  // namespace kelvar
