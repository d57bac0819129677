#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QVBoxLayout>

#include "common/GuiTestKit.h"
#include "controls/FxFancyButton.h"
#include "gui/plugins/funOKCancel.h"

using namespace kelvar;

namespace {

class OKCancelBar : public guitest::GuiTest {
protected:
    void SetUp() override {
        form = std::make_unique<QDialog>();
        auto* column = new QVBoxLayout(form.get());
        edit = new QLineEdit(form.get());
        memo = new QPlainTextEdit(form.get());
        column->addWidget(edit);
        column->addWidget(memo);
        bar = new TfrmOKCancel(form.get());
        column->addWidget(bar);
        SetFormTag(form.get(), 0);
        form->show();
    }
    // Lets the posted close run.
    void Settle() { QCoreApplication::processEvents(); }

    std::unique_ptr<QDialog> form;
    QLineEdit* edit = nullptr;
    QPlainTextEdit* memo = nullptr;
    TfrmOKCancel* bar = nullptr;
};

}  // namespace

TEST_F(OKCancelBar, HasItsSizesAndCaptions) {
    EXPECT_EQ(bar->height(), TfrmOKCancel::BarHeight);
    EXPECT_EQ(bar->GetForm(), form.get());
    EXPECT_EQ(bar->btOK->Caption(), "OK");
    EXPECT_EQ(bar->btClose->Caption(), "Cancel");
    EXPECT_EQ(bar->btOK->size(), QSize(65, 25));
    EXPECT_EQ(bar->btClose->size(), QSize(65, 25));
    EXPECT_LT(bar->btOK->x(), bar->btClose->x());
    EXPECT_GT(bar->btClose->x(), bar->width() / 2);  // right-aligned
}

TEST_F(OKCancelBar, ButtonsSetTheTagAndCloseTheForm) {
    const std::pair<TFxFancyButton*, int> cases[] = {{bar->btOK, 1}, {bar->btClose, 2}};
    for (const auto& [button, tag] : cases) {
        form->show();
        SetFormTag(form.get(), 0);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(GetFormTag(form.get()), tag);
        Settle();
        EXPECT_FALSE(form->isVisible());
    }
}

TEST_F(OKCancelBar, EnterConfirmsExceptInMultiLineEditorsAndEscapeAlwaysCancels) {
    memo->setFocus();
    QTest::keyClick(memo, Qt::Key_Return);
    Settle();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(GetFormTag(form.get()), 0);
    EXPECT_EQ(memo->toPlainText(), "\n");

    QTest::keyClick(memo, Qt::Key_Escape);
    Settle();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(GetFormTag(form.get()), 2);

    form->show();
    SetFormTag(form.get(), 0);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Enter);
    Settle();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(GetFormTag(form.get()), 1);
}

TEST_F(OKCancelBar, EnterOnAFocusedButtonDoesNotConfirm) {
    bar->btClose->setFocus();
    QTest::keyClick(bar->btClose, Qt::Key_Return);
    Settle();
    EXPECT_NE(GetFormTag(form.get()), 1);
}

TEST_F(OKCancelBar, KeysOfOtherWindowsAreLeftAlone) {
    QLineEdit other;
    other.show();
    other.setFocus();
    QTest::keyClick(&other, Qt::Key_Escape);
    Settle();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(GetFormTag(form.get()), 0);
}
