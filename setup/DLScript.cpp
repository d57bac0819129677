#include "setup/DLScript.h"

#include <cstdio>

#include "database/datalink/DLFib.h"
#include "foundation/MiscFunc.h"
#include "setup/unTools.h"

namespace kelvar {

namespace {

// A new error of the caught error's own class, its message followed by the failing line.
[[noreturn]] void RaiseWithLine(const EDatabaseError& e, int line) {
    char where[64];
    std::snprintf(where, sizeof where, "%s on line %d", "Error", line);
    std::string message = std::string(e.what()) + "(" + where + ")";
    if (auto* x = dynamic_cast<const EDLFibError*>(&e)) throw EDLFibError(x->ErrorCode, message, x->NativeError);
    if (auto* x = dynamic_cast<const EDLIntError*>(&e)) throw EDLIntError(x->ErrorCode, message, x->NativeError);
    if (auto* x = dynamic_cast<const EDLEngineError*>(&e)) throw EDLEngineError(x->ErrorCode, message, x->NativeError);
    if (dynamic_cast<const EDLNoResultSet*>(&e)) throw EDLNoResultSet(message);
    if (dynamic_cast<const EDLSqlLibError*>(&e)) throw EDLSqlLibError(message);
    throw EDatabaseError(message);
}

bool AllBlank(const std::vector<std::string>& lines) {
    for (const std::string& l : lines)
        if (!TrimText(l).empty()) return false;
    return true;
}

}  // namespace

TDLScript::TDLScript(TDLComponent* owner) : TDLComponent(owner) { FQuery = new TDLQuery(this); }

TDLScript::~TDLScript() { DestroyComponents(); }

void TDLScript::SetSQL(const std::vector<std::string>& lines) {
    FSQL = lines;
    SQLChanged();
}

void TDLScript::SetSQLText(const std::string& text) { SetSQL(SplitLines(text)); }

void TDLScript::SetParams(const TParams& values) { FParams.AssignValues(values); }

void TDLScript::SetMacros(const TParams& values) {
    FMacros.AssignValues(values);
    ExpandMacros();
}

void TDLScript::SetMacroChar(char value) {
    if (value == FMacroChar) return;
    FMacroChar = value;
    CreateMacros();
    ExpandMacros();
}

void TDLScript::SQLChanged() {
    if (ParamCheck) {
        TParams fresh;
        DLCreateParams(&fresh, JoinLines(FSQL), ':');
        fresh.AssignValues(FParams);
        FParams = fresh;
    }
    CreateMacros();
    ExpandMacros();
}

void TDLScript::CreateMacros() {
    if (!MacroCheck) return;
    TParams fresh;
    DLCreateParams(&fresh, JoinLines(FSQL), FMacroChar);
    fresh.AssignValues(FMacros);
    // A macro nobody set is a condition that always holds.
    for (int i = 0; i < fresh.Count(); ++i)
        if (fresh[i].IsNull()) fresh[i].SetAsString("0=0");
    FMacros = fresh;
}

void TDLScript::ExpandMacros() {
    std::string text = JoinLines(FSQL);
    for (int i = 0; i < FMacros.Count(); ++i) {
        const TParam& m = FMacros[i];
        if (m.IsNull()) continue;
        DLReplaceMacro(false, std::string(1, FMacroChar) + m.Name, m.Value.AsString(), text);
    }
    FExpanded = SplitLines(text);
}

void TDLScript::ExecSQL() {
    ExpandMacros();
    if (FExpanded.empty()) throw EDatabaseError("No SQL statement available");
    if (Trim(GetDatabaseName()).empty()) throw EDatabaseError("Database name missing");
    TDLSession* session = Sessions().SessionByName(GetSessionName(), true);
    // Bound for the length of the run, and let go of also when the run fails.
    TDLDatabase* db = session->AcquireDatabase(GetDatabaseName(), this);
    try {
        if (!db->GetConnected()) throw EDatabaseError("Cannot perform this operation on a closed database");
        if (BeforeExecute) BeforeExecute(*this);
        ExecStatement(-1);
        if (AfterExecute) AfterExecute(*this);
    } catch (...) {
        session->ReleaseDatabase(db);
        throw;
    }
    session->ReleaseDatabase(db);
}

void TDLScript::ExecStatement(int index) {
    TDLSession* session = Sessions().SessionByName(GetSessionName(), true);
    TDLDatabase* db = session->AcquireDatabase(GetDatabaseName(), this);
    bool ownTransaction = false;
    if (Transaction && !db->InTransaction() && index < 0) {
        try {
            db->StartTransaction();
            ownTransaction = true;
        } catch (const std::exception&) {
            // The run goes on without a transaction of its own.
        }
    }
    try {
        FQuery->ParamCheck = ParamCheck;
        const size_t n = FExpanded.size();
        size_t j = 0;
        int i = 0;
        bool ranAny = false;
        // A terminator counts only as a line's last character, so nothing carries over.
        while (j < n) {
            std::vector<std::string> statement;
            while (j < n) {
                std::string line = TrimText(FExpanded[j]);
                ++j;
                if (!line.empty() && line.back() == TermChar) {
                    statement.push_back(line.substr(0, line.size() - 1));
                    break;
                }
                statement.push_back(line);
            }
            // Blank lines at the end of a script are no statement of their own.
            if (statement.empty() || AllBlank(statement)) continue;
            if (index < 0 || index == i) {
                FQuery->SetSQL(JoinLines(statement));
                ExecuteCurrent(static_cast<int>(j) - 1);
                ranAny = true;
                if (index == i) break;
            }
            ++i;
        }
        if (!ranAny) {
            char text[64];
            std::snprintf(text, sizeof text, "List index out of bounds (%d)", -1);
            throw EDatabaseError(text);
        }
        if (ownTransaction) db->Commit();
    } catch (...) {
        if (ownTransaction) {
            try {
                db->Rollback();
            } catch (const std::exception&) {}
        }
        session->ReleaseDatabase(db);
        throw;
    }
    session->ReleaseDatabase(db);
}

void TDLScript::ExecuteCurrent(int line) {
    if (!IgnoreParams) {
        TParams& inner = FQuery->GetParams();
        for (int k = 0; k < inner.Count(); ++k) inner[k].SetValue(FParams.ParamByName(inner[k].Name).Value);
    }
    try {
        FQuery->ExecSQL();
    } catch (const EDatabaseError& e) {
        RaiseWithLine(e, line);
    }
}

}  // namespace kelvar
