#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <stdexcept>

#include "common/GuiTestKit.h"
#include "controls/FxFancyButton.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/plugins/funOKCancel.h"
#include "gui/plugins/funPluginConfig.h"
#include "gui/plugins/unPluginConfig.h"

using namespace kelvar;
using guitest::WhenModal;

namespace {

class TTestFrame : public TfrmPluginConfig {
public:
    TTestFrame() {
        resize(300, 200);
        edit = new QLineEdit(this);
        edit->setObjectName("edit");
        (new QVBoxLayout(this))->addWidget(edit);
        ++Alive;
    }
    ~TTestFrame() override { --Alive; }
    void LoadSettings(IConfigDoc& Node) override {
        edit->setText(QString::fromStdString(Node.ReadString("Value", "")));
    }
    void SaveSettings(IConfigDoc& Node) override { Node.WriteString("Value", edit->text().toStdString()); }
    bool CanClose() override { return AllowClose; }

    QLineEdit* edit;
    static inline bool AllowClose = true;
    static inline int Alive = 0;
};

class TTestConfig : public TPluginConfig {
protected:
    std::unique_ptr<TfrmPluginConfig> CreateFrame() override {
        auto frame = std::make_unique<TTestFrame>();
        frame->Title = "Test settings";
        return frame;
    }
};

// The OK/Cancel bar's buttons, clicked as a user would.
struct TButton {
    QWidget* Widget;
    void click() { QTest::mouseClick(Widget, Qt::LeftButton); }
};
TButton Button(QDialog& dialog, const char* name) { return TButton{dialog.findChild<TFxFancyButton*>(name)}; }

class PluginConfig : public guitest::GuiTest {
protected:
    void SetUp() override {
        TTestFrame::AllowClose = true;
        doc = TConfigDoc_XML::Create("");
        doc->WriteString("Value", "old");
    }
    std::shared_ptr<TConfigDoc_XML> doc;
    TTestConfig config;
};

}  // namespace

TEST_F(PluginConfig, OKSavesTheFrameIntoTheNode) {
    WhenModal([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Test settings");
        auto* edit = dialog.findChild<QLineEdit*>("edit");
        ASSERT_TRUE(edit);
        EXPECT_EQ(edit->text(), "old");
        // The dialog's client area is the frame above the bar.
        EXPECT_EQ(dialog.size(), QSize(300, 200 + TfrmOKCancel::BarHeight));
        edit->setText("new");
        Button(dialog, "btOK").click();
    });
    EXPECT_TRUE(config.Configure(*doc));
    EXPECT_EQ(doc->ReadString("Value", ""), "new");
    EXPECT_EQ(TTestFrame::Alive, 0);
}

TEST_F(PluginConfig, CancelAndClosingTheWindowLeaveTheNodeUntouched) {
    for (const bool viaWindow : {false, true}) {
        WhenModal([viaWindow](QDialog& dialog) {
            dialog.findChild<QLineEdit*>("edit")->setText("new");
            if (viaWindow)
                dialog.close();
            else
                Button(dialog, "btClose").click();
        });
        EXPECT_FALSE(config.Configure(*doc));
        EXPECT_EQ(doc->ReadString("Value", ""), "old");
    }
    EXPECT_EQ(TTestFrame::Alive, 0);
}

TEST_F(PluginConfig, AFrameThatRefusesToCloseKeepsTheDialogOpen) {
    TTestFrame::AllowClose = false;
    int refused = 0;
    WhenModal([&refused](QDialog& dialog) {
        Button(dialog, "btOK").click();
        // Checked after the posted close has run.
        QTimer::singleShot(0, &dialog, [&refused, &dialog] {
            refused += dialog.isVisible();
            Button(dialog, "btClose").click();
            QTimer::singleShot(0, &dialog, [&refused, &dialog] {
                refused += dialog.isVisible();
                TTestFrame::AllowClose = true;
                Button(dialog, "btClose").click();
            });
        });
    });
    EXPECT_FALSE(config.Configure(*doc));
    EXPECT_EQ(refused, 2);
}

TEST_F(PluginConfig, AnExceptionInTheFrameStillFreesDialogAndFrame) {
    class TThrowingFrame : public TTestFrame {
    public:
        void SaveSettings(IConfigDoc&) override { throw std::runtime_error("disk full"); }
    };
    class TThrowingConfig : public TPluginConfig {
    protected:
        std::unique_ptr<TfrmPluginConfig> CreateFrame() override { return std::make_unique<TThrowingFrame>(); }
    } throwing;
    WhenModal([](QDialog& dialog) { Button(dialog, "btOK").click(); });
    EXPECT_THROW(throwing.Configure(*doc), std::runtime_error);
    EXPECT_EQ(TTestFrame::Alive, 0);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
