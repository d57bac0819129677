#include "setup/DatabaseSetup.h"

#include <filesystem>

#include "database/datalink/DLDataTypes.h"
#include "foundation/MiscFunc.h"
#include "setup/unTools.h"

namespace kelvar {

TDatabaseSetup::TDatabaseSetup(std::string setupFolder)
    : SetupFolder(IncludeTrailingDelimiter(setupFolder.empty() ? ProgramFolder() : setupFolder)) {}

bool TDatabaseSetup::IsLocalHost() {
    std::string host = UpperCase(Host);
    if (host == "LOCALHOST" || Host == "127.0.0.1") return true;
    std::string computer = UpperCase(ComputerName());
    return !computer.empty() && host == computer;
}

void TDatabaseSetup::LoadSettings(IConfigDoc& section) {
    Driver = section.ReadString("Driver", Driver);
    Host = section.ReadString("Host", Host);
    Port = static_cast<int>(section.ReadInteger("Port", Port));
    Username = section.ReadString("Username", Username);
    Password = section.ReadString("Password", Password);
    Database = section.ReadString("Database", Database);
}

void TDatabaseSetup::SaveSettings(IConfigDoc& section) {
    section.WriteString("Driver", Driver);
    section.WriteString("Host", Host);
    section.WriteInteger("Port", Port);
    section.WriteString("Username", Username);
    section.WriteString("Password", Password);
    section.WriteString("Database", Database);
}

void TDatabaseSetup::Log(const std::string& message, int kind) const {
    if (OnLog) OnLog(message, kind);
}

bool TDatabaseSetup::HasDownloader() const { return std::filesystem::exists(SetupFolder + "Downloader"); }

void TDatabaseSetup::RunDownloader(const std::string& parameters) {
    ExecAndWait(SetupFolder + "Downloader", parameters);
}

void TDatabaseSetupList::Add(const std::string& name, std::unique_ptr<TDatabaseSetup> setup) {
    if (!setup) return;
    setup->OnLog = FOnLog;
    FItems.emplace_back(name, std::move(setup));
}

TDatabaseSetup* TDatabaseSetupList::Find(const std::string& name) const {
    for (const auto& [key, setup] : FItems)
        if (SameText(key, name)) return setup.get();
    int64_t position = 0;
    if (!TryParseInt64(name, position) || position < 0) return nullptr;
    if (position >= Count()) throw EListError("List index out of bounds (" + std::to_string(position) + ")");
    return FItems[static_cast<size_t>(position)].second.get();
}

void TDatabaseSetupList::Clear() { FItems.clear(); }

}  // namespace kelvar
