#pragma once
// The Firebird binding: the same driver as InterBase over its own client library state,
// raising its own error class.
#include "database/datalink/DLInt.h"

namespace kelvar {

class EDLFibError : public EDLIntError {
public:
    using EDLIntError::EDLIntError;
};

class TFibFunctions : public TIntFunctions {};

// The Firebird binding ("libfbclient.so.2", override "Firebird API LIBRARY").
TIntClientLibrary& FibClientLibrary();

class TIFibDatabase : public TICustomIntDatabase {
public:
    using TICustomIntDatabase::TICustomIntDatabase;
    ~TIFibDatabase() override;
    std::unique_ptr<TISqlCommand> CreateSqlCommand() override;
    int GetClientVersion() override;
    void AllocHandle() override;
    void ReleaseClientLibrary() override;
    void AcquireClientLibrary() override;
    TDLErrorClass GetErrorClass() override;
};

class TIFibCommand : public TICustomIntCommand {
public:
    using TICustomIntCommand::TICustomIntCommand;
};

// Factory of the server-type table for stFirebird.
std::unique_ptr<TISqlDatabase> FibDatabaseFactory(const TDLStrings& params);

}  // namespace kelvar
