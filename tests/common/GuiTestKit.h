#pragma once
// One application object for the widget tests, and scripted steps for modal dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QThreadPool>
#include <QTimer>
#include <cstdlib>
#include <functional>

namespace guitest {

// The tests keep their application object to the end, and with it Qt's global thread pool, on
// which the raster engine paints large areas. Its idle threads would still be waiting (or ending
// on their own, 30 s after their last job) while the leak checker stops every thread at exit,
// which has crashed the checker: they are joined first. Call once an application exists.
inline void JoinQtThreadPoolAtExit() {
    static const bool registered = [] {
        return std::atexit([] {
                   if (QThreadPool* pool = QThreadPool::globalInstance()) pool->waitForDone(10000);
               }) == 0;
    }();
    (void)registered;
}

inline void EnsureApplication() {
    static int argc = 1;
    static char name[] = "kelvar_gui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = QApplication::instance() ? nullptr : new QApplication(argc, argv);
    (void)app;
    JoinQtThreadPoolAtExit();
}

// Runs Step on the modal dialog once it shows (from the dialog's own event loop).
inline void WhenModal(std::function<void(QDialog&)> Step, int Tries = 1000) {
    QTimer::singleShot(0, [Step, Tries] {
        auto* dialog = dynamic_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog && dialog->isVisible()) {
            Step(*dialog);
        } else if (Tries > 0) {
            WhenModal(Step, Tries - 1);
        } else {
            ADD_FAILURE() << "no modal dialog showed";
        }
    });
}

class GuiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }
};

}  // namespace guitest
