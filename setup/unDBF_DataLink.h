#pragma once
// The setup's database connection: the connection itself, a query and a script runner bound to
// it by name, and the message of the last failure.
#include <string>

#include "database/datalink/DLEngine.h"
#include "setup/DLScript.h"

namespace kelvar {

class TfoDBF_DataLink : public TDLComponent {
public:
    TfoDBF_DataLink();
    ~TfoDBF_DataLink() override;

    // Connects; false with LastError set when that fails.
    bool Connect();
    void Disconnect();
    // Runs a script text; false with LastError set when it is blank or fails.
    bool ExecuteScript(const std::string& text);

    TDLDatabase* dbConnection = nullptr;  // owned as components
    TDLQuery* tbQuery = nullptr;
    TDLScript* dbBatch = nullptr;
    std::string LastError;
};

}  // namespace kelvar
