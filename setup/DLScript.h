#pragma once
// The script runner: a text of several SQL statements, each ended by the terminator at a line
// end, run one by one through an inner query, with ":name" parameters and "%name" macros.
#include <functional>
#include <string>
#include <vector>

#include "database/datalink/DLEngine.h"

namespace kelvar {

class TDLScript : public TDLComponent {
public:
    explicit TDLScript(TDLComponent* owner = nullptr);
    ~TDLScript() override;

    // The script as written; setting it rebuilds parameters and macros once.
    const std::vector<std::string>& GetSQL() const { return FSQL; }
    void SetSQL(const std::vector<std::string>& lines);
    void SetSQLText(const std::string& text);
    // The lines that run: the script after macro expansion.
    const std::vector<std::string>& GetExpandedLines() const { return FExpanded; }

    // Values of the ":name" markers; setting copies values into entries of the same names.
    TParams& GetParams() { return FParams; }
    void SetParams(const TParams& values);
    TParams& GetMacros() { return FMacros; }
    void SetMacros(const TParams& values);
    int MacroCount() const { return FMacros.Count(); }

    const std::string& GetDatabaseName() const { return FQuery->GetDatabaseName(); }
    void SetDatabaseName(const std::string& value) { FQuery->SetDatabaseName(value); }
    const std::string& GetSessionName() const { return FQuery->GetSessionName(); }
    void SetSessionName(const std::string& value) { FQuery->SetSessionName(value); }

    char GetMacroChar() const { return FMacroChar; }
    void SetMacroChar(char value);
    bool ParamCheck = true;
    bool MacroCheck = true;
    char TermChar = ';';
    bool IgnoreParams = false;
    // Runs a whole script in one transaction of its own.
    bool Transaction = false;

    std::function<void(TDLScript&)> BeforeExecute;
    std::function<void(TDLScript&)> AfterExecute;

    // Runs the whole script.
    void ExecSQL();
    // Runs every statement (index below 0) or only the statement of that zero-based index.
    virtual void ExecStatement(int index);
    // The database the inner query is bound to while a run lasts.
    TDLDatabase* Database() const { return FQuery->GetDatabase(); }

protected:
    void SQLChanged();
    void CreateMacros();
    void ExpandMacros();
    // Runs the gathered statement; line is the zero-based line of its end.
    void ExecuteCurrent(int line);

private:
    std::vector<std::string> FSQL;
    std::vector<std::string> FExpanded;
    TParams FParams;
    TParams FMacros;
    char FMacroChar = '%';
    TDLQuery* FQuery = nullptr;  // owned as a component
};

}  // namespace kelvar
