#pragma once
// Creation of a new database file on the server, for the setup program only: the database
// component's creation call and the InterBase/Firebird driver call behind it.
#include <string>

#include "database/datalink/DLEngine.h"
#include "database/datalink/DLInt.h"

namespace kelvar {

// Creates the database named by the component's RemoteDatabase with "USER NAME" and "PASSWORD"
// of its Params; only InterBase and Firebird servers ("Capability not supported" otherwise).
// The component stays disconnected.
void CreateDatabase(TDLDatabase& database);

// Drops the database named by the component's RemoteDatabase (attached with its "USER NAME" and
// "PASSWORD"): the setup's way to remove a database it must make anew, also on a server. The
// component must be disconnected.
void DropDatabase(TDLDatabase& database);

// The driver's creation call on a driver object that is not connected: the database is created
// with the parameter block of a connect plus the "SQL Dialect" parameter (default 1), and with
// "LOCAL CHARSET" as the new database's default character set when one is given.
void CreateDatabase(TICustomIntDatabase& driver, const std::string& path, const std::string& userName,
                    const std::string& password);

}  // namespace kelvar
