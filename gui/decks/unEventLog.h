#pragma once
// The event log window: the logger's recent entries, newest first, coloured by kind.
#include <QAbstractTableModel>
#include <QWidget>

#include "foundation/Logger.h"

class QTableView;

namespace kelvar {

// Rows over the logger's entries: row 0 is the newest. The row count changes only at Refresh.
class TEventLogModel : public QAbstractTableModel {
public:
    explicit TEventLogModel(QObject* Parent = nullptr) : QAbstractTableModel(Parent) {}
    void SetLogger(std::shared_ptr<ILoggerEx> Logger) { FLogger = std::move(Logger); }
    // Row count := the logger's count (0 without a logger).
    void SetRowCount(int Count);
    int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& Index, int Role) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override;

private:
    std::shared_ptr<ILoggerEx> FLogger;
    int FRows = 0;
};

class TfrmEventLog : public QWidget {
public:
    explicit TfrmEventLog(QWidget* Parent = nullptr);
    ~TfrmEventLog() override;

    void Attach();
    void Detach();
    void Refresh();

    std::shared_ptr<ILoggerEx> FLogger;
    QTableView* vtLogEvents = nullptr;
    TEventLogModel* Model() const { return FModel; }

private:
    TEventLogModel* FModel = nullptr;
    bool FRegistered = false;
};

}  // namespace kelvar
