#include "gui/QtMainThread.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "foundation/Logger.h"

namespace kelvar {

TQtMainThread::TQtMainThread() : FReceiver(new QObject()), FMainThread(std::this_thread::get_id()) {}

TQtMainThread::~TQtMainThread() { delete FReceiver; }

bool TQtMainThread::Post(std::function<void()> call) {
    if (FClosed) return false;
    return QMetaObject::invokeMethod(
        FReceiver,
        [this, call = std::move(call)] {
            ++FRun;
            // No exception crosses the event loop.
            try {
                call();
            } catch (const std::exception& e) {
                LogMessage(std::string("Unhandled exception (") + e.what() + ")", "GUI", LogKind::Exception);
            } catch (...) {
                LogMessage("Unhandled exception (unknown)", "GUI", LogKind::Exception);
            }
        },
        Qt::QueuedConnection);
}

int TQtMainThread::ProcessPending() {
    if (!IsMainThread()) return 0;
    int before = FRun;
    QCoreApplication::sendPostedEvents(FReceiver);
    return FRun - before;
}

bool TQtMainThread::IsMainThread() const { return std::this_thread::get_id() == FMainThread; }

}  // namespace kelvar
