#include "gui/decks/unEventLog.h"

#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>
#include <ctime>
#include <exception>

#include "gui/engine/GUIcommon.h"

namespace kelvar {

namespace {

const char* const KindNames[] = {"Exception", "Error", "Warning", "Notice", "Init/Quit", "Debug", "Trace"};

QColor KindColour(int Kind) {
    switch (Kind) {
        case 0: return QColor(128, 0, 0);
        case 1: return QColor(255, 0, 0);
        case 2: return QColor(0, 0, 255);
        case 3:
        case 4: return QColor(128, 128, 128);
        case 5: return QColor(0, 128, 0);
        case 6: return QColor(0, 255, 0);
        default: return QColor(0, 0, 0);
    }
}

}  // namespace

void TEventLogModel::SetRowCount(int Count) {
    Count = std::max(0, Count);
    if (Count > FRows) {
        // New entries come in at the top.
        beginInsertRows(QModelIndex(), 0, Count - FRows - 1);
        FRows = Count;
        endInsertRows();
    } else if (Count < FRows) {
        beginRemoveRows(QModelIndex(), 0, FRows - Count - 1);
        FRows = Count;
        endRemoveRows();
    }
    // A full log drops its oldest entries, so every row may show another entry now.
    if (FRows > 0) emit dataChanged(index(0, 0), index(FRows - 1, 3));
}

int TEventLogModel::rowCount(const QModelIndex& Parent) const { return Parent.isValid() ? 0 : FRows; }

int TEventLogModel::columnCount(const QModelIndex& Parent) const { return Parent.isValid() ? 0 : 4; }

QVariant TEventLogModel::data(const QModelIndex& Index, int Role) const {
    if (!Index.isValid() || !FLogger || Index.row() >= FRows) return {};
    if (Role != Qt::DisplayRole && Role != Qt::ForegroundRole) return {};
    TLogRec rec;
    try {
        rec = FLogger->GetItem(FRows - Index.row() - 1);
    } catch (const std::exception&) {
        return {};  // the log shrank since the last refresh
    }
    if (Role == Qt::ForegroundRole) return KindColour(rec.Kind);
    switch (Index.column()) {
        case 0: {
            const std::time_t t = std::chrono::system_clock::to_time_t(rec.Time);
            std::tm tm{};
            localtime_r(&t, &tm);
            char buf[16];
            std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
            return QString(buf);
        }
        case 1: return QString::fromStdString(rec.Source);
        case 2: return rec.Kind < 7 ? QString(KindNames[rec.Kind]) : QString();
        default: return QString::fromStdString(rec.Message);
    }
}

QVariant TEventLogModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation != Qt::Horizontal || Role != Qt::DisplayRole || Section < 0 || Section > 3) return {};
    static const char* const Titles[] = {"Time", "Category", "Type", "Message"};
    return QString(Titles[Section]);
}

TfrmEventLog::TfrmEventLog(QWidget* Parent) : QWidget(Parent) {
    setObjectName("frmEventLog");
    FModel = new TEventLogModel(this);
    vtLogEvents = new QTableView(this);
    vtLogEvents->setObjectName("vtLogEvents");
    vtLogEvents->setModel(FModel);
    vtLogEvents->setSelectionBehavior(QAbstractItemView::SelectRows);
    vtLogEvents->setSelectionMode(QAbstractItemView::NoSelection);
    vtLogEvents->setFocusPolicy(Qt::NoFocus);
    vtLogEvents->setShowGrid(false);
    vtLogEvents->setWordWrap(false);
    vtLogEvents->verticalHeader()->hide();
    vtLogEvents->verticalHeader()->setDefaultSectionSize(18);
    QHeaderView* header = vtLogEvents->horizontalHeader();
    header->setSectionsMovable(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    // The time column shows a whole "23:59:59" in the table's font, with the cell's margins.
    vtLogEvents->setColumnWidth(0, qMax(55, vtLogEvents->fontMetrics().horizontalAdvance("23:59:59") + 12));
    vtLogEvents->setColumnWidth(1, 60);
    vtLogEvents->setColumnWidth(2, 55);
    vtLogEvents->setColumnWidth(3, 400);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(vtLogEvents);
    resize(560, 200);
}

TfrmEventLog::~TfrmEventLog() { Detach(); }

void TfrmEventLog::Attach() {
    FModel->SetLogger(FLogger);
    FModel->SetRowCount(FLogger ? FLogger->Count() : 0);
    if (GuiHeartBeat && !FRegistered) {
        GuiHeartBeat->Add(1000, this, 1, [this](THeartBeat&) { Refresh(); });
        FRegistered = true;
    }
}

void TfrmEventLog::Detach() {
    if (FRegistered && GuiHeartBeat) GuiHeartBeat->Remove(this, 1);
    FRegistered = false;
    FModel->SetRowCount(0);
}

void TfrmEventLog::Refresh() { FModel->SetRowCount(FLogger ? FLogger->Count() : 0); }

}  // namespace kelvar
