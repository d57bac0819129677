#include "gui/lists/unDragDrop.h"

#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace kelvar {

void FilesFromDataObject(const QMimeData* Data, std::vector<std::string>& Names) {
    if (!Data || !Data->hasUrls()) return;
    for (const QUrl& url : Data->urls())
        if (url.isLocalFile()) Names.push_back(url.toLocalFile().toStdString());
}

TDropWatch::TDropWatch(QObject* Parent) : QObject(Parent) {}

TDropWatch::~TDropWatch() { Unhook(); }

QWidget* TDropWatch::Target() const {
    // A scroll area takes drops on its viewport.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(FControl.data())) return area->viewport();
    return FControl.data();
}

void TDropWatch::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    if (FHooked && FControl && FEnabled) {
        FControl->setAcceptDrops(true);
        Target()->setAcceptDrops(true);
    }
}

void TDropWatch::SetWatchControl(QWidget* Control) {
    if (Control == FControl.data()) return;
    Unhook();
    FControl = Control;
    Hook();
}

void TDropWatch::Hook() {
    if (!FControl) return;
    Target()->installEventFilter(this);
    if (FEnabled) {
        FControl->setAcceptDrops(true);
        Target()->setAcceptDrops(true);
    }
    FDestroyed = connect(FControl.data(), &QObject::destroyed, this, [this] {
        FEnabled = false;
        FHooked = false;
        FControl = nullptr;
    });
    FHooked = true;
}

void TDropWatch::Unhook() {
    if (!FHooked) return;
    disconnect(FDestroyed);
    if (FControl) {
        if (QWidget* target = Target()) target->removeEventFilter(this);
    }
    FHooked = false;
}

bool TDropWatch::eventFilter(QObject* Watched, QEvent* Event) {
    const auto type = Event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
    if (!FEnabled || !FControl || Watched != Target()) return false;
    auto* drop = static_cast<QDropEvent*>(Event);
    std::vector<std::string> files;
    FilesFromDataObject(drop->mimeData(), files);
    if (files.empty()) return false;  // not ours: the widget's own drag handling goes on
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop && OnFilesDropped) {
        const QPoint at = drop->position().toPoint();
        OnFilesDropped(*this, at.x(), at.y(), files);
    }
    return true;
}

}  // namespace kelvar
