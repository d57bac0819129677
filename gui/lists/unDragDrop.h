#pragma once
// Files dropped from the desktop: reading their names from the drop data, and a watch that lets
// any widget take them while enabled.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QMimeData;

namespace kelvar {

// Appends the local file names of a "text/uri-list" drop, full length, in drop order; data
// without a file list adds nothing.
void FilesFromDataObject(const QMimeData* Data, std::vector<std::string>& Names);

// Watches a widget for files dropped from the desktop. X and Y are in the watched widget's
// client coordinates (a scroll area's viewport).
class TDropWatch : public QObject {
public:
    using TFilesDropped = std::function<void(TDropWatch& Sender, int X, int Y, const std::vector<std::string>& Files)>;

    explicit TDropWatch(QObject* Parent = nullptr);
    ~TDropWatch() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    QWidget* WatchControl() const { return FControl; }
    void SetWatchControl(QWidget* Control);
    TFilesDropped OnFilesDropped;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void Hook();
    void Unhook();
    QWidget* Target() const;

    bool FEnabled = false;
    bool FHooked = false;
    QPointer<QWidget> FControl;
    QMetaObject::Connection FDestroyed;
};

}  // namespace kelvar
