#include "database/datalink/DLFib.h"

namespace kelvar {

TIntClientLibrary& FibClientLibrary() {
    static TIntClientLibrary library("libfbclient.so.2", stFirebird, std::make_unique<TFibFunctions>());
    return library;
}

TIFibDatabase::~TIFibDatabase() {
    try {
        DoDisconnect(true);
    } catch (...) {}
}

std::unique_ptr<TISqlCommand> TIFibDatabase::CreateSqlCommand() { return std::make_unique<TIFibCommand>(this); }

int TIFibDatabase::GetClientVersion() { return FibClientLibrary().GetClientVersion(); }

void TIFibDatabase::AllocHandle() {
    TICustomIntDatabase::AllocHandle();
    HandleRecord->Kind = stFirebird;
}

void TIFibDatabase::AcquireClientLibrary() {
    if (Fn) return;
    Fn = &FibClientLibrary().Acquire();
}

void TIFibDatabase::ReleaseClientLibrary() {
    if (!Fn) return;
    Fn = nullptr;
    FibClientLibrary().Release();
}

TDLErrorClass TIFibDatabase::GetErrorClass() { return &RaiseDLError<EDLFibError>; }

std::unique_ptr<TISqlDatabase> FibDatabaseFactory(const TDLStrings& params) {
    FibClientLibrary().ApplyLibraryParam(params);
    return std::make_unique<TIFibDatabase>(params);
}

}  // namespace kelvar
