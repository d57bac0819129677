#pragma once
// Creation of a new database file on the server, for the setup program only: the database
// component's creation call and the InterBase/Firebird driver call behind it.
#include <string>

#include "database/datalink/DLEngine.h"
#include "database/datalink/DLInt.h"

namespace kelvar {

// The page size of the databases the setup makes (bytes; the engine's largest). Each page write
// waits for the disk (forced writes), and a new song adds a key to every index of songlist: with
// pages twice the engine's default an index has half the leaves, so an import into a large library
// dirties and splits about half as many pages.
constexpr int DatabasePageSize = 16384;

// Creates the database named by the component's RemoteDatabase with "USER NAME" and "PASSWORD"
// of its Params; only InterBase and Firebird servers ("Capability not supported" otherwise).
// The component stays disconnected.
void CreateDatabase(TDLDatabase& database);

// Drops the database named by the component's RemoteDatabase (attached with its "USER NAME" and
// "PASSWORD"): the setup's way to remove a database it must make anew, also on a server. The
// component must be disconnected.
void DropDatabase(TDLDatabase& database);

// The driver's creation call on a driver object that is not connected: the database is created
// with the parameter block of a connect plus the "SQL Dialect" parameter (default 1), pages of
// DatabasePageSize, and "LOCAL CHARSET" as the new database's default character set when one is
// given.
void CreateDatabase(TICustomIntDatabase& driver, const std::string& path, const std::string& userName,
                    const std::string& password);

}  // namespace kelvar
