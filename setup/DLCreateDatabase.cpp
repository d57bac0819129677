#include "setup/DLCreateDatabase.h"

#include <memory>

#include "database/datalink/DLFib.h"

namespace kelvar {

namespace {

std::unique_ptr<TISqlDatabase> DriverOf(TDLDatabase& database) {
    std::unique_ptr<TISqlDatabase> driver;
    switch (database.GetServerType()) {
        case stInterbase: driver = IntDatabaseFactory(database.Params); break;
        case stFirebird: driver = FibDatabaseFactory(database.Params); break;
        default: throw EDatabaseError("Capability not supported");
    }
    if (!dynamic_cast<TICustomIntDatabase*>(driver.get())) throw EDatabaseError("Capability not supported");
    return driver;
}

}  // namespace

void CreateDatabase(TDLDatabase& database) {
    std::unique_ptr<TISqlDatabase> driver = DriverOf(database);
    auto* intDriver = dynamic_cast<TICustomIntDatabase*>(driver.get());
    // The driver's destructor detaches and frees the handles, also after a failure.
    CreateDatabase(*intDriver, database.GetRemoteDatabase(), database.Params.Values("USER NAME"),
                   database.Params.Values("PASSWORD"));
}

void DropDatabase(TDLDatabase& database) {
    std::unique_ptr<TISqlDatabase> driver = DriverOf(database);
    auto& d = dynamic_cast<TICustomIntDatabase&>(*driver);
    d.AcquireClientLibrary();
    d.AllocHandle();
    d.BuildDPB(database.Params.Values("USER NAME"), database.Params.Values("PASSWORD"));
    TIntFunctions& fn = d.Functions();
    if (!fn.isc_drop_database) throw EDatabaseError("Capability not supported");
    const std::string path = database.GetRemoteDatabase();
    d.CheckStatus(fn.isc_attach_database(d.StatusVector, 0, path.c_str(), d.GetDBHandle(),
                                         static_cast<short>(d.DPB.size()), d.DPB.data()));
    // A dropped database leaves no handle; a failed drop is detached by the driver's destructor.
    d.CheckStatus(fn.isc_drop_database(d.StatusVector, d.GetDBHandle()));
}

void CreateDatabase(TICustomIntDatabase& driver, const std::string& path, const std::string& userName,
                    const std::string& password) {
    driver.AcquireClientLibrary();
    driver.AllocHandle();
    driver.BuildDPB(userName, password);
    driver.DPB += static_cast<char>(isc_dpb_sql_dialect);
    driver.DPB += static_cast<char>(1);
    driver.DPB += static_cast<char>(driver.SQLDialect);
    driver.DPB += static_cast<char>(isc_dpb_page_size);
    driver.DPB += static_cast<char>(4);
    for (int shift = 0; shift < 32; shift += 8)  // least significant byte first
        driver.DPB += static_cast<char>((DatabasePageSize >> shift) & 0xFF);
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
