#pragma once
// The about box: the program's name and version, the database driver in use and the time since
// the program started.
#include <QDialog>
#include <cstdint>

class QLabel;

namespace kelvar {

class TFxFancyButton;
class TKcLabel;

struct TUptime {
    int64_t Days = 0;
    int Hours = 0;
    int Minutes = 0;
    int Seconds = 0;
    int Milliseconds = 0;
};

// The span between two steady times in whole milliseconds (a negative span counts as 0).
TUptime GetUptime(int64_t StartMs, int64_t NowMs);

// The display name of an SQL dialect: "Unknown", "MySQL", "FireBird", "PostgreSQL", "MSSQL",
// "SQLite", and "MSSQL" again for ADO.
const char* SQLDriverDisplayName(int Dialect);

class TfoAbout : public QDialog {
public:
    explicit TfoAbout(QWidget* Parent = nullptr);

    void Fill();

    QLabel* imIcon = nullptr;
    TKcLabel* lbCaption = nullptr;
    QLabel* lbVersion = nullptr;
    QLabel* lbDatabase = nullptr;
    QLabel* lbUptime = nullptr;
    TFxFancyButton* btOK = nullptr;
};

void ShowAboutBox();

}  // namespace kelvar
