#pragma once
// One QApplication for the deck tests.
#include <QApplication>

namespace kelvar::decktest {

inline QApplication& App() {
    static int argc = 1;
    static char name[] = "gui_decks_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

}  // namespace kelvar::decktest
