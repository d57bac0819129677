#include "QtApp.h"

#include "controls/KcSysUtils.h"

#include <gtest/gtest.h>
#include <QApplication>

namespace kelvar::test {

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int Argc = 1;
        static char Name[] = "controls_tests";
        static char* Argv[] = {Name, nullptr};
        App = new QApplication(Argc, Argv);
        QApplication::setFont(QFont("DejaVu Sans", 9));
    }
    void TearDown() override { delete App; }
    QApplication* App = nullptr;
};

[[maybe_unused]] auto* const Env = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

QImage Render(QWidget& Widget) { return Widget.grab().toImage().convertToFormat(QImage::Format_RGB32); }

}  // namespace kelvar::test

namespace kelvar::test {
int TextWidth(const QFont& Font, const QString& Text) { return MeasureText(Font, Text).width(); }
}  // namespace kelvar::test
