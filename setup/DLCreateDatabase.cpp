#include "setup/DLCreateDatabase.h"

#include <memory>

#include "database/datalink/DLFib.h"

namespace kelvar {

void CreateDatabase(TDLDatabase& database) {
    std::unique_ptr<TISqlDatabase> driver;
    switch (database.GetServerType()) {
        case stInterbase: driver = IntDatabaseFactory(database.Params); break;
        case stFirebird: driver = FibDatabaseFactory(database.Params); break;
        default: throw EDatabaseError("Capability not supported");
    }
    auto* intDriver = dynamic_cast<TICustomIntDatabase*>(driver.get());
    if (!intDriver) throw EDatabaseError("Capability not supported");
    // The driver's destructor detaches and frees the handles, also after a failure.
    CreateDatabase(*intDriver, database.GetRemoteDatabase(), database.Params.Values("USER NAME"),
                   database.Params.Values("PASSWORD"));
}

void CreateDatabase(TICustomIntDatabase& driver, const std::string& path, const std::string& userName,
                    const std::string& password) {
    driver.AcquireClientLibrary();
    driver.AllocHandle();
    driver.BuildDPB(userName, password);
    driver.DPB += static_cast<char>(isc_dpb_sql_dialect);
    driver.DPB += static_cast<char>(1);
    driver.DPB += static_cast<char>(driver.SQLDialect);
    std::string charset = Trim(driver.Params.Values("LOCAL CHARSET"));
    if (!charset.empty() && charset.size() <= 255) {
        driver.DPB += static_cast<char>(isc_dpb_set_db_charset);
        driver.DPB += static_cast<char>(charset.size());
        driver.DPB += charset;
    }
    TIntFunctions& fn = driver.Functions();
    driver.CheckStatus(fn.isc_create_database(driver.StatusVector, 0, path.c_str(), driver.GetDBHandle(),
                                              static_cast<short>(driver.DPB.size()), driver.DPB.data(), 0));
}

}  // namespace kelvar
